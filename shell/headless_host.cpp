// Headless run host: terminal progress and the Ctrl-C stop.
#include "shell/headless_host.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace velmora {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSigint(int) {
  g_stop = 1;
  std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program at once
}

// The window size the command line pretends to have, for the QUIT hit area.
constexpr I32 kViewW = 650, kViewH = 675;

std::string clock(double s) {
  const long t = static_cast<long>(s);
  char buf[32];
  if (t >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", t / 3600, (t / 60) % 60, t % 60);
  else std::snprintf(buf, sizeof buf, "%ld:%02ld", t / 60, t % 60);
  return buf;
}

}  // namespace

void installStopHandler() {
  g_stop = 0;
  std::signal(SIGINT, onSigint);
}

bool stopRequested() { return g_stop != 0; }

HeadlessHost::Output HeadlessHost::chooseOutput(bool quiet) {
  if (quiet) return Output::Quiet;
  return isatty(fileno(stderr)) ? Output::Bar : Output::Lines;
}

HeadlessHost::HeadlessHost(const Sim& S, Output out)
    : S_(S), out_(out), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

HeadlessHost::~HeadlessHost() { finish(); }

bool HeadlessHost::stopWanted() { return stopRequested(); }

std::optional<MouseMsg> HeadlessHost::takeMessage() {
  if (stopSent_ || !stopWanted()) return std::nullopt;
  stopSent_ = true;
  return MouseMsg{MouseMsg::LeftDown, 1, kViewH - 1};  // the QUIT area
}

void HeadlessHost::setTitle(const std::string&) {}

void HeadlessHost::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void HeadlessHost::show(const Sim&, I32, I32, I32, I32) { report(false); }

void HeadlessHost::progress(I32, I32) { report(false); }

void HeadlessHost::noteOrbit() {
  if (S_.IORBIT == orbitSeen_) return;
  const bool first = orbitSeen_ < 0;
  orbitSeen_ = S_.IORBIT;
  if (!first && orbitEnded) orbitEnded();
}

void HeadlessHost::viewSize(I32& VIEWW, I32& VIEWH) const {
  VIEWW = kViewW;
  VIEWH = kViewH;
}

void HeadlessHost::warn(const std::string& message) {
  if (barShown_) std::fputc('\n', stderr);
  barShown_ = false;
  std::fprintf(stderr, "warning: %s\n", message.c_str());
}

double HeadlessHost::elapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void HeadlessHost::report(bool force) {
  noteOrbit();
  if (out_ == Output::Quiet) return;
  const I32 done = S_.IORBIT - S_.ORB0;
  const I32 total = S_.NORBEND - S_.ORB0;
  if (out_ == Output::Lines) {
    // One line per completed orbit.
    if (S_.IPHASE != NPHASES && !force) return;
    const I32 orbit = S_.IPHASE == NPHASES ? S_.IORBIT + 1 : S_.IORBIT;
    if (orbit == lastOrbitReported_) return;
    lastOrbitReported_ = orbit;
    std::fprintf(stderr, "orbit %d/%d  particles %d  elapsed %s\n", orbit, S_.NORBEND, S_.NPART,
                 clock(elapsedSeconds()).c_str());
    std::fflush(stderr);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  const double frac = total > 0 ? (done + S_.IPHASE / 200.0) / total : 1.0;
  const int width = 24;
  const int filled = static_cast<int>(frac * width + 1e-9);
  std::string bar(static_cast<std::size_t>(filled < width ? filled : width), '#');
  bar.resize(width, '.');
  std::fprintf(stderr, "\r[%s] %5.1f%%  orbit %d/%d  phase %3d/200  particles %5d  %s ", bar.c_str(), 100.0 * frac,
               S_.IORBIT + (S_.IPHASE > 0 ? 1 : 0), S_.NORBEND, S_.IPHASE, S_.NPART, clock(elapsedSeconds()).c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void HeadlessHost::finish() {
  if (out_ == Output::Bar && barShown_) {
    report(true);
    std::fputc('\n', stderr);
    barShown_ = false;
  }
}

}  // namespace velmora
