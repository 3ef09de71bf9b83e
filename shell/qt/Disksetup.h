// The Disk Setup dialog: every parameter of a new run, and its Run button.
#pragma once

#include <QDialog>

#include "core/state.h"
#include "shell/disk_setup_rules.h"

class QCheckBox;
class QLineEdit;
class QSlider;

namespace velmora {

class FileDialogs;

class DiskSetupDialog : public QDialog {
  Q_OBJECT

 public:
  // resPos: the resolution slider's last reported position, kept for the life of the program.
  DiskSetupDialog(Sim& S, int& resPos, FileDialogs& files, QWidget* owner);

  // Valid after the dialog ended with Run.
  const RunParameters& parameters() const { return params_; }
  bool runRequested() const { return run_; }
  const DiskSetupRules& rules() const { return rules_; }

 private:
  void buildControls();
  void showValues();
  void onSlider();
  void onParticles();
  void onInjections();
  void onRun();
  bool boxesValid();

  Sim& S_;
  int& resPos_;
  FileDialogs& files_;
  DiskSetupRules rules_;
  RunParameters params_;
  bool run_ = false;
  bool nameAsked_ = false;
  bool rec_ = false, lc_ = false, rs_ = false;

  QSlider *m1_ = nullptr, *q_ = nullptr, *h_ = nullptr, *alpha_ = nullptr, *beta_ = nullptr, *res_ = nullptr;
  QLineEdit *m1Box_ = nullptr, *qBox_ = nullptr, *m2Box_ = nullptr, *aBox_ = nullptr, *pBox_ = nullptr;
  QLineEdit *hBox_ = nullptr, *alphaBox_ = nullptr, *betaBox_ = nullptr;
  QLineEdit *orbits_ = nullptr, *particles_ = nullptr, *displ_ = nullptr, *inj_ = nullptr;
  QLineEdit *recStart_ = nullptr, *lcStart_ = nullptr, *rsEvery_ = nullptr;
  QCheckBox *recBox_ = nullptr, *lcBox_ = nullptr, *rsBox_ = nullptr;
};

}  // namespace velmora
