// The desktop program under a virtual display: menus, the Disk Setup dialog, a run driven
// by mouse clicks, help and About. Screenshots go to the build folder for a person to look at.
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSurfaceFormat>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "core/core.h"
#include "display/view_rules.h"
#include "files/files.h"
#include "io/fortran_format.h"
#include "shell/COMDLGER.h"
#include "shell/disk_setup_rules.h"
#include "shell/qt/Disksetup.h"
#include "shell/qt/InitializeOpen.h"
#include "shell/qt/Velmora.h"
#include "shell/qt/gl_view.h"
#include "shell/qt/help_window.h"
#include "x_person.h"

using namespace velmora;

namespace {

// File dialogs that answer with prepared paths instead of asking.
class ScriptedFiles : public FileDialogs {
 public:
  QStringList answers;
  int error = 0;
  QString open(QWidget*, int& code) override { return next(code); }
  QString save(QWidget*, int& code) override { return next(code); }
  QString saveMovie(QWidget*, const QString&) override {
    int code = 0;
    return next(code);
  }

 private:
  QString next(int& code) {
    code = answers.isEmpty() ? error : 0;
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
};

void screenshot(QWidget* w, const QString& name) {
  QDir().mkpath(QStringLiteral(VELMORA_SCREENSHOT_DIR));
  // Runs on scaled screens name their pictures apart (VELMORA_SCREENSHOT_SUFFIX).
  const QString path = QStringLiteral(VELMORA_SCREENSHOT_DIR "/%1%2.png")
                           .arg(name, QString::fromLocal8Bit(qgetenv("VELMORA_SCREENSHOT_SUFFIX")));
  if (auto* gl = qobject_cast<QOpenGLWidget*>(w)) {
    gl->grabFramebuffer().save(path);
  } else if (auto* main = qobject_cast<MainWindow*>(w)) {
    // The window with its drawing area as shown on screen (a widget grab leaves it transparent).
    QPixmap shot = main->grab();
    QPainter p(&shot);
    p.drawImage(main->view()->mapTo(main, QPoint(0, 0)), main->view()->grabFramebuffer());
    p.end();
    shot.save(path);
  } else {
    w->grab().save(path);
  }
}

// A new run of a few particles written into the current directory: its recording (a frame
// every 7 phases) and/or its restart file after each orbit.
void makeRun(const char* name, int orbits, bool record, bool restarts) {
  auto S = std::make_unique<Sim>();
  struct Quiet : RunHost {
    std::optional<MouseMsg> takeMessage() override { return std::nullopt; }
    void setTitle(const std::string&) override {}
    void sleepMs(int) override {}
    void show(const Sim&, I32, I32, I32, I32) override {}
    void progress(I32, I32) override {}
    void viewSize(I32& w, I32& h) const override { w = h = 600; }
    void warn(const std::string&) override {}
  } host;
  DiskSetupRules d;
  d.orbits = orbits;
  d.particlesChanged(60);
  RunParameters p = d.runParameters();
  p.FRAMESTEP = 7;
  p.RSEVERY = 1;
  REINIT(*S);
  S->RUNNAME = name;
  prepareRun(*S, p, record, false, restarts);
  DISKSUB(*S, host, p.M1, p.M2, p.ALPHA, p.BETA, p.NPART, p.NORB, p.NINJ, 50, 1);
}

// Runs fn once the next modal widget is up (dialogs run their own event loop).
void whenModal(std::function<void(QWidget*)> fn) {
  QTimer::singleShot(50, [fn] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) {
      whenModal(fn);
      return;
    }
    fn(w);
  });
}

// Runs fn once a modal widget of type W is up, and `ready` holds for it.
template <class W>
void whenModalIs(std::function<void(W*)> fn, std::function<bool(W*)> ready = {}) {
  QTimer::singleShot(20, [fn, ready] {
    auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
    if (!w || (ready && !ready(w))) {
      whenModalIs<W>(fn, ready);
      return;
    }
    fn(w);
  });
}

// What ffprobe says of a movie's video: "width,height,frames", or an empty text.
QString probeMovie(const QString& path) {
  const QString out = path + QStringLiteral(".probe");
  const QString cmd = QStringLiteral("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                     "stream=width,height,nb_read_frames -of csv=p=0 '%1' > '%2'")
                          .arg(path, out);
  if (std::system(cmd.toLocal8Bit().constData()) != 0) return {};
  QFile f(out);
  f.open(QIODevice::ReadOnly);
  const QString text = QString::fromLatin1(f.readAll()).trimmed();
  QFile::remove(out);
  return text;
}

void typeInto(QWidget* dialog, const char* box, const QString& text) {
  auto* e = dialog->findChild<QLineEdit*>(QString::fromLatin1(box));
  QVERIFY(e);
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, text);
}

// Replaces a box's whole text at once, as a paste does.
void setBox(QWidget* dialog, const char* box, const QString& text) {
  auto* e = dialog->findChild<QLineEdit*>(QString::fromLatin1(box));
  QVERIFY(e);
  e->setText(text);
}

// A light-curve file of n samples with its count line.
QString writeLightCurve(const QDir& dir, const QString& name, int n) {
  std::string text = velmora::fmt::listInt(n) + "\r\n";
  for (int i = 1; i <= n; ++i)
    text += " " + velmora::fmt::E(i / 200.0, 18, 10) + " " + velmora::fmt::E(1e-3 * (1 + (i % 7)), 18, 10) + "\r\n";
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(text.data(), static_cast<qint64>(text.size()));
  return path;
}

QString boxText(QWidget* dialog, const char* box) {
  auto* e = dialog->findChild<QLineEdit*>(QString::fromLatin1(box));
  return e ? e->text() : QString();
}

void clickButton(QWidget* dialog, const char* name) {
  auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
  QVERIFY(b);
  QTest::mouseClick(b, Qt::LeftButton);
}

// ---- A person's mouse and keys through the X server ----

using xperson::Steps;
using xperson::Window;

QString xShotDir() { return QStringLiteral(VELMORA_SCREENSHOT_DIR "/x"); }

// Screenshot names: runs on scaled screens name theirs apart.
QString xShotName(const QString& name) {
  return name + QString::fromLocal8Bit(qgetenv("VELMORA_SCREENSHOT_SUFFIX"));
}

// The centre of a strip button in the drawing area's widget, in logical pixels: across by the
// strip's rule for the drawing area's width, up and down in the middle of the strip, which the
// view draws along the bottom of the widget.
QPointF buttonCentre(const GLView* view, const StripButton& b) {
  I32 vw = 0, vh = 0;
  view->drawingArea(vw, vh);
  return {b.centreX(vw), view->height() - STRIPH / 2.0};
}

QPointF sceneCentre(const GLView* view) { return {view->width() / 2.0, view->height() / 2.0}; }

// The X-Angle of a window title, or 0 when it shows none.
int titleXAngle(const QString& title) {
  const auto m = QRegularExpression(QStringLiteral("X-Angle:\\s+(-?\\d+)")).match(title);
  return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The window mapped on the X server, of the size Qt gave it in the screen's pixels, and (with no
// window manager to put a frame round it) where Qt put it.
void checkOnScreen(const Window& xw, QWidget* w) {
  QTRY_VERIFY_WITH_TIMEOUT(xw.mapped(), 5000);
  const QRect g = xw.geometry();
  const qreal r = w->devicePixelRatioF();
  const QString said = QStringLiteral("xdotool: %1,%2 %3x%4; Qt: %5,%6 %7x%8 at ratio %9")
                           .arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())
                           .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height()).arg(r);
  QVERIFY2(std::abs(g.width() - qRound(w->width() * r)) <= 1 && std::abs(g.height() - qRound(w->height() * r)) <= 1,
           qPrintable(said));
  if (qEnvironmentVariableIsEmpty("VELMORA_X_WM"))
    QVERIFY2(std::abs(g.x() - qRound(w->geometry().x() * r)) <= 1 && std::abs(g.y() - qRound(w->geometry().y() * r)) <= 1,
             qPrintable(said));
}

// A condition that holds once the dialog's keyboard focus is on the named box, pressing Tab
// (through the server) every 100 ms until it is.
Steps::Cond tabTo(const char* box) {
  auto last = std::make_shared<QElapsedTimer>();
  return [box, last] {
    QWidget* d = QApplication::activeModalWidget();
    QWidget* f = d ? d->focusWidget() : nullptr;
    if (f && f->objectName() == QLatin1String(box)) return true;
    if (!last->isValid() || last->elapsed() > 100) {
      Window::keys({QStringLiteral("Tab")});
      last->start();
    }
    return false;
  };
}

Steps::Cond boxReads(const char* box, const QString& text) {
  return [box, text] {
    QWidget* d = QApplication::activeModalWidget();
    return d && boxText(d, box) == text;
  };
}

bool fileMenuOpen() {
  auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  return m && m->title() == QStringLiteral("&File");
}

// File > New Disk by keys (Alt+F, N), the orbits and particles typed into Disk Setup, Return.
void startRunByKeys(Steps& s, const Window& xw, const QString& orbits, const QString& particles) {
  s.then(QStringLiteral("focus on the window"), [&xw] { xw.focus(); })
      .then(QStringLiteral("Alt+F"), [] { Window::keys({QStringLiteral("alt+f")}); })
      .when(QStringLiteral("the File menu open"), fileMenuOpen, [] { Window::keys({QStringLiteral("n")}); })
      .when(QStringLiteral("Disk Setup open"), [] {
        QWidget* d = QApplication::activeModalWidget();
        return d && d->objectName() == QStringLiteral("DiskSetup") && d->isVisible();
      })
      .when(QStringLiteral("focus on # Orbits"), tabTo("orbitsBox"), [orbits] {
        Window::keys({QStringLiteral("ctrl+a")});
        Window::type(orbits);
      })
      .when(QStringLiteral("# Orbits typed"), boxReads("orbitsBox", orbits))
      .when(QStringLiteral("focus on # Particles"), tabTo("particlesBox"), [particles] {
        Window::keys({QStringLiteral("ctrl+a")});
        Window::type(particles);
      })
      .when(QStringLiteral("# Particles typed"), boxReads("particlesBox", particles),
            [] { Window::keys({QStringLiteral("Return")}); });
}

// Holds once the run loop has done a few phases.
Steps::Cond runGoing(MainWindow& w) {
  return [&w] { return w.busy() && w.sim().IPHASE >= 3; };
}

// Holds once `value` has stayed the same for ms while the loop is busy (sampled every 50 ms).
Steps::Cond stillFor(MainWindow& w, int ms, std::function<size_t()> value) {
  struct Seen {
    QElapsedTimer sample, same;
    size_t v = 0;
  };
  auto seen = std::make_shared<Seen>();
  return [&w, ms, value, seen] {
    if (!w.busy()) return false;
    if (seen->sample.isValid() && seen->sample.elapsed() < 50) return false;
    seen->sample.start();
    const size_t v = value();
    if (!seen->same.isValid() || v != seen->v) {
      seen->v = v;
      seen->same.start();
      return false;
    }
    return seen->same.elapsed() >= ms;
  };
}

// A left drag (button 1) down or a right drag (button 3) to the right across the scene, one
// move every 60 ms.
void dragAcross(Steps& s, const Window& xw, const GLView* view, int button) {
  const QPointF c = sceneCentre(view);
  s.then(QStringLiteral("press in the scene"), [&xw, view, c, button] {
    xw.moveTo(view, c);
    Window::press(button);
  });
  for (int k = 1; k <= 5; ++k) {
    const QPointF to = button == 1 ? c + QPointF(0, 8 * k) : c + QPointF(8 * k, 0);
    s.wait(60).then(QStringLiteral("drag"), [&xw, view, to] { xw.moveTo(view, to); });
  }
  s.wait(60).then(QStringLiteral("release"), [button] { Window::release(button); });
}

// The window shown, mapped on the server and where Qt put it; a failed check ends the test.
void showOnScreen(MainWindow& w, const Window& xw) {
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  checkOnScreen(xw, &w);
}

// A person's clicks on the strip of a window's drawing area, each between two screenshots named
// after the test (prefix) and the click.
struct StripClicks {
  const Window& xw;
  const GLView* view;
  QString prefix;

  void click(const StripButton& b, const QString& name) const {
    xw.shot(xShotDir(), xShotName(prefix + name + QStringLiteral("-before")));
    xw.moveTo(view, buttonCentre(view, b));
    Window::click(1);
  }
  Steps::Act shotAfter(const QString& name) const {
    return [this, name] { xw.shot(xShotDir(), xShotName(prefix + name + QStringLiteral("-after"))); };
  }
};

// After a failed step: whatever dialog, menu or loop is open is ended, with a screenshot.
void endAfterFailure(Steps& s, MainWindow& w, const Window& xw, const QString& name) {
  s.onFailure([&w, &xw, name] {
    Window::screen(xShotDir(), xShotName(name + QStringLiteral("failed")));
    if (QWidget* p = QApplication::activePopupWidget()) p->close();
    if (QWidget* d = QApplication::activeModalWidget()) d->close();
    if (w.busy()) w.close();  // stops a run or playback as QUIT does
  });
}

}  // namespace

// The button strip as drawn, at the screen's device-pixel ratio r: r x 25 rows high at the
// bottom of the drawing area, the QUIT caption (with the tail of its Q) about r x 12 rows tall;
// as at ratio 1, only with r times the pixels.
void checkStrip(GLView* view) {
  const QImage shot = view->grabFramebuffer();
  const qreal r = view->devicePixelRatioF();
  const int strip = devicePixels(STRIPH, r), H = shot.height();
  const QColor grey(102, 102, 102);
  QCOMPARE(shot.pixelColor(2, H - 2), grey);
  QCOMPARE(shot.pixelColor(2, H - strip + 1), grey);
  QCOMPARE(shot.pixelColor(2, H - strip - 3), QColor(Qt::black));
  I32 vw = 0, vh = 0;
  view->deviceArea(vw, vh);
  int rows = 0;  // below the line along the top of the strip
  for (int y = H - strip + static_cast<int>(std::ceil(2 * r)); y < H; ++y) {
    bool white = false;
    for (int x = 0; x < static_cast<int>(0.07 * vw) && !white; ++x) white = shot.pixelColor(x, y) == QColor(Qt::white);
    rows += white ? 1 : 0;
  }
  QVERIFY2(rows >= 0.7 * 14 * r && rows <= 14 * r, qPrintable(QStringLiteral("QUIT is %1 rows tall at ratio %2")
                                                                        .arg(rows)
                                                                        .arg(r)));
}

class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
  }

  void windowAndMenus() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmora Cataclysmic Variable Simulator"));
    QCOMPARE(w.size(), QSize(650, 730));
    for (const char* name : {"styleFilled", "sizeSmall", "colorDensity", "showSimulation", "loopPlayback"})
      QVERIFY2(w.action(QString::fromLatin1(name))->isChecked(), name);

    // Star style: one mark only, moving with the choice.
    w.action(QStringLiteral("stylePoints"))->trigger();
    QVERIFY(w.action(QStringLiteral("stylePoints"))->isChecked());
    QVERIFY(!w.action(QStringLiteral("styleFilled"))->isChecked());
    QCOMPARE(w.options().STARSTYLE, 3);
    w.action(QStringLiteral("styleFilled"))->trigger();
    int marked = 0;
    for (const char* name : {"styleFilled", "styleWire", "stylePoints"})
      marked += w.action(QString::fromLatin1(name))->isChecked() ? 1 : 0;
    QCOMPARE(marked, 1);
    QCOMPARE(w.options().STARSTYLE, 1);

    w.action(QStringLiteral("sizeLarge"))->trigger();
    QCOMPARE(w.options().PTSIZE, 2.0f);
    QVERIFY(!w.action(QStringLiteral("sizeSmall"))->isChecked());
    w.action(QStringLiteral("colorTemperature"))->trigger();
    QCOMPARE(w.options().COLORMODE, 2);
    QVERIFY(!w.action(QStringLiteral("colorDensity"))->isChecked());

    // Toggles: twice restores.
    w.action(QStringLiteral("loopPlayback"))->trigger();
    QVERIFY(!w.options().LOOPPLAY);
    w.action(QStringLiteral("loopPlayback"))->trigger();
    QVERIFY(w.options().LOOPPLAY);
    QVERIFY(w.action(QStringLiteral("loopPlayback"))->isChecked());
    w.action(QStringLiteral("showSimulation"))->trigger();
    QVERIFY(!w.options().SHOWSIM);

    // Accelerators.
    QCOMPARE(w.action(QStringLiteral("helpContents"))->shortcut(), QKeySequence(Qt::Key_F1));
    QVERIFY(w.action(QStringLiteral("about"))->shortcuts().contains(QKeySequence(Qt::ALT | Qt::Key_Slash)));
    QVERIFY(w.action(QStringLiteral("about"))->shortcuts().contains(QKeySequence(Qt::ALT | Qt::Key_Question)));
    screenshot(&w, QStringLiteral("main-window"));
  }

  void diskSetupCorrectionsAndCancel() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    bool seen = false;
    whenModal([&](QWidget* d) {
      seen = true;
      QCOMPARE(d->windowTitle(), QStringLiteral("Disk Setup"));
      QCOMPARE(boxText(d, "aBox"), QStringLiteral("0.82"));
      QCOMPARE(boxText(d, "pBox"), QStringLiteral("1.91"));
      typeInto(d, "particlesBox", QStringLiteral("30000"));
      QCOMPARE(boxText(d, "particlesBox"), QStringLiteral("25000"));
      QCOMPARE(boxText(d, "hBox"), QStringLiteral("0.0200"));
      QCOMPARE(d->findChild<QSlider*>(QStringLiteral("hSlider"))->maximum(), 200);
      typeInto(d, "injBox", QStringLiteral("12"));
      QCOMPARE(boxText(d, "injBox"), QStringLiteral("10"));
      typeInto(d, "particlesBox", QStringLiteral("5"));
      typeInto(d, "injBox", QStringLiteral("7"));
      QCOMPARE(boxText(d, "injBox"), QStringLiteral("5"));
      auto* m1 = d->findChild<QSlider*>(QStringLiteral("m1Slider"));
      m1->setValue(130);
      d->findChild<QSlider*>(QStringLiteral("qSlider"))->setValue(100);
      QCOMPARE(boxText(d, "m1Box"), QStringLiteral("1.300"));
      QCOMPARE(boxText(d, "m2Box"), QStringLiteral("1.300"));
      screenshot(d, QStringLiteral("disk-setup"));
      clickButton(d, "cancelButton");
    });
    w.newDisk();
    QVERIFY(seen);
    QCOMPARE(w.sim().CANCELLED, 1);
    QCOMPARE(w.sim().IORBIT, 0);
  }

  void runWithPauseDragAndQuit() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    GLView* view = w.view();
    const int stripY = view->height() - 5;
    I32 vw = 0, vh = 0;
    view->drawingArea(vw, vh);
    const int pauseX = static_cast<int>((vw / 13.66 + 2 * vw / 13.75) / 2);

    whenModal([&](QWidget* d) {
      typeInto(d, "orbitsBox", QStringLiteral("1"));
      typeInto(d, "particlesBox", QStringLiteral("200"));
      clickButton(d, "runButton");
      // Phase 1 takes the PAUSE click.
      QTimer::singleShot(0, [&] {
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(pauseX, stripY));
        QTimer::singleShot(150, [&] {
          // While paused, a left drag down turns the view about x, 2 degrees per message; the
          // three moves come before the loop takes its next message, so they reach it as one.
          QTest::mousePress(view, Qt::LeftButton, {}, QPoint(300, 300));
          for (int y : {310, 320, 330}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(300, y), view->mapToGlobal(QPointF(300, y)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view, &move);
          }
          QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(300, 330));
          QTimer::singleShot(150, [&] {
            screenshot(view, QStringLiteral("run-paused"));
            checkStrip(view);
            QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(pauseX, stripY));  // CONT.
            QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(5, stripY));       // QUIT
          });
        });
      });
    });
    w.newDisk();
    screenshot(view, QStringLiteral("run-stopped"));
    QCOMPARE(w.sim().IORBIT, 0);
    // Stopped in the phase after the one that paused and resumed, early in the orbit.
    QVERIFY(w.sim().IPHASE >= 2 && w.sim().IPHASE < 200);
    QCOMPARE(w.sim().XANGLE, 2);
    QVERIFY(w.windowTitle().contains(QStringLiteral("X-Angle:     2")));
    QVERIFY(!w.busy());
  }

  void progressDisplayWhenNotShown() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.action(QStringLiteral("showSimulation"))->trigger();
    whenModal([&](QWidget* d) {
      typeInto(d, "orbitsBox", QStringLiteral("1"));
      typeInto(d, "particlesBox", QStringLiteral("50"));
      clickButton(d, "runButton");
    });
    w.newDisk();
    QCOMPARE(w.sim().IORBIT, 1);
    // The last display of the run: 100 percent, which needs six characters, shows asterisks.
    const QImage shot = w.view()->grabFramebuffer();
    screenshot(&w, QStringLiteral("progress"));
    bool white = false;
    for (int y = 0; y < shot.height() && !white; ++y)
      for (int x = 0; x < shot.width() && !white; ++x) white = shot.pixelColor(x, y) == QColor(Qt::white);
    QVERIFY(white);
  }

  void closingDuringARunStopsIt() {
    auto* w = new MainWindow;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    whenModal([&](QWidget* d) {
      typeInto(d, "orbitsBox", QStringLiteral("50"));
      clickButton(d, "runButton");
      QTimer::singleShot(100, [&] { w->close(); });
    });
    w->newDisk();
    QVERIFY(w->sim().IORBIT < 50);
    QVERIFY(!w->isVisible());
    delete w;
  }

  void lightCurveRangeCorrections() {
    QTemporaryDir dir;
    ScriptedFiles files;
    files.answers << writeLightCurve(QDir(dir.path()), QStringLiteral("demo_lc.vlm"), 10050);
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    bool seen = false;
    whenModal([&](QWidget* d) {
      seen = true;
      QCOMPARE(d->windowTitle(), QStringLiteral("Light Curve Plot Control"));
      QCOMPARE(boxText(d, "fileBox"), QStringLiteral("demo_lc.vlm"));
      QCOMPARE(boxText(d, "orbitsRecordedBox"), QStringLiteral("50"));
      QCOMPARE(boxText(d, "firstBox"), QStringLiteral("1"));
      QCOMPARE(boxText(d, "lastBox"), QStringLiteral("50"));
      setBox(d, "firstBox", QStringLiteral("0"));
      QCOMPARE(boxText(d, "firstBox"), QStringLiteral("1"));
      setBox(d, "lastBox", QStringLiteral("60"));
      QCOMPARE(boxText(d, "lastBox"), QStringLiteral("50"));
      setBox(d, "lastBox", QStringLiteral("40"));
      setBox(d, "firstBox", QStringLiteral("45"));
      QCOMPARE(boxText(d, "firstBox"), QStringLiteral("40"));  // above the last: the last's number
      setBox(d, "firstBox", QStringLiteral("30"));
      setBox(d, "lastBox", QStringLiteral("20"));
      QCOMPARE(boxText(d, "lastBox"), QStringLiteral("20"));
      screenshot(d, QStringLiteral("light-curve-dialog"));
      clickButton(d, "okButton");
    });
    w.openLightCurve();
    QVERIFY(seen);
    QCOMPARE(w.view()->content(), GLView::Content::LightCurve);
    QCOMPARE(w.view()->lightCurveFirst(), 30);
    QCOMPARE(w.view()->lightCurveLast(), 30);
    QCOMPARE(w.windowTitle(), QStringLiteral(" Velmora - Current File Name:  demo_lc "));
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).canonicalPath());
    // The repaint draws the plot and writes the peaks beside the light curve.
    screenshot(&w, QStringLiteral("light-curve-plot"));
    QVERIFY(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("fftpeaks.txt"))));
    QVERIFY(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("stdev.txt"))));
  }

  void lightCurveTooShortIsRefused() {
    QTemporaryDir dir;
    ScriptedFiles files;
    files.answers << writeLightCurve(QDir(dir.path()), QStringLiteral("short_lc.vlm"), 150);
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QString text;
    whenModal([&](QWidget* box) {
      if (auto* mb = qobject_cast<QMessageBox*>(box)) text = mb->text();
      box->close();
    });
    w.openLightCurve();
    QVERIFY2(text.contains(QStringLiteral("less than one orbit")), qPrintable(text));
    QCOMPARE(w.view()->content(), GLView::Content::Title);
  }

  void cancelledOpenShowsNothing() {
    ScriptedFiles files;  // no answer: a plain cancel
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.openLightCurve();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    files.error = FNERR_BUFFERTOOSMALL;  // a path longer than the file buffer
    QString text, caption;
    whenModal([&](QWidget* box) {
      if (auto* mb = qobject_cast<QMessageBox*>(box)) {
        text = mb->text();
        caption = mb->windowTitle();
      }
      box->close();
    });
    w.openLightCurve();
    QCOMPARE(caption, QStringLiteral("Cannot Open This Dialog"));
    QVERIFY(text.startsWith(QStringLiteral("The buffer for a filename is too small.")));
  }

  void playRecordingToItsEnd() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    makeRun("demo", 1, true, false);
    ScriptedFiles files;
    files.answers << QDir(dir.path()).filePath(QStringLiteral("demo.vlm"));
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.action(QStringLiteral("loopPlayback"))->trigger();  // play once
    QTimer::singleShot(600, [&] { screenshot(&w, QStringLiteral("playback")); });
    w.openRecorded();
    QCOMPARE(w.sim().NORBTOT, 1);
    QCOMPARE(w.sim().FRAMESTEP, 7);
    QVERIFY(w.windowTitle().startsWith(QStringLiteral(" Velmora   Current File Name:  demo")));
    QVERIFY(!w.busy());
    screenshot(&w, QStringLiteral("after-playback"));
  }

  void exportMovieAndCancel() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    makeRun("clip", 1, true, false);  // 29 frames
    const QDir d(dir.path());
    ScriptedFiles files;
    files.answers << d.filePath(QStringLiteral("clip.vlm")) << d.filePath(QStringLiteral("clip.mp4"))
                  << d.filePath(QStringLiteral("clip.vlm")) << d.filePath(QStringLiteral("again.mp4"));
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // A whole export: every frame at the drawing area's size (even), told in a message box.
    QString told;
    whenModalIs<QMessageBox>([&](QMessageBox* box) {
      told = box->text();
      box->accept();
    });
    w.action(QStringLiteral("exportMovie"))->trigger();
    QVERIFY2(told.contains(QStringLiteral("29 frames")), qPrintable(told));
    const QString size = QStringLiteral("%1,%2").arg(w.view()->width() & ~1).arg(w.view()->height() & ~1);
    QCOMPARE(probeMovie(d.filePath(QStringLiteral("clip.mp4"))), size + QStringLiteral(",29"));

    // Cancelled after the first frames: nothing under the chosen name, no temporary file.
    whenModalIs<QProgressDialog>(
        [&](QProgressDialog* p) {
          screenshot(p, QStringLiteral("movie-progress"));
          auto* cancel = p->findChild<QPushButton*>();
          QVERIFY(cancel);
          QTest::mouseClick(cancel, Qt::LeftButton);
        },
        [](QProgressDialog* p) { return p->value() >= 2; });
    w.action(QStringLiteral("exportMovie"))->trigger();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QStringList left = d.entryList(QDir::Files);
    QCOMPARE(left, QStringList({QStringLiteral("clip.mp4"), QStringLiteral("clip.vlm")}));
  }

  void restartFromTheDialog() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    makeRun("first", 1, false, true);
    ScriptedFiles files;
    files.answers << QDir(dir.path()).filePath(QStringLiteral("first_rs.vlm"))
                  << QDir(dir.path()).filePath(QStringLiteral("cont.vlm"));
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    bool seen = false;
    whenModal([&](QWidget* d) {
      seen = true;
      QCOMPARE(d->windowTitle(), QStringLiteral("Restart Control"));
      QCOMPARE(boxText(d, "orbitsBox"), QStringLiteral("1"));
      QTest::mouseClick(d->findChild<QCheckBox*>(QStringLiteral("lcCheck")), Qt::LeftButton);
      d->findChild<QSlider*>(QStringLiteral("resSlider"))->setValue(6);
      screenshot(d, QStringLiteral("restart-control"));
      clickButton(d, "okButton");
    });
    w.openRestart();
    QVERIFY(seen);
    QCOMPARE(w.sim().ORB0, 1);
    QCOMPARE(w.sim().IORBIT, 2);
    QCOMPARE(w.sim().FRAMESTEP, 6);
    QCOMPARE(w.windowTitle(), QStringLiteral(" Velmora - Current File Name:  cont "));
    QVERIFY(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("cont_lc.vlm"))));
    screenshot(&w, QStringLiteral("after-restart"));
  }

  void restartCancelled() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    makeRun("second", 1, false, true);
    ScriptedFiles files;
    files.answers << QDir(dir.path()).filePath(QStringLiteral("second_rs.vlm"));
    MainWindow w(&files);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    whenModal([&](QWidget* d) { clickButton(d, "cancelButton"); });
    w.openRestart();
    QCOMPARE(w.sim().CANCELLED, 1);
    QCOMPARE(w.sim().IORBIT, 0);
  }

  // ---- Through the X server, as a person's mouse and keys ----

  // The sequence a new user meets first, in a fresh window each time: File > New Disk by keys,
  // the counts typed, Return, and the first click of the run on QUIT.
  void xRunStoppedByQuitFirst() {
    const int tries = 3;
    QStringList missed;
    for (int t = 1; t <= tries; ++t) {
      MainWindow w;
      const Window xw(&w);
      showOnScreen(w, xw);
      if (QTest::currentTestFailed()) return;
      const StripClicks strip{xw, w.view(), QStringLiteral("quit-first-%1-").arg(t)};
      I32 phaseAtClick = 0;
      Steps s;
      startRunByKeys(s, xw, QStringLiteral("5"), QStringLiteral("100"));
      s.when(QStringLiteral("the run going"), runGoing(w), [&] {
         phaseAtClick = w.sim().IPHASE;
         strip.click(QUIT_BUTTON, QStringLiteral("quit"));
       }).when(QStringLiteral("the run stopped"), [&w] { return !w.busy(); }, strip.shotAfter(QStringLiteral("quit")), 8000);
      endAfterFailure(s, w, xw, strip.prefix);
      s.start();
      QTRY_VERIFY_WITH_TIMEOUT(s.finished(), 60000);
      QCOMPARE(w.sim().NORBEND, 5);  // the typed counts were taken
      QCOMPARE(w.sim().NPMAX, 100);
      if (!s.failure().isEmpty() || w.sim().IORBIT >= w.sim().NORBEND)
        missed << QStringLiteral("try %1: %2 (clicked at phase %3, the run ended at orbit %4 phase %5)")
                      .arg(t)
                      .arg(s.failure().isEmpty() ? QStringLiteral("the run went on to its end") : s.failure())
                      .arg(phaseAtClick)
                      .arg(w.sim().IORBIT)
                      .arg(w.sim().IPHASE);
    }
    QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("%1 of %2 QUIT clicks not taken:\n").arg(missed.size()).arg(tries) +
                                          missed.join(QLatin1Char('\n'))));
  }

  // A live run paused, turned about both axes by dragging, continued and stopped.
  void xRunPauseTurnContinueQuit() {
    MainWindow w;
    const Window xw(&w);
    showOnScreen(w, xw);
    if (QTest::currentTestFailed()) return;
    GLView* view = w.view();
    const StripClicks strip{xw, view, QStringLiteral("run-")};
    I32 phaseAtContinue = 0;
    Steps s;
    startRunByKeys(s, xw, QStringLiteral("5"), QStringLiteral("100"));
    s.when(QStringLiteral("the run going"), runGoing(w), [&] { strip.click(PAUSE_BUTTON, QStringLiteral("pause")); })
        .when(QStringLiteral("the run paused"), stillFor(w, 500, [&w] { return static_cast<size_t>(w.sim().IPHASE); }),
              strip.shotAfter(QStringLiteral("pause")));
    dragAcross(s, xw, view, 1);
    s.when(QStringLiteral("turned about x"), [&w] { return w.sim().XANGLE != 0; });
    dragAcross(s, xw, view, 3);
    s.when(QStringLiteral("turned about y"), [&w] { return w.sim().YANGLE != 0; }, [&] {
       phaseAtContinue = w.sim().IPHASE;
       strip.click(PAUSE_BUTTON, QStringLiteral("continue"));
     })
        .when(QStringLiteral("the run going again"), [&] { return w.sim().IPHASE != phaseAtContinue; }, [&] {
          strip.shotAfter(QStringLiteral("continue"))();
          strip.click(QUIT_BUTTON, QStringLiteral("quit"));
        })
        .when(QStringLiteral("the run stopped"), [&w] { return !w.busy(); }, strip.shotAfter(QStringLiteral("quit")), 8000);
    endAfterFailure(s, w, xw, strip.prefix);
    s.start();
    QTRY_VERIFY_WITH_TIMEOUT(s.finished(), 60000);
    QVERIFY2(s.failure().isEmpty(), qPrintable(s.failure()));
    QVERIFY(w.sim().IORBIT < w.sim().NORBEND);
    // Down turns about x and right about y, 2 degrees per move the loop took.
    QVERIFY2(w.sim().XANGLE > 0 && w.sim().XANGLE % 2 == 0, qPrintable(QString::number(w.sim().XANGLE)));
    QVERIFY2(w.sim().YANGLE > 0 && w.sim().YANGLE % 2 == 0, qPrintable(QString::number(w.sim().YANGLE)));
    QCOMPARE(titleXAngle(w.windowTitle()), w.sim().XANGLE);
    QCOMPARE(titleXAngle(xw.title()), w.sim().XANGLE);  // the title the server shows
  }

  // A playback paused, turned by dragging and stopped; opened by keys (Alt+F, O).
  void xPlaybackPauseTurnQuit() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    makeRun("xplay", 1, true, false);
    ScriptedFiles files;
    files.answers << QDir(dir.path()).filePath(QStringLiteral("xplay.vlm"));
    MainWindow w(&files);
    const Window xw(&w);
    showOnScreen(w, xw);
    if (QTest::currentTestFailed()) return;
    GLView* view = w.view();
    const StripClicks strip{xw, view, QStringLiteral("playback-")};
    auto picture = [view] {
      const QImage shot = view->grabFramebuffer();
      return static_cast<size_t>(qHashBits(shot.constBits(), static_cast<size_t>(shot.sizeInBytes())));
    };
    Steps s;
    s.then(QStringLiteral("focus on the window"), [&xw] { xw.focus(); })
        .then(QStringLiteral("Alt+F"), [] { Window::keys({QStringLiteral("alt+f")}); })
        .when(QStringLiteral("the File menu open"), fileMenuOpen, [] { Window::keys({QStringLiteral("o")}); })
        .when(QStringLiteral("the playback going"), [&w] { return w.busy(); })
        .wait(300)
        .then(QStringLiteral("PAUSE"), [&] { strip.click(PAUSE_BUTTON, QStringLiteral("pause")); })
        .when(QStringLiteral("the playback paused"), stillFor(w, 500, picture), strip.shotAfter(QStringLiteral("pause")));
    dragAcross(s, xw, view, 1);
    s.when(QStringLiteral("turned about x"), [&w] { return titleXAngle(w.windowTitle()) != 0; },
           [&] { strip.click(QUIT_BUTTON, QStringLiteral("quit")); })
        .when(QStringLiteral("the playback stopped"), [&w] { return !w.busy(); }, strip.shotAfter(QStringLiteral("quit")), 8000);
    endAfterFailure(s, w, xw, strip.prefix);
    s.start();
    QTRY_VERIFY_WITH_TIMEOUT(s.finished(), 60000);
    QVERIFY2(s.failure().isEmpty(), qPrintable(s.failure()));
    const int xa = titleXAngle(w.windowTitle());
    QVERIFY2(xa > 0 && xa % 2 == 0, qPrintable(w.windowTitle()));
    QVERIFY(w.windowTitle().startsWith(QStringLiteral(" Velmora   Current File Name:  xplay")));
  }

  void helpAndAbout() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.helpContents();
    QVERIFY(w.helpWindow() && w.helpWindow()->isVisible());
    QVERIFY(w.helpWindow()->browser()->toPlainText().contains(QStringLiteral("Setting up a disk")));
    w.helpSearch();
    QVERIFY(w.helpWindow()->findBox()->hasFocus() || w.helpWindow()->isVisible());
    screenshot(w.helpWindow(), QStringLiteral("help"));

    w.setHelpFile(QStringLiteral("/nonexistent/Velmora Help.hlp"));
    QString text;
    whenModal([&](QWidget* box) {
      if (auto* mb = qobject_cast<QMessageBox*>(box)) {
        text = mb->text();
        mb->accept();
      }
    });
    w.helpContents();
    QCOMPARE(text, QStringLiteral("Unable to activate help"));

    QString version;
    whenModal([&](QWidget* box) {
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("version"))) version = label->text();
      screenshot(box, QStringLiteral("about"));
      box->close();
    });
    w.about();
    QCOMPARE(version, QStringLiteral("Version: " VELMORA_VERSION));
  }
};

QTEST_MAIN(ShellTest)
#include "test_shell.moc"
