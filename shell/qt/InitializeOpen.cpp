// File dialogs with the program's filter and default suffix; COMDLGER's message box.
#include "shell/qt/InitializeOpen.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "shell/COMDLGER.h"

namespace velmora {
namespace {

QString runDialog(QWidget* owner, bool save, int& errorCode) {
  errorCode = 0;
  QFileDialog dialog(owner);
  dialog.setNameFilter(QStringLiteral("Velmora Data Files(*.vlm)"));
  dialog.setDefaultSuffix(QStringLiteral("vlm"));
  dialog.setDirectory(QDir::currentPath());
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString path = dialog.selectedFiles().first();
  if (path.toLocal8Bit().size() > FILEBUF_CHARS) {
    errorCode = FNERR_BUFFERTOOSMALL;
    return {};
  }
  return path;
}

}  // namespace

QString FileDialogs::open(QWidget* owner, int& errorCode) { return runDialog(owner, false, errorCode); }

QString FileDialogs::save(QWidget* owner, int& errorCode) { return runDialog(owner, true, errorCode); }

void COMDLGER(int code) {
  const std::string text = comdlgerText(code);
  if (text.empty()) return;
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(COMDLGER_CAPTION), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.exec();
}

bool acceptChosenFile(QWidget* owner, const QString& path, RunFileName& out) {
  if (!splitRunName(path.toStdString(), out)) {
    QMessageBox::warning(owner, QStringLiteral("Velmora"),
                         QStringLiteral("The file name \"%1\" cannot be used: a run's name has 1 to %2 characters "
                                        "before its extension.")
                             .arg(QFileInfo(path).fileName())
                             .arg(RUNNAME_CHARS));
    return false;
  }
  if (!out.folder.empty() && !QDir::setCurrent(QString::fromStdString(out.folder))) {
    QMessageBox::warning(owner, QStringLiteral("Velmora"),
                         QStringLiteral("Cannot change to the folder \"%1\".").arg(QString::fromStdString(out.folder)));
    return false;
  }
  return true;
}

}  // namespace velmora
