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

QString FileDialogs::saveMovie(QWidget* owner, const QString& suggested) {
  QFileDialog dialog(owner, QStringLiteral("Export Movie"));
  dialog.setNameFilters({QStringLiteral("MP4 movie (H.264) (*.mp4)"), QStringLiteral("WebM movie (VP9) (*.webm)"),
                         QStringLiteral("Animated GIF (*.gif)")});
  dialog.setDefaultSuffix(QStringLiteral("mp4"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(suggested);
  // The default suffix follows the chosen filter.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
    if (star >= 0) dialog.setDefaultSuffix(filter.mid(star + 2).chopped(1));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

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
