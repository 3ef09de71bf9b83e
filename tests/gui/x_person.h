// A person at the test's own X server: pointer and keys sent through the server with xdotool
// (XTEST), so they reach the program as a real mouse's do (the top-level window first, with its
// enter, motion and focus events), and screenshots of what the X server shows.
// Steps holds what the person does, one step after another, from a timer that fires inside
// whichever event loop is running (a menu's, a dialog's, the run or playback loop's); with
// VELMORA_X_TRACE set, each step says how long it waited.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

namespace xperson {

// Runs an X tool and gives its standard output; ok tells whether it ran and exited with 0.
inline QString run(const QString& program, const QStringList& args, bool* ok = nullptr) {
  QProcess p;
  p.start(program, args);
  const bool done = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (ok) *ok = done;
  if (!done)
    qWarning("%s %s failed: %s", qPrintable(program), qPrintable(args.join(QLatin1Char(' '))),
             qPrintable(QString::fromLocal8Bit(p.readAllStandardError())));
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// A top-level window of the program as the X server has it, and the person's hands on it.
class Window {
 public:
  explicit Window(QWidget* w) : w_(w), id_(QString::number(w->winId())) {}

  const QString& id() const { return id_; }

  // Among the windows the server shows.
  bool mapped() const {
    return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral(".")})
        .split(QLatin1Char('\n'))
        .contains(id_);
  }

  // Where it is and how large, in the screen's pixels, as `xdotool getwindowgeometry` says.
  QRect geometry() const {
    std::map<QString, int> v;
    const QString out = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id_});
    for (const QString& line : out.split(QLatin1Char('\n'))) {
      const auto kv = line.split(QLatin1Char('='));
      if (kv.size() == 2) v[kv[0]] = kv[1].toInt();
    }
    return {v[QStringLiteral("X")], v[QStringLiteral("Y")], v[QStringLiteral("WIDTH")], v[QStringLiteral("HEIGHT")]};
  }

  // The title the server holds for the window.
  QString title() const {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id_}).trimmed();
  }

  // A point of `on` (a widget of the window, in its logical pixels) in the window's own pixels of
  // the screen: logical pixels times the device-pixel ratio.
  QPoint screenPoint(const QWidget* on, QPointF p) const {
    const QPointF inWindow = on->mapTo(w_, p);
    return (inWindow * w_->devicePixelRatioF()).toPoint();
  }

  // The pointer moved onto a point of `on`, relative to the window (right with or without a
  // window manager's frame around it).
  void moveTo(const QWidget* on, QPointF p) const {
    const QPoint s = screenPoint(on, p);
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), id_,
                                    QString::number(s.x()), QString::number(s.y())});
  }
  static void click(int button = 1) {
    run(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)});
  }
  static void press(int button) { run(QStringLiteral("xdotool"), {QStringLiteral("mousedown"), QString::number(button)}); }
  static void release(int button) { run(QStringLiteral("xdotool"), {QStringLiteral("mouseup"), QString::number(button)}); }

  // Keys (xdotool's names: "alt+f", "Tab", "Return"), to whichever window has the focus.
  static void keys(const QStringList& names) {
    run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20")} + names);
  }
  static void type(const QString& text) {
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
  }
  // The keyboard focus given to the window (with no window manager nobody else gives it).
  void focus() const { run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), id_}); }

  // The screen around the window (dialogs centred over it included), as the X server holds it,
  // saved as dir/name.png.
  void shot(const QString& dir, const QString& name) const {
    QDir().mkpath(dir);
    const QRect g = w_->frameGeometry().adjusted(-10, -10, 10, 10);
    w_->screen()->grabWindow(0, g.x(), g.y(), g.width(), g.height()).save(QStringLiteral("%1/%2.png").arg(dir, name));
  }
  // The whole screen, by ImageMagick's import (what else is on it shows, too).
  static void screen(const QString& dir, const QString& name) {
    QDir().mkpath(dir);
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("%1/%2.png").arg(dir, name)});
  }

 private:
  QWidget* w_;
  QString id_;
};

// What the person does, step by step: each step waits until its condition holds (or fails the
// whole when it has waited too long), then acts.
class Steps {
 public:
  using Cond = std::function<bool()>;
  using Act = std::function<void()>;

  Steps() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
  }

  Steps& when(const QString& what, Cond c, Act a = {}, int timeoutMs = 15000) {
    steps_.push_back({what, std::move(c), std::move(a), timeoutMs});
    return *this;
  }
  Steps& then(const QString& what, Act a) { return when(what, [] { return true; }, std::move(a)); }
  Steps& wait(int ms) {
    return when(QStringLiteral("wait %1 ms").arg(ms), [this, ms] { return since_.elapsed() >= ms; });
  }
  // Called once when a step fails, to end whatever loop is running.
  void onFailure(Act a) { onFailure_ = std::move(a); }

  void start() {
    since_.start();
    timer_.start();
  }
  bool finished() const { return at_ >= steps_.size() || !failure_.isEmpty(); }
  const QString& failure() const { return failure_; }
  // Milliseconds since the current step began waiting.
  qint64 waited() const { return since_.elapsed(); }

 private:
  struct Step {
    QString what;
    Cond ready;
    Act act;
    int timeoutMs;
  };

  void tick() {
    if (finished() || busy_) return;
    busy_ = true;  // a step's action may run a nested event loop
    Step& s = steps_[at_];
    if (s.ready()) {
      if (qEnvironmentVariableIsSet("VELMORA_X_TRACE")) qWarning("step %d %s after %lld ms", int(at_ + 1), qPrintable(s.what), since_.elapsed());
      ++at_;
      since_.restart();
      if (s.act) s.act();
    } else if (since_.elapsed() > s.timeoutMs) {
      failure_ = QStringLiteral("step %1 (%2) did not come about within %3 ms").arg(at_ + 1).arg(s.what).arg(s.timeoutMs);
      timer_.stop();
      if (onFailure_) onFailure_();
    }
    busy_ = false;
    if (finished()) timer_.stop();
  }

  std::vector<Step> steps_;
  size_t at_ = 0;
  QTimer timer_;
  QElapsedTimer since_;
  Act onFailure_;
  QString failure_;
  bool busy_ = false;
};

}  // namespace xperson
