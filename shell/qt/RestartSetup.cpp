// Restart Control dialog: the values of a continued run, checked at OK, and its files' name.
#include "shell/qt/RestartSetup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include "io/fortran_format.h"
#include "shell/qt/InitializeOpen.h"

namespace velmora {
namespace {

QLineEdit* field(QWidget* parent, const char* name, const std::string& text) {
  auto* e = new QLineEdit(QString::fromStdString(text), parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,9}")), e));
  e->setMaximumWidth(64);
  return e;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text) {
  auto* c = new QCheckBox(text, parent);
  c->setObjectName(QString::fromLatin1(name));
  return c;
}

}  // namespace

RestartSetupDialog::RestartSetupDialog(Sim& S, FileDialogs& files, QWidget* owner)
    : QDialog(owner), S_(S), files_(files) {
  setWindowTitle(QStringLiteral("Restart Control"));
  setObjectName(QStringLiteral("RestartControl"));
  setModal(true);
  rules_.opened(S_);

  auto* top = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  orbits_ = field(this, "orbitsBox", rules_.orbitsText);
  grid->addWidget(new QLabel(QStringLiteral("Number of Additional Orbits:"), this), 0, 0);
  grid->addWidget(orbits_, 0, 1);
  auto* rec = check(this, "recCheck", QStringLiteral("Start recording simulation at orbit #:"));
  recStart_ = field(this, "recStartBox", rules_.recStartText);
  grid->addWidget(rec, 1, 0);
  grid->addWidget(recStart_, 1, 1);
  auto* lc = check(this, "lcCheck", QStringLiteral("Start recording light curve at orbit #:"));
  lcStart_ = field(this, "lcStartBox", rules_.lcStartText);
  grid->addWidget(lc, 2, 0);
  grid->addWidget(lcStart_, 2, 1);
  auto* rs = check(this, "rsCheck", QStringLiteral("Output restart file every:"));
  rsEvery_ = field(this, "rsEveryBox", rules_.rsEveryText);
  grid->addWidget(rs, 3, 0);
  grid->addWidget(rsEvery_, 3, 1);
  top->addLayout(grid);

  auto* group = new QGroupBox(QStringLiteral("Recording Resolution"), this);
  auto* gl = new QGridLayout(group);
  res_ = new QSlider(Qt::Horizontal, group);
  res_->setObjectName(QStringLiteral("resSlider"));
  res_->setRange(RestartRules::RES_MIN, RestartRules::RES_MAX);
  res_->setValue(rules_.resPos);
  gl->addWidget(res_, 0, 0, 1, 3);
  gl->addWidget(new QLabel(QStringLiteral("High"), group), 1, 0);
  auto* medium = new QLabel(QStringLiteral("Medium"), group);
  medium->setAlignment(Qt::AlignCenter);
  gl->addWidget(medium, 1, 1);
  auto* low = new QLabel(QStringLiteral("Low"), group);
  low->setAlignment(Qt::AlignRight);
  gl->addWidget(low, 1, 2);
  top->addWidget(group);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);

  connect(rec, &QCheckBox::clicked, this, [this] { rules_.toggleRecord(); });
  connect(lc, &QCheckBox::clicked, this, [this] { rules_.toggleLightCurve(); });
  connect(rs, &QCheckBox::clicked, this, [this] { rules_.toggleRestart(); });
  connect(ok, &QPushButton::clicked, this, [this] { onOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    S_.CANCELLED = 1;
    reject();
  });
}

void RestartSetupDialog::onOk() {
  rules_.orbitsText = orbits_->text().toStdString();
  rules_.recStartText = recStart_->text().toStdString();
  rules_.lcStartText = lcStart_->text().toStdString();
  rules_.rsEveryText = rsEvery_->text().toStdString();
  rules_.resPos = res_->value();
  const std::string problem = rules_.problem();
  if (!problem.empty()) {
    QMessageBox::warning(this, QStringLiteral("Restart Control"), QString::fromStdString(problem) + QStringLiteral("."));
    return;
  }

  // The continued run's output files get a name of their own; without one it does not start,
  // so that its files never overwrite the restart file it continues from.
  if (rules_.needsName()) {
    int code = 0;
    const QString path = files_.save(this, code);
    if (path.isEmpty()) {
      COMDLGER(code);
      return;
    }
    RunFileName chosen;
    if (!acceptChosenFile(this, path, chosen)) return;
    S_.RUNNAME = chosen.RUNNAME;
    S_.RUNEXT = chosen.RUNEXT;
    if (QWidget* main = parentWidget())
      main->setWindowTitle(QString::fromStdString(fmt::trimRight(RestartRules::title(S_.RUNNAME)) + " "));
  }
  rules_.accept(S_);
  accept();
}

}  // namespace velmora
