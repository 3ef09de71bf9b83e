// The observations of a run as it goes (`--observe`): the light of every particle kept by the
// energy passes, observed at the end of every phase from a chosen orbit on, and written whole
// to NAME_obs.fits at every restart point and when the run ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "analysis/observe.h"
#include "core/state.h"

namespace velmora {

class RunObserver : public PhaseWatcher {
 public:
  // `fromOrbit`: the orbit of this run (1 = its first) from which the phases are observed.
  RunObserver(const ObserveSettings& s, std::string path, long long fromOrbit);
  // Watches the run of S (call before the run starts; REINIT leaves it in place).
  void attach(Sim& S);
  void phaseDone(Sim& S) override;
  void restartPoint(Sim& S, RunHost& H) override;
  // Writes the file once the run has ended. Empty on success (or when nothing was observed
  // yet, which writes nothing), else what went wrong.
  std::string finish();
  const std::string& path() const { return path_; }
  int phasesObserved() const;

 private:
  ObserveSettings settings_;
  std::string path_;
  long long fromOrbit_;
  std::optional<Observer> observer_;
};

}  // namespace velmora
