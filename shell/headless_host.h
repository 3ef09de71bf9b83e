// The host of a run without a window: progress on the terminal, Ctrl-C as a click on QUIT.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/state.h"

namespace velmora {

class HeadlessHost : public RunHost {
 public:
  enum class Output { Bar, Lines, Quiet };

  // Output::Bar when standard error is a terminal, plain lines otherwise, unless quiet.
  static Output chooseOutput(bool quiet);

  HeadlessHost(const Sim& S, Output out);
  ~HeadlessHost() override;

  std::optional<MouseMsg> takeMessage() override;
  void setTitle(const std::string& title) override;
  void sleepMs(int ms) override;
  void show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) override;
  void progress(I32 IPHASE, I32 IORBIT) override;
  void viewSize(I32& VIEWW, I32& VIEWH) const override;
  void warn(const std::string& message) override;

  // Called once an orbit has ended (its light curve and restart file written), before the next
  // phase is reported.
  std::function<void()> orbitEnded;

  bool stoppedByUser() const { return stopSent_; }
  double elapsedSeconds() const;
  // Ends the progress bar's line.
  void finish();

 protected:
  // Whether the run should stop now, as a click on QUIT stops it: by default a Ctrl-C that the
  // stop handler caught. A host that learns of a stop another way overrides it.
  virtual bool stopWanted();

 private:
  void report(bool force);
  void noteOrbit();

  const Sim& S_;
  Output out_;
  bool stopSent_ = false;
  bool barShown_ = false;
  I32 lastOrbitReported_ = -1;
  I32 orbitSeen_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

// Catches SIGINT for the duration of a run; a second Ctrl-C ends the program at once.
void installStopHandler();
bool stopRequested();

}  // namespace velmora
