// The observer of a run: its phases observed in turn, the FITS file replaced at restart points.
#include "analysis/fits/run_observer.h"

#include <cmath>
#include <numbers>

#include "analysis/fits/obs_fits.h"

namespace velmora {

RunObserver::RunObserver(const ObserveSettings& s, std::string path, long long fromOrbit)
    : settings_(s), path_(std::move(path)), fromOrbit_(fromOrbit) {}

void RunObserver::attach(Sim& S) {
  S.watcher = this;
  S.keepEmission = settings_.emission == EmissionKind::Dissipation;
}

int RunObserver::phasesObserved() const { return observer_ ? static_cast<int>(observer_->result().phase.size()) : 0; }

void RunObserver::phaseDone(Sim& S) {
  const double removed = S.emissionRemoved;
  S.emissionRemoved = 0.0;
  if (S.IORBIT - S.ORB0 + 1 >= fromOrbit_) {
    if (!observer_) {
      observer_.emplace(obsBinaryOf(S), settings_);
      observer_->result().firstOrbit = S.IORBIT + 1;
    }
    // The binary's angle at the end of the phase: IPHASE phases into the orbit.
    const double theta = 2.0 * std::numbers::pi * S.IPHASE / NPHASES;
    const auto c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
    observer_->addPhase(S.IORBIT + static_cast<double>(S.IPHASE) / NPHASES,
                        observedParticles(S, c, s, settings_.emission), removed);
  }
  if (S.keepEmission)
    for (int i = 1; i <= S.NPART; ++i) S.emission(i) = 0.0f;
}

void RunObserver::restartPoint(Sim&, RunHost& H) {
  if (const std::string e = finish(); !e.empty()) H.warn("the observations " + path_ + " were not written: " + e);
}

std::string RunObserver::finish() {
  if (!observer_) return {};
  return writeObservations(path_, observer_->result());
}

}  // namespace velmora
