// The help window: the program's help file with its contents, a find box, and help on help.
#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QTextBrowser;

namespace velmora {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the help file from its start; false when it cannot be read.
  bool showContents(const QString& helpFile);
  // Shows the help file with the find box ready for a word.
  bool showSearch(const QString& helpFile);
  // Explains how to use this window.
  void showHowToUse();

  QTextBrowser* browser() const { return browser_; }
  QLineEdit* findBox() const { return find_; }

 private:
  bool load(const QString& helpFile);
  void findNext();

  QTextBrowser* browser_;
  QLineEdit* find_;
  QString loaded_;
};

}  // namespace velmora
