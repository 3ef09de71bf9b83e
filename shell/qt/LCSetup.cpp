// Light Curve Plot Control dialog: the orbit range, corrected while the user types.
#include "shell/qt/LCSetup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace velmora {
namespace {

QLineEdit* box(QWidget* parent, const char* name, const QString& text, bool readOnly, int width) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(readOnly);
  if (readOnly) e->setFocusPolicy(Qt::NoFocus);
  e->setMinimumWidth(width);
  return e;
}

// Puts a corrected value into a box without reporting the change again.
void correct(QLineEdit* e, const std::optional<std::string>& text) {
  if (!text) return;
  const QSignalBlocker block(e);
  e->setText(QString::fromStdString(*text));
}

}  // namespace

LCSetupDialog::LCSetupDialog(const QString& fileName, long long samples, QWidget* owner)
    : QDialog(owner), rules_(samples) {
  setWindowTitle(QStringLiteral("Light Curve Plot Control"));
  setObjectName(QStringLiteral("LCSetup"));
  setModal(true);
  auto* grid = new QGridLayout(this);
  name_ = box(this, "fileBox", fileName, true, 140);
  orbits_ = box(this, "orbitsRecordedBox", QString::fromStdString(LCRangeRules::boxText(rules_.ORBREC)), true, 48);
  first_ = box(this, "firstBox", QString::fromStdString(LCRangeRules::boxText(rules_.LCFIRST)), false, 48);
  last_ = box(this, "lastBox", QString::fromStdString(LCRangeRules::boxText(rules_.LCLAST)), false, 48);
  grid->addWidget(new QLabel(QStringLiteral("Current Filename:"), this), 0, 0);
  grid->addWidget(name_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Orbits Recorded:"), this), 1, 0);
  grid->addWidget(orbits_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Display Orbits:"), this), 2, 0);
  grid->addWidget(first_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("-->"), this), 2, 2);
  grid->addWidget(last_, 2, 3);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 3, 0, 1, 4);

  connect(first_, &QLineEdit::textChanged, this, [this] { onFirst(); });
  connect(last_, &QLineEdit::textChanged, this, [this] { onLast(); });
  connect(ok, &QPushButton::clicked, this, [this] { onOk(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LCSetupDialog::onFirst() { correct(first_, rules_.firstChanged(first_->text().toStdString())); }

void LCSetupDialog::onLast() { correct(last_, rules_.lastChanged(last_->text().toStdString())); }

void LCSetupDialog::onOk() {
  if (rules_.accept(first_->text().toStdString(), last_->text().toStdString())) accept();
}

}  // namespace velmora
