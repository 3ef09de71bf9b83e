// The main window: menus, display options, the commands that start runs and playback,
// help, About, and the centring of dialogs.
#include "shell/qt/Velmora.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/core.h"
#include "display/gl/display.h"
#include "files/files.h"
#include "files/lightcurve.h"
#include "files/recording.h"
#include "files/run_provenance.h"
#include "io/data_files.h"
#include "io/file_error.h"
#include "shell/qt/Disksetup.h"
#include "shell/qt/InitializeOpen.h"
#include "shell/qt/LCSetup.h"
#include "shell/qt/RestartSetup.h"
#include "shell/qt/gl_view.h"
#include "shell/qt/help_window.h"
#include "shell/qt/movie_export.h"
#include "shell/qt/qt_run_host.h"

namespace velmora {

QPoint CENTERWINDOW(const QRect& child, const QRect& parent, const QRect& screen) {
  int x = parent.left() + (parent.width() - child.width()) / 2;
  if (x < screen.left()) x = screen.left();
  else if (x + child.width() > screen.right() + 1) x = screen.right() + 1 - child.width();
  int y = parent.top() + (parent.height() - child.height()) / 2;
  if (y < screen.top()) y = screen.top();
  else if (y + child.height() > screen.bottom() + 1) y = screen.bottom() + 1 - child.height();
  return {x, y};
}

namespace {

void centreOver(QWidget* child, QWidget* parent) {
  child->adjustSize();
  const QScreen* screen = parent->screen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
  child->move(CENTERWINDOW(child->frameGeometry(), parent->frameGeometry(), avail));
}

}  // namespace

MainWindow::MainWindow(FileDialogs* files, QWidget* parent)
    : QMainWindow(parent), S_(std::make_unique<Sim>()), files_(files) {
  if (!files_) {
    ownFiles_ = std::make_unique<FileDialogs>();
    files_ = ownFiles_.get();
  }
  setObjectName(QStringLiteral("Velmora"));
  progDir_ = QDir::currentPath();
  const std::string exeDir = QCoreApplication::applicationDirPath().toStdString();
  startFile_ = QString::fromStdString(findDataFile(progDir_.toStdString(), exeDir, "startup"));
  helpFile_ = QString::fromStdString(findDataFile(progDir_.toStdString(), exeDir, "Velmora Help.hlp"));

  // Start-up values of the state the window owns.
  S_->SHOWSIM = TRUE4;
  S_->ORB0 = 0;
  S_->NORBADD = 0;
  S_->NEWREC = FALSE4;
  S_->CANCELLED = 0;

  view_ = new GLView(this);
  view_->setStartFile(startFile_.toStdString());
  setCentralWidget(view_);
  host_ = new QtRunHost(this, view_, *S_);
  connect(view_, &GLView::plotFailed, this, [this](const QString& why) {
    QMessageBox::warning(this, QStringLiteral("Velmora"), why);
  });
  buildMenus();
  setWindowTitle(QStringLiteral("Velmora Cataclysmic Variable Simulator"));
  move(1, 1);
  resize(650, 730);
}

MainWindow::~MainWindow() { delete host_; }

QAction* MainWindow::action(const QString& name) const { return findChild<QAction*>(name); }

void MainWindow::buildMenus() {
  auto add = [this](QMenu* menu, const QString& text, const char* name, auto slot) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  add(file, QStringLiteral("&New Disk..."), "newDisk", &MainWindow::newDisk);
  add(file, QStringLiteral("&Open Recorded..."), "openRecorded", &MainWindow::openRecorded);
  add(file, QStringLiteral("Open &Restart..."), "openRestart", &MainWindow::openRestart);
  add(file, QStringLiteral("Open Light Curve..."), "openLightCurve", &MainWindow::openLightCurve);
  file->addSeparator();
  add(file, QStringLiteral("Export &Movie..."), "exportMovie", &MainWindow::exportMovie);
  file->addSeparator();
  add(file, QStringLiteral("E&xit"), "exit", &MainWindow::close);

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  // Exclusive groups keep exactly one check mark in each submenu.
  auto choice = [this](QMenu* menu, QActionGroup* group, const QString& text, const char* name, bool checked,
                       std::function<void()> apply) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(true);
    a->setChecked(checked);
    group->addAction(a);
    connect(a, &QAction::triggered, this, apply);
  };
  QMenu* style = options->addMenu(QStringLiteral("Star Style"));
  auto* styles = new QActionGroup(this);
  choice(style, styles, QStringLiteral("&Filled"), "styleFilled", true, [this] { opts_.STARSTYLE = 1; applyOptions(); });
  choice(style, styles, QStringLiteral("&Wire Frame"), "styleWire", false, [this] { opts_.STARSTYLE = 2; applyOptions(); });
  choice(style, styles, QStringLiteral("&Point Grid"), "stylePoints", false, [this] { opts_.STARSTYLE = 3; applyOptions(); });
  QMenu* size = options->addMenu(QStringLiteral("Particle Size"));
  auto* sizes = new QActionGroup(this);
  choice(size, sizes, QStringLiteral("Small"), "sizeSmall", true, [this] { opts_.PTSIZE = 1.0f; applyOptions(); });
  choice(size, sizes, QStringLiteral("Large"), "sizeLarge", false, [this] { opts_.PTSIZE = 2.0f; applyOptions(); });
  QMenu* colour = options->addMenu(QStringLiteral("Particle Color"));
  auto* colours = new QActionGroup(this);
  choice(colour, colours, QStringLiteral("Density"), "colorDensity", true, [this] { opts_.COLORMODE = 1; applyOptions(); });
  choice(colour, colours, QStringLiteral("Temperature"), "colorTemperature", false, [this] { opts_.COLORMODE = 2; applyOptions(); });
  QAction* showSim = options->addAction(QStringLiteral("&Show Simulation"));
  showSim->setObjectName(QStringLiteral("showSimulation"));
  showSim->setCheckable(true);
  showSim->setChecked(true);
  connect(showSim, &QAction::toggled, this, [this](bool on) { opts_.SHOWSIM = on; });
  QAction* loop = options->addAction(QStringLiteral("Loop Playback"));
  loop->setObjectName(QStringLiteral("loopPlayback"));
  loop->setCheckable(true);
  loop->setChecked(true);
  connect(loop, &QAction::toggled, this, [this](bool on) { opts_.LOOPPLAY = on; });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* contents = add(help, QStringLiteral("&Contents"), "helpContents", &MainWindow::helpContents);
  contents->setShortcut(QKeySequence(Qt::Key_F1));
  add(help, QStringLiteral("&Search for Help On..."), "helpSearch", &MainWindow::helpSearch);
  add(help, QStringLiteral("&How to Use Help"), "helpHowTo", &MainWindow::helpHowTo);
  help->addSeparator();
  QAction* aboutAction = add(help, QStringLiteral("&About Velmora..."), "about", &MainWindow::about);
  aboutAction->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Slash), QKeySequence(Qt::ALT | Qt::Key_Question)});
}

void MainWindow::applyOptions() {
  ViewOptions o;
  o.STARSTYLE = opts_.STARSTYLE;
  o.PTSIZE = opts_.PTSIZE;
  o.COLORMODE = opts_.COLORMODE;
  view_->setOptions(o);
}

// Runs a step loop or playback inside the command that started it: the host takes the
// drawing area's mouse messages and swallows all other input until the loop returns.
void MainWindow::runLoop(const std::function<void()>& loop) {
  busy_ = true;
  host_->begin();
  try {
    loop();
  } catch (const FileError& e) {
    host_->end();
    QMessageBox::critical(this, QStringLiteral("Velmora"),
                          QStringLiteral("This file cannot be used: %1").arg(QString::fromStdString(e.what())));
  } catch (const RunError& e) {
    host_->end();
    QMessageBox::critical(this, QStringLiteral("Velmora"),
                          QStringLiteral("The run stopped: %1").arg(QString::fromStdString(e.what())));
  }
  host_->end();
  busy_ = false;
  const QStringList warnings = host_->takeWarnings();
  if (!warnings.isEmpty())
    QMessageBox::warning(this, QStringLiteral("Velmora"), warnings.mid(0, 10).join(QStringLiteral("\n")));
  if (host_->closeRequested()) close();
}

void MainWindow::newDisk() {
  REINIT(*S_);
  view_->resetProjection();
  view_->setContent(GLView::Content::Title);
  DiskSetupDialog dialog(*S_, resPos_, *files_, this);
  centreOver(&dialog, this);
  dialog.exec();
  view_->keepPicture();
  if (!dialog.runRequested()) {
    view_->forceTitle();
    view_->update();
    return;
  }
  const RunParameters& p = dialog.parameters();
  S_->SHOWSIM = opts_.SHOWSIM ? TRUE4 : FALSE4;
  S_->FORCES = ForceScheme::Sequential;  // the desktop program starts runs in the reference scheme
  runLoop([&] { DISKSUB(*S_, *host_, p.M1, p.M2, p.ALPHA, p.BETA, p.NPART, p.NORB, p.NINJ, p.NDISP, 1); });
}

void MainWindow::openRecorded() {
  view_->setContent(GLView::Content::Title);
  view_->keepPicture();
  view_->resetProjection();
  REINIT(*S_);
  int code = 0;
  const QString path = files_->open(this, code);
  RunFileName chosen;
  if (path.isEmpty() || !acceptChosenFile(this, path, chosen)) {
    if (path.isEmpty()) COMDLGER(code);
    view_->showTitle();
    return;
  }
  S_->RUNNAME = chosen.RUNNAME;
  S_->RUNEXT = chosen.RUNEXT;
  S_->DATANAME = QFileInfo(path).absoluteFilePath().toStdString();
  const std::string title = " Velmora   Current File Name:  " + S_->RUNNAME;
  setWindowTitle(QString::fromStdString(title + " "));

  std::unique_ptr<RecordingReader> reader;
  try {
    reader = std::make_unique<RecordingReader>(S_->DATANAME);
  } catch (const FileError& e) {
    QMessageBox::warning(this, QStringLiteral("Velmora"), QString::fromStdString(e.what()));
    view_->showTitle();
    return;
  }
  S_->NORBTOT = reader->NORBTOT();
  S_->FRAMESTEP = reader->FRAMESTEP();
  S_->RECSTART = reader->RECSTART();

  PlaybackEnd end;
  runLoop([&] {
    end = playRecording(*reader, *host_, opts_.LOOPPLAY, title, pbMouse_,
                   [&](const RecordedFrame& F, const RecordingReader& R, I32 XA, I32 YA, I32 counter, I32 paused) {
                     const PlaybackInfo info{R.FRAMESTEP(), R.RECSTART(), R.NORBTOT()};
                     view_->showFrame(playbackFrame(F), info, XA, YA, counter, paused, *host_);
                   });
  });
  if (!end.problem.empty())
    QMessageBox::warning(this, QStringLiteral("Velmora"),
                         QStringLiteral("The playback ended at a damaged frame: %1").arg(QString::fromStdString(end.problem)));
  if (isVisible()) view_->showTitle();
}

void MainWindow::openRestart() {
  view_->resetProjection();
  view_->setContent(GLView::Content::Title);
  REINIT(*S_);
  view_->keepPicture();
  int code = 0;
  const QString path = files_->open(this, code);
  RunFileName chosen;
  if (path.isEmpty()) {
    COMDLGER(code);
    return;
  }
  if (!acceptChosenFile(this, path, chosen)) return;
  S_->RUNNAME = chosen.RUNNAME;
  S_->RUNEXT = chosen.RUNEXT;
  S_->DATANAME = QFileInfo(path).absoluteFilePath().toStdString();
  setWindowTitle(QStringLiteral(" Velmora   Current File Name:  %1 ").arg(QString::fromStdString(S_->RUNNAME)));

  RestartSetupDialog dialog(*S_, *files_, this);
  centreOver(&dialog, this);
  if (dialog.exec() != QDialog::Accepted) {
    view_->forceTitle();
    view_->update();
    return;
  }
  // A run goes on in the force scheme its record beside the file names, as velmora-cli continues it.
  try {
    S_->FORCES = recordedForces(S_->DATANAME);
  } catch (const FileError& e) {
    QMessageBox::warning(this, QStringLiteral("Velmora"), QString::fromStdString(e.what()));
    view_->forceTitle();
    view_->update();
    return;
  }
  S_->SHOWSIM = opts_.SHOWSIM ? TRUE4 : FALSE4;
  runLoop([&] { RESTART(*S_, *host_); });
  view_->keepPicture();
}

void MainWindow::openLightCurve() {
  view_->setContent(GLView::Content::Title);
  int code = 0;
  const QString path = files_->open(this, code);
  if (path.isEmpty()) {
    COMDLGER(code);
    return;
  }
  RunFileName chosen;
  if (!acceptChosenFile(this, path, chosen)) return;
  S_->RUNNAME = chosen.RUNNAME;
  setWindowTitle(QStringLiteral(" Velmora - Current File Name:  %1 ").arg(QString::fromStdString(S_->RUNNAME)));

  // A file that cannot be read, or holds less than one orbit, is not plotted.
  LightCurve lc;
  try {
    lc = readLightCurve(path.toStdString());
  } catch (const LightCurveError& e) {
    QMessageBox::warning(this, QStringLiteral("Velmora"), QString::fromStdString(e.what()));
    return;
  }
  if (lc.orbits() < 1) {
    QMessageBox::warning(this, QStringLiteral("Velmora"),
                         QStringLiteral("\"%1\" holds %2 samples, less than one orbit (200 samples): there is "
                                        "nothing to plot.")
                             .arg(QFileInfo(path).fileName())
                             .arg(lc.samples()));
    return;
  }

  LCSetupDialog dialog(QFileInfo(path).fileName(), lc.samples(), this);
  centreOver(&dialog, this);
  if (dialog.exec() != QDialog::Accepted) {
    S_->CANCELLED = 1;
    view_->forceTitle();
    view_->update();
    return;
  }
  view_->setLightCurve(QFileInfo(path).absoluteFilePath(), dialog.rules().LCFIRST, dialog.rules().LCLAST);
  view_->setContent(GLView::Content::LightCurve);
  view_->update();
}

// A recording as a movie, drawn as the playback shows it with the Options menu's settings, at the
// drawing area's size (even, as H.264 needs), 25 frames a second.
void MainWindow::exportMovie() {
  int code = 0;
  const QString recording = files_->open(this, code);
  if (recording.isEmpty()) {
    COMDLGER(code);
    return;
  }
  const QFileInfo rec(recording);
  const QString out = files_->saveMovie(this, rec.absoluteDir().filePath(rec.completeBaseName() + ".mp4"));
  if (out.isEmpty()) return;

  MovieRequest request;
  request.recording = rec.absoluteFilePath().toStdString();
  request.out = QFileInfo(out).absoluteFilePath().toStdString();
  request.width = std::max(MOVIE_MIN_SIZE, view_->width() & ~1);
  request.height = std::max(MOVIE_MIN_SIZE, view_->height() & ~1);
  request.options.STARSTYLE = opts_.STARSTYLE;
  request.options.PTSIZE = opts_.PTSIZE;
  request.options.COLORMODE = opts_.COLORMODE;
  const MovieExportEnd end = runMovieExport(this, request);
  if (end.plan.kind == MoviePlan::Stopped) return;
  if (end.plan.kind != MoviePlan::Ready) {
    QMessageBox::warning(this, QStringLiteral("Velmora"),
                         QStringLiteral("No movie can be made: %1").arg(QString::fromStdString(end.plan.message)));
    return;
  }
  const MovieResult& r = end.result;
  if (r.end == MovieResult::Written)
    QMessageBox::information(this, QStringLiteral("Velmora"),
                             QStringLiteral("The movie \"%1\" was written: %2 frames of %3 x %4 pixels, %5 frames a "
                                            "second.")
                                 .arg(QFileInfo(out).fileName())
                                 .arg(r.frames)
                                 .arg(request.width)
                                 .arg(request.height)
                                 .arg(request.fps));
  else if (r.end == MovieResult::Failed)
    QMessageBox::warning(this, QStringLiteral("Velmora"),
                         QStringLiteral("The movie was not written: %1").arg(QString::fromStdString(r.message)));
}

bool MainWindow::helpAvailable(QWidget* owner) {
  if (QFileInfo(helpFile_).isReadable()) {
    if (!help_) help_ = new HelpWindow(this);
    return true;
  }
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora"), QStringLiteral("Unable to activate help"),
                  QMessageBox::Ok, owner);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  return false;
}

void MainWindow::helpContents() {
  if (helpAvailable(this) && !help_->showContents(helpFile_)) helpAvailable(this);
}

void MainWindow::helpSearch() {
  if (helpAvailable(this) && !help_->showSearch(helpFile_)) helpAvailable(this);
}

void MainWindow::helpHowTo() {
  if (!help_) help_ = new HelpWindow(this);
  help_->showHowToUse();
}

void MainWindow::about() {
  QDialog box(this);
  box.setObjectName(QStringLiteral("AboutDlg"));
  box.setWindowTitle(QStringLiteral("About Velmora"));
  auto* layout = new QVBoxLayout(&box);
  auto* title = new QLabel(QStringLiteral("<b>Velmora</b><br>Cataclysmic Variable Accretion Disk Simulator"), &box);
  layout->addWidget(title);
  auto* version = new QLabel(QStringLiteral("Version: %1").arg(QStringLiteral(VELMORA_VERSION)), &box);
  version->setObjectName(QStringLiteral("version"));
  QFont f(QStringLiteral("Sans Serif"));
  f.setPixelSize(14);
  version->setFont(f);
  layout->addWidget(version);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout->addWidget(buttons);
  centreOver(&box, this);
  box.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // During a loop the host turns a close request into a click on QUIT; the window
  // closes once the loop has ended.
  if (busy_) {
    event->ignore();
    return;
  }
  if (help_) help_->close();
  event->accept();
}

}  // namespace velmora
