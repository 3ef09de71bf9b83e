// Help window: an HTML help file in a browser pane with a find box.
#include "shell/qt/help_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace velmora {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Velmora Help"));
  resize(640, 600);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(QStringLiteral("Find:"), this));
  find_ = new QLineEdit(this);
  find_->setObjectName(QStringLiteral("helpFind"));
  find_->setPlaceholderText(QStringLiteral("a word to look for; Enter finds the next place"));
  bar->addWidget(find_, 1);
  auto* next = new QPushButton(QStringLiteral("Find Next"), this);
  bar->addWidget(next);
  auto* contents = new QPushButton(QStringLiteral("Contents"), this);
  bar->addWidget(contents);
  layout->addLayout(bar);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpText"));
  browser_->setOpenExternalLinks(false);
  layout->addWidget(browser_, 1);
  connect(find_, &QLineEdit::returnPressed, this, [this] { findNext(); });
  connect(next, &QPushButton::clicked, this, [this] { findNext(); });
  connect(contents, &QPushButton::clicked, this, [this] {
    if (!loaded_.isEmpty()) showContents(loaded_);
  });
}

bool HelpWindow::load(const QString& helpFile) {
  QFile f(helpFile);
  if (!f.open(QIODevice::ReadOnly)) return false;
  browser_->setHtml(QString::fromUtf8(f.readAll()));
  loaded_ = helpFile;
  return true;
}

bool HelpWindow::showContents(const QString& helpFile) {
  if (!load(helpFile)) return false;
  browser_->moveCursor(QTextCursor::Start);
  show();
  raise();
  activateWindow();
  return true;
}

bool HelpWindow::showSearch(const QString& helpFile) {
  if (!showContents(helpFile)) return false;
  find_->setFocus();
  find_->selectAll();
  return true;
}

void HelpWindow::showHowToUse() {
  loaded_.clear();
  browser_->setHtml(QStringLiteral(
      "<h2>How to Use Help</h2>"
      "<p>The help window shows the Velmora help text. Scroll with the mouse wheel, the scroll bar or the "
      "Page Up and Page Down keys.</p>"
      "<p>To look for a word, type it into the <b>Find</b> box and press Enter or <b>Find Next</b>; each further "
      "press finds the next place, and the search starts again at the top after the last one.</p>"
      "<p><b>Contents</b> shows the help text from its beginning. Help &gt; Contents (F1) opens it from the "
      "main window; Help &gt; Search for Help On... opens it with the Find box ready.</p>"));
  show();
  raise();
}

void HelpWindow::findNext() {
  const QString word = find_->text();
  if (word.isEmpty()) return;
  if (!browser_->find(word)) {
    browser_->moveCursor(QTextCursor::Start);
    browser_->find(word);
  }
}

}  // namespace velmora
