// The Disk Setup dialog: sliders and boxes of a new run, their corrections, and Run.
#include "shell/qt/Disksetup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "shell/qt/InitializeOpen.h"

namespace velmora {
namespace {

QSlider* slider(QWidget* parent, const char* name, int lo, int hi, int pos) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(QString::fromLatin1(name));
  s->setRange(lo, hi);
  s->setValue(pos);
  return s;
}

QLineEdit* shownBox(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  e->setMaximumWidth(64);
  return e;
}

QLineEdit* numberBox(QWidget* parent, const char* name, long long value, int width) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), e));
  e->setText(QString::number(value).rightJustified(width).trimmed());
  e->setMaximumWidth(64);
  return e;
}

// The box's integer, as the dialog reads it: empty text reads as 0.
long long boxValue(const QLineEdit* e) { return e->text().trimmed().toLongLong(); }

}  // namespace

DiskSetupDialog::DiskSetupDialog(Sim& S, int& resPos, FileDialogs& files, QWidget* owner)
    : QDialog(owner), S_(S), resPos_(resPos), files_(files), rules_(resPos) {
  setWindowTitle(QStringLiteral("Disk Setup"));
  setObjectName(QStringLiteral("DiskSetup"));
  setModal(true);
  // Opening resets the run's output choices and start orbits.
  S_.HINJ = 0.025f;
  S_.RECSTART = 1;
  S_.LCSTART = 1;
  S_.RSEVERY = 0;
  S_.RSFLAG = S_.RECFLAG = S_.LCFLAG = FALSE4;
  buildControls();
  showValues();
}

void DiskSetupDialog::buildControls() {
  using R = DiskSetupRules;
  auto* top = new QVBoxLayout(this);

  // Stellar masses, with the derived ratio, separation and period.
  auto* masses = new QGroupBox(QStringLiteral("Stellar Masses"), this);
  auto* mg = new QGridLayout(masses);
  m1_ = slider(masses, "m1Slider", R::M1_MIN, R::M1_MAX, rules_.m1Pos);
  q_ = slider(masses, "qSlider", R::Q_MIN, R::Q_MAX, rules_.qPos);
  m1Box_ = shownBox(masses, "m1Box");
  qBox_ = shownBox(masses, "qBox");
  m2Box_ = shownBox(masses, "m2Box");
  aBox_ = shownBox(masses, "aBox");
  pBox_ = shownBox(masses, "pBox");
  mg->addWidget(new QLabel(QStringLiteral("M1:"), masses), 0, 0);
  mg->addWidget(m1_, 0, 1, 1, 3);
  mg->addWidget(m1Box_, 0, 4);
  mg->addWidget(new QLabel(QStringLiteral("q = M2/M1:"), masses), 1, 0);
  mg->addWidget(q_, 1, 1, 1, 3);
  mg->addWidget(qBox_, 1, 4);
  mg->addWidget(new QLabel(QStringLiteral("M2:"), masses), 2, 0);
  mg->addWidget(m2Box_, 2, 1);
  auto* ap = new QHBoxLayout;
  ap->addWidget(new QLabel(QStringLiteral("a:"), masses));
  ap->addWidget(aBox_);
  ap->addWidget(new QLabel(QStringLiteral("Rsun"), masses));
  ap->addWidget(new QLabel(QStringLiteral("P_orb:"), masses));
  ap->addWidget(pBox_);
  ap->addWidget(new QLabel(QStringLiteral("hr"), masses));
  mg->addLayout(ap, 2, 2, 1, 3);
  top->addWidget(masses);

  // Simulation parameters.
  auto* sim = new QGroupBox(QStringLiteral("Simulation Parameters"), this);
  auto* sg = new QGridLayout(sim);
  orbits_ = numberBox(sim, "orbitsBox", rules_.orbits, 6);
  particles_ = numberBox(sim, "particlesBox", rules_.particles, 6);
  displ_ = numberBox(sim, "displayBox", rules_.displaySteps, 4);
  inj_ = numberBox(sim, "injBox", rules_.injections, 4);
  sg->addWidget(new QLabel(QStringLiteral("# Orbits:"), sim), 0, 0);
  sg->addWidget(orbits_, 0, 1);
  sg->addWidget(new QLabel(QStringLiteral("# Steps b/n \nDispl Update:"), sim), 0, 2);
  sg->addWidget(displ_, 0, 3);
  sg->addWidget(new QLabel(QStringLiteral("# Particles:"), sim), 1, 0);
  sg->addWidget(particles_, 1, 1);
  sg->addWidget(new QLabel(QStringLiteral("# Inj/dt:"), sim), 1, 2);
  sg->addWidget(inj_, 1, 3);
  h_ = slider(sim, "hSlider", R::H_MIN, R::H_MAX, rules_.hPos);
  hBox_ = shownBox(sim, "hBox");
  sg->addWidget(new QLabel(QStringLiteral("Smoothing Length\nh:"), sim), 2, 0);
  sg->addWidget(h_, 2, 1, 1, 2);
  sg->addWidget(hBox_, 2, 3);
  alpha_ = slider(sim, "alphaSlider", R::AB_MIN, R::AB_MAX, rules_.alphaPos);
  beta_ = slider(sim, "betaSlider", R::AB_MIN, R::AB_MAX, rules_.betaPos);
  alphaBox_ = shownBox(sim, "alphaBox");
  betaBox_ = shownBox(sim, "betaBox");
  sg->addWidget(new QLabel(QStringLiteral("Viscosity Coefficients\nAlpha:"), sim), 3, 0);
  sg->addWidget(alpha_, 3, 1, 1, 2);
  sg->addWidget(alphaBox_, 3, 3);
  sg->addWidget(new QLabel(QStringLiteral("Beta:"), sim), 4, 0);
  sg->addWidget(beta_, 4, 1, 1, 2);
  sg->addWidget(betaBox_, 4, 3);
  top->addWidget(sim);

  // Recording control.
  auto* rec = new QGroupBox(QStringLiteral("Recording Control"), this);
  auto* rg = new QGridLayout(rec);
  recBox_ = new QCheckBox(QStringLiteral("Start recording simulation at orbit #:"), rec);
  recBox_->setObjectName(QStringLiteral("recCheck"));
  lcBox_ = new QCheckBox(QStringLiteral("Start recording light curve at orbit #:"), rec);
  lcBox_->setObjectName(QStringLiteral("lcCheck"));
  recStart_ = numberBox(rec, "recStartBox", rules_.recStart, 6);
  lcStart_ = numberBox(rec, "lcStartBox", rules_.lcStart, 6);
  rg->addWidget(recBox_, 0, 0, 1, 3);
  rg->addWidget(recStart_, 0, 3);
  rg->addWidget(lcBox_, 1, 0, 1, 3);
  rg->addWidget(lcStart_, 1, 3);
  res_ = slider(rec, "resSlider", R::RES_MIN, R::RES_MAX, R::RES_MIN);
  rg->addWidget(new QLabel(QStringLiteral("Recording Resolution"), rec), 2, 0, 1, 4);
  rg->addWidget(res_, 3, 0, 1, 4);
  rg->addWidget(new QLabel(QStringLiteral("High"), rec), 4, 0);
  auto* medium = new QLabel(QStringLiteral("Medium"), rec);
  medium->setAlignment(Qt::AlignCenter);
  rg->addWidget(medium, 4, 1, 1, 2);
  auto* low = new QLabel(QStringLiteral("Low"), rec);
  low->setAlignment(Qt::AlignRight);
  rg->addWidget(low, 4, 3);
  top->addWidget(rec);

  // Restart output control.
  auto* rsGroup = new QGroupBox(QStringLiteral("Restart Output Control"), this);
  auto* rsl = new QHBoxLayout(rsGroup);
  rsBox_ = new QCheckBox(QStringLiteral("Output restart file every"), rsGroup);
  rsBox_->setObjectName(QStringLiteral("rsCheck"));
  rsEvery_ = numberBox(rsGroup, "rsEveryBox", rules_.rsEvery, 6);
  rsl->addWidget(rsBox_);
  rsl->addWidget(rsEvery_);
  rsl->addWidget(new QLabel(QStringLiteral("orbits"), rsGroup));
  rsl->addStretch();
  top->addWidget(rsGroup);

  auto* buttons = new QHBoxLayout;
  auto* run = new QPushButton(QStringLiteral("Run"), this);
  run->setObjectName(QStringLiteral("runButton"));
  run->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  buttons->addStretch();
  buttons->addWidget(run);
  buttons->addWidget(cancel);
  buttons->addStretch();
  top->addLayout(buttons);

  for (QSlider* s : {m1_, q_, h_, alpha_, beta_, res_}) connect(s, &QSlider::valueChanged, this, [this] { onSlider(); });
  connect(particles_, &QLineEdit::textChanged, this, [this] { onParticles(); });
  connect(inj_, &QLineEdit::textChanged, this, [this] { onInjections(); });
  connect(recBox_, &QCheckBox::clicked, this, [this] { rec_ = !rec_; });
  connect(lcBox_, &QCheckBox::clicked, this, [this] { lc_ = !lc_; });
  connect(rsBox_, &QCheckBox::clicked, this, [this] { rs_ = !rs_; });
  connect(run, &QPushButton::clicked, this, [this] { onRun(); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    S_.CANCELLED = 1;
    reject();
  });
}

// Box texts and slider positions from the rules, without the sliders reporting a move.
void DiskSetupDialog::showValues() {
  m1Box_->setText(QString::fromStdString(rules_.m1Text).trimmed());
  qBox_->setText(QString::fromStdString(rules_.qText).trimmed());
  m2Box_->setText(QString::fromStdString(rules_.m2Text).trimmed());
  aBox_->setText(QString::fromStdString(rules_.aText).trimmed());
  pBox_->setText(QString::fromStdString(rules_.pText).trimmed());
  hBox_->setText(QString::fromStdString(rules_.hText).trimmed());
  alphaBox_->setText(QString::fromStdString(rules_.alphaText).trimmed());
  betaBox_->setText(QString::fromStdString(rules_.betaText).trimmed());
  const QSignalBlocker block(h_);
  h_->setRange(DiskSetupRules::H_MIN, rules_.hMax);
  h_->setValue(rules_.hPos);
}

void DiskSetupDialog::onSlider() {
  rules_.m1Pos = m1_->value();
  rules_.qPos = q_->value();
  rules_.alphaPos = alpha_->value();
  rules_.betaPos = beta_->value();
  rules_.resSlider = res_->value();
  rules_.hPos = h_->value();
  rules_.sliderMoved();
  resPos_ = rules_.resPos;
  showValues();
}

void DiskSetupDialog::onParticles() {
  const long long typed = boxValue(particles_);
  const long long shown = rules_.particlesChanged(typed);
  if (shown != typed) {
    const QSignalBlocker block(particles_);
    particles_->setText(QString::number(shown));
  }
  showValues();
}

void DiskSetupDialog::onInjections() {
  const long long typed = boxValue(inj_);
  const long long shown = rules_.injectionsChanged(typed);
  if (shown != typed) {
    const QSignalBlocker block(inj_);
    inj_->setText(QString::number(shown));
  }
}

// Counts the loop cannot use are refused here, with the valid range named.
bool DiskSetupDialog::boxesValid() {
  struct Check {
    QLineEdit* box;
    const char* what;
  };
  const Check checks[] = {{orbits_, "# Orbits"},
                          {particles_, "# Particles"},
                          {inj_, "# Inj/dt"},
                          {displ_, "# Steps b/n Displ Update"},
                          {recStart_, "The orbit at which recording starts"},
                          {lcStart_, "The orbit at which the light curve starts"},
                          {rsEvery_, "The restart interval"}};
  for (const auto& c : checks) {
    if (boxValue(c.box) >= 1) continue;
    QMessageBox::warning(this, QStringLiteral("Disk Setup"),
                         QStringLiteral("%1 must be at least 1.").arg(QString::fromLatin1(c.what)));
    c.box->setFocus();
    return false;
  }
  return true;
}

void DiskSetupDialog::onRun() {
  if (!boxesValid()) return;

  // 1-2. The output files' name, asked once per opening, and the window title.
  const bool output = rec_ || lc_ || rs_;
  QWidget* main = parentWidget();
  if (output && !nameAsked_) {
    nameAsked_ = true;
    int code = 0;
    const QString path = files_.save(this, code);
    RunFileName chosen;
    if (path.isEmpty()) {
      COMDLGER(code);  // the run goes ahead under the current name
    } else if (!acceptChosenFile(this, path, chosen)) {
      nameAsked_ = false;  // an unusable name: back to the dialog to choose again
      return;
    } else {
      S_.RUNNAME = chosen.RUNNAME;
      S_.RUNEXT = chosen.RUNEXT;
      if (main) main->setWindowTitle(QStringLiteral(" Velmora   Current File Name:  %1 ")
                                         .arg(QString::fromStdString(S_.RUNNAME)));
    }
  }
  if (!output && main) main->setWindowTitle(QStringLiteral("Velmora - Simulation Not Recording "));

  // 3-6. The values the run takes, read from the boxes.
  rules_.particlesChanged(boxValue(particles_));
  rules_.orbits = boxValue(orbits_);
  rules_.injections = boxValue(inj_);
  if (rules_.injections > rules_.particles) {
    rules_.injections = rules_.particles;
    const QSignalBlocker block(inj_);
    inj_->setText(QString::number(rules_.injections));
  }
  rules_.displaySteps = boxValue(displ_);
  rules_.recStart = boxValue(recStart_);
  rules_.lcStart = boxValue(lcStart_);
  rules_.rsEvery = boxValue(rsEvery_);
  rules_.resPos = resPos_;
  params_ = rules_.runParameters();
  prepareRun(S_, params_, rec_, lc_, rs_);

  // 7. The dialog ends; the caller starts the run.
  run_ = true;
  accept();
}

}  // namespace velmora
