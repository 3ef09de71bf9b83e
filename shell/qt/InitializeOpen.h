// The open and save dialogs shared by every command, and what a chosen file does to the run's names.
#pragma once

#include <QString>

#include "shell/file_name_rules.h"

class QWidget;

namespace velmora {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen path, or an empty string; errorCode is 0 for a plain cancel, otherwise the
  // failure's code (a path longer than the file buffer gives FNERR_BUFFERTOOSMALL).
  virtual QString open(QWidget* owner, int& errorCode);
  // The same for the save dialog, which asks before overwriting and adds ".vlm" to a bare name.
  virtual QString save(QWidget* owner, int& errorCode);
  // The save dialog of a movie: MP4, WebM or GIF, ".mp4" added to a bare name, starting at
  // `suggested` (a path); asks before overwriting. The chosen path, or an empty string.
  virtual QString saveMovie(QWidget* owner, const QString& suggested);
};

// Shows COMDLGER's message for a failed dialog (nothing for a plain cancel).
void COMDLGER(int code);

// Takes a chosen path: splits it into the run's name and extension and makes its folder the
// current directory, so that the run's files land beside it. Reports a name that cannot be
// used and returns false.
bool acceptChosenFile(QWidget* owner, const QString& path, RunFileName& out);

}  // namespace velmora
