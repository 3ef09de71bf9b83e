// The Light Curve Plot Control dialog: the file's name and whole orbits, and the range to plot.
#pragma once

#include <QDialog>

#include "shell/lc_range_rules.h"

class QLineEdit;

namespace velmora {

class LCSetupDialog : public QDialog {
  Q_OBJECT

 public:
  // fileName: the light-curve file as the dialog shows it; samples: how many it holds.
  LCSetupDialog(const QString& fileName, long long samples, QWidget* owner);

  const LCRangeRules& rules() const { return rules_; }

 private:
  void onFirst();
  void onLast();
  void onOk();

  LCRangeRules rules_;
  QLineEdit *name_, *orbits_, *first_, *last_;
};

}  // namespace velmora
