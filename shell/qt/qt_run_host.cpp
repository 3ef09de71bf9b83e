// Qt run host: a filter on the application's events while a run or playback is in progress.
#include "shell/qt/qt_run_host.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QThread>
#include <QWindow>

#include "shell/qt/gl_view.h"

namespace velmora {
namespace {

bool isUserInput(QEvent::Type t) {
  switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::NonClientAreaMouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

bool isPointer(QEvent::Type t) {
  return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease || t == QEvent::MouseButtonDblClick ||
         t == QEvent::MouseMove;
}

// Mouse positions in logical pixels, the units of the drawing area the hit areas are measured
// in (RunHost::viewSize), from the top of the drawing area (top: its place in the widget); on a
// scaled screen Qt gives them with fractions, rounded here.
std::optional<MouseMsg> toMessage(const QMouseEvent* e, int top) {
  const QPoint p = e->position().toPoint() - QPoint(0, top);
  // Qt gives the second press of a quick pair as a double click in place of a press; the loop
  // takes it as the press it is, so a person's second click (CONT. right after PAUSE) is not lost.
  const bool press = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick;
  if (press && e->button() == Qt::LeftButton) return MouseMsg{MouseMsg::LeftDown, p.x(), p.y()};
  if (press && e->button() == Qt::RightButton) return MouseMsg{MouseMsg::RightDown, p.x(), p.y()};
  switch (e->type()) {
    case QEvent::MouseButtonRelease:
      if (e->button() == Qt::LeftButton) return MouseMsg{MouseMsg::LeftUp, p.x(), p.y()};
      if (e->button() == Qt::RightButton) return MouseMsg{MouseMsg::RightUp, p.x(), p.y()};
      return std::nullopt;
    case QEvent::MouseMove: return MouseMsg{MouseMsg::Move, p.x(), p.y()};
    default: return std::nullopt;
  }
}

}  // namespace

QtRunHost::QtRunHost(QMainWindow* window, GLView* view, const Sim& S) : window_(window), view_(view), S_(S) {}

QtRunHost::~QtRunHost() { end(); }

void QtRunHost::begin() {
  if (active_) return;
  queue_.clear();
  lastQueued_.reset();
  closeRequested_ = false;
  stopSent_ = false;
  active_ = true;
  view_->setLoopActive(true);
  view_->setMouseTracking(true);
  QCoreApplication::instance()->installEventFilter(this);
}

void QtRunHost::end() {
  if (!active_) return;
  active_ = false;
  view_->setLoopActive(false);
  view_->setMouseTracking(false);
  QCoreApplication::instance()->removeEventFilter(this);
  queue_.clear();
}

bool QtRunHost::eventFilter(QObject* watched, QEvent* event) {
  if (!active_) return false;
  if (event->type() == QEvent::Close && watched == window_) {
    closeRequested_ = true;
    event->ignore();
    return true;
  }
  if (!isUserInput(event->type())) return false;
  // The window system hands a pointer event to the main window's QWindow, and Qt passes it on
  // from there to the widget under the pointer (or the one that took the press): that passing
  // on is let through, so the event comes back here addressed to the drawing area or to another
  // widget of the window. Events sent straight to a widget skip the first step.
  if (isPointer(event->type()) && watched == window_->windowHandle()) return false;
  if (watched == view_ && isPointer(event->type()))
    if (auto m = toMessage(static_cast<QMouseEvent*>(event), areaTop())) queueMessage(*m);
  return true;  // all other input is consumed and lost while the loop runs
}

// The window system reports the pointer's moves far more often than the loop takes messages
// (one a phase while a run advances), so a move replaces a move still waiting at the back of
// the queue, as a window system does that reports only the newest position: a click never waits
// behind a train of moves, and the queue stays short whatever the pointer does.
void QtRunHost::queueMessage(const MouseMsg& m) {
  if (m.kind == MouseMsg::Move) {
    if (!queue_.empty() && queue_.back().kind == MouseMsg::Move) {
      queue_.back() = m;
      lastQueued_ = m;
      return;
    }
    // On a scaled screen the pointer moves by fractions of a logical pixel; a move that lands
    // on the position of the move just before it changes nothing in the loop.
    if (lastQueued_ && lastQueued_->kind == MouseMsg::Move && lastQueued_->x == m.x && lastQueued_->y == m.y) return;
  }
  queue_.push_back(m);
  lastQueued_ = m;
}

// The drawing area lies at the bottom of the widget (OpenGL's origin is its bottom left corner);
// its top, in the widget's logical pixels, is where the loop's mouse y counts from, so the hit
// areas of the strip fall on the strip as drawn whatever the widget's height.
int QtRunHost::areaTop() const {
  I32 w = 0, h = 0;
  view_->drawingArea(w, h);
  return view_->height() - h;
}

std::optional<MouseMsg> QtRunHost::takeMessage() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (closeRequested_ && !stopSent_) {
    stopSent_ = true;
    I32 w = 0, h = 0;
    viewSize(w, h);
    return MouseMsg{MouseMsg::LeftDown, 0, h - 1};  // the QUIT area
  }
  if (queue_.empty()) return std::nullopt;
  const MouseMsg m = queue_.front();
  queue_.pop_front();
  return m;
}

void QtRunHost::setTitle(const std::string& title) { window_->setWindowTitle(QString::fromStdString(title)); }

void QtRunHost::sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms > 0 ? ms : 0)); }

void QtRunHost::show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) {
  view_->showLive(S, NSTEPS, XANGLE, YANGLE, paused);
}

void QtRunHost::progress(I32 IPHASE, I32 IORBIT) { view_->showProgress(S_, IPHASE, IORBIT); }

void QtRunHost::viewSize(I32& VIEWW, I32& VIEWH) const { view_->drawingArea(VIEWW, VIEWH); }

void QtRunHost::warn(const std::string& message) { warnings_ << QString::fromStdString(message); }

QStringList QtRunHost::takeWarnings() {
  QStringList w = warnings_;
  warnings_.clear();
  return w;
}

}  // namespace velmora
