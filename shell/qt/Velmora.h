// The main window: menu and commands, runs, playback, the dialogs, help and About.
#pragma once

#include <QMainWindow>
#include <memory>

#include "core/state.h"
#include "shell/playback.h"

class QAction;
class QActionGroup;

namespace velmora {

class FileDialogs;
class GLView;
class HelpWindow;
class QtRunHost;

// The display options of the Options menu, for the life of the program.
struct DisplayOptions {
  I32 STARSTYLE = 1;   // 1 Filled, 2 Wire Frame, 3 Point Grid
  float PTSIZE = 1.0f; // 1 Small, 2 Large
  I32 COLORMODE = 1;   // 1 Density, 2 Temperature
  bool SHOWSIM = true;
  bool LOOPPLAY = true;
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // files: the open and save dialogs (tests pass scripted ones); owned by the caller.
  explicit MainWindow(FileDialogs* files = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  Sim& sim() { return *S_; }
  GLView* view() const { return view_; }
  const DisplayOptions& options() const { return opts_; }
  QAction* action(const QString& name) const;
  HelpWindow* helpWindow() const { return help_; }
  bool busy() const { return busy_; }

  // The file names of the data the program ships.
  QString startFile() const { return startFile_; }
  QString helpFile() const { return helpFile_; }
  void setHelpFile(const QString& path) { helpFile_ = path; }

 public slots:
  void newDisk();
  void openRecorded();
  void openRestart();
  void openLightCurve();
  void exportMovie();
  void helpContents();
  void helpSearch();
  void helpHowTo();
  void about();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void applyOptions();
  void runLoop(const std::function<void()>& loop);
  bool helpAvailable(QWidget* owner);

  std::unique_ptr<Sim> S_;
  std::unique_ptr<FileDialogs> ownFiles_;
  FileDialogs* files_;
  GLView* view_;
  QtRunHost* host_;
  HelpWindow* help_ = nullptr;
  DisplayOptions opts_;
  int resPos_ = 0;  // the Disk Setup resolution slider's last reported position
  PlaybackMouse pbMouse_;  // the playback's own angles and mouse positions
  bool busy_ = false;
  QString progDir_, startFile_, helpFile_;
};

// Places child centred over parent, kept on the screen (screen: the available geometry).
QPoint CENTERWINDOW(const QRect& child, const QRect& parent, const QRect& screen);

}  // namespace velmora
