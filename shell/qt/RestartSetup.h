// The Restart Control dialog: further orbits and the outputs of a continued run.
#pragma once

#include <QDialog>

#include "core/state.h"
#include "shell/restart_rules.h"

class QCheckBox;
class QLineEdit;
class QSlider;

namespace velmora {

class FileDialogs;

class RestartSetupDialog : public QDialog {
  Q_OBJECT

 public:
  RestartSetupDialog(Sim& S, FileDialogs& files, QWidget* owner);

  const RestartRules& rules() const { return rules_; }

 private:
  void onOk();

  Sim& S_;
  FileDialogs& files_;
  RestartRules rules_;
  QLineEdit *orbits_, *recStart_, *lcStart_, *rsEvery_;
  QSlider* res_;
};

}  // namespace velmora
