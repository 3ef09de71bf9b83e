// How a study row that was cut off goes on: from its restart file, with its light curve and
// recording cut back to the restart file's orbit so the continued run appends one whole
// series, or from the start when its files do not fit together.
#pragma once

#include <string>

#include "core/state.h"
#include "shell/disk_setup_rules.h"
#include "shell/headless_run.h"

namespace velmora::study {

struct ResumePlan {
  enum class From { Start, Restart, Finished };
  From from = From::Start;
  I32 orbit = 0;       // the restart file's orbit (Restart, Finished)
  std::string reason;  // why an earlier attempt's files are not used (empty when there were none)
};

// The row's run files in the current folder, named after `name`. Reads them and decides:
// - Start: no restart file, or one that does not belong to the row (other parameters, an
//   orbit past the row's end, fewer particles than the row's limit: a continued run injects
//   no new gas), or a light curve or recording that does not reach the restart file's orbit;
// - Restart: the run goes on from the restart file's orbit; the light curve and recording are
//   cut back to that orbit (whole-file replacement) or removed when they start later;
// - Finished: the restart file holds the row's last orbit and the other files are complete.
// The outputs and start orbits are those of the row (`p` from its settings).
ResumePlan planResume(const std::string& name, const RunParameters& p, const OutputSettings& out);

// Puts a continuation from `plan.orbit` into the state, as the Restart Control dialog's OK
// does, with the row's own outputs: the light curve and recording keep counting from the row's
// start orbits, append to the files they already have, and keep the row's frame step. Returns
// the dialog's problem, empty when the state is ready for RESTART.
std::string prepareContinuation(Sim& S, const std::string& name, const RunParameters& p, const OutputSettings& out,
                                I32 orbit);

// Recorded frames per orbit: phase 1 and every multiple of FRAMESTEP.
long long framesPerOrbit(I32 FRAMESTEP);

// Keeps the count line and the first `samples` samples of a light-curve file; a problem when
// it holds fewer, empty on success.
std::string cutLightCurve(const std::string& path, long long samples);
// Keeps the first `frames` frames of a recording; a problem when it holds fewer.
std::string cutRecording(const std::string& path, long long frames);

}  // namespace velmora::study
