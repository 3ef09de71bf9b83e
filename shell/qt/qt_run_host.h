// The run host of the desktop program: mouse messages of the drawing area reach the step
// loop one at a time, every other input given during a run or playback is swallowed, and a
// close request of the window stops the loop as a click on QUIT would.
#pragma once

#include <QObject>
#include <QStringList>
#include <deque>
#include <optional>

#include "core/state.h"

class QMainWindow;

namespace velmora {

class GLView;

class QtRunHost : public QObject, public RunHost {
  Q_OBJECT

 public:
  QtRunHost(QMainWindow* window, GLView* view, const Sim& S);
  ~QtRunHost() override;

  // Between begin() and end() the host filters the application's input.
  void begin();
  void end();
  bool active() const { return active_; }

  std::optional<MouseMsg> takeMessage() override;
  void setTitle(const std::string& title) override;
  void sleepMs(int ms) override;
  void show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) override;
  void progress(I32 IPHASE, I32 IORBIT) override;
  void viewSize(I32& VIEWW, I32& VIEWH) const override;
  void warn(const std::string& message) override;

  // The window was asked to close during the loop: the next message is a click on QUIT.
  bool closeRequested() const { return closeRequested_; }
  // Warnings collected during the loop (shown once it has ended).
  QStringList takeWarnings();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void queueMessage(const MouseMsg& m);
  int areaTop() const;

  QMainWindow* window_;
  GLView* view_;
  std::deque<MouseMsg> queue_;
  std::optional<MouseMsg> lastQueued_;  // the last mouse message queued
  QStringList warnings_;
  bool active_ = false;
  bool closeRequested_ = false;
  bool stopSent_ = false;
  const Sim& S_;
};

}  // namespace velmora
