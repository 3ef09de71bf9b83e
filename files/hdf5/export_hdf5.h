// A recording or a restart file written out as one HDF5 file, with an XDMF file beside it that
// ParaView opens as a point cloud over time. The layout is described in the README ("Exporting
// snapshots"); readers in other tools rely on its names, so they change only with HDF5_FORMAT_VERSION.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

inline constexpr int HDF5_FORMAT_VERSION = 1;

// A request that cannot be carried out as asked (a frame range outside the recording, run
// parameters that are missing, an output that cannot be written). A damaged input file is a
// FileError instead, with the message `velmora-cli info` gives.
struct ExportError : std::runtime_error {
  enum class Kind { Usage, Failed, Stopped };
  ExportError(Kind k, const std::string& message) : std::runtime_error(message), kind(k) {}
  Kind kind;
};

// The run's parameters a recording does not hold (a restart file holds them all). Unset ones are
// taken from the run's restart file beside the recording (NAME_rs.vlm for NAME.vlm) when it exists.
struct RunParameters {
  std::optional<double> M1, M2, HSPH, ALPHA, BETA;
};

struct ExportOptions {
  // Frames first..last-1 of a recording, counted from 0 as velmora.read_recording counts them;
  // no `last`: to the end. Every `every`-th frame of the range from `first` on.
  long long first = 0;
  std::optional<long long> last;
  long long every = 1;
  RunParameters parameters;
  // Called after each frame read: frames read so far, and the frames the run was to record.
  std::function<void(long long done, long long total)> progress;
  // Asked after each frame: true stops the export (ExportError of kind Stopped, nothing left).
  std::function<bool()> stop;
};

struct ExportResult {
  bool recording = true;        // false: a restart file
  std::string h5, xmf;          // the files written
  std::vector<std::string> groups;  // the snapshot groups, in order
  long long framesRead = 0;     // frames of the recording (every one is checked)
  std::string parametersFrom;   // "restart file NAME_rs.vlm", "options", "restart file and options"
  std::vector<std::string> notes;  // warnings for the user (a mass ratio that disagrees, ...)
};

// Writes `out` (HDF5) and `out` with its suffix replaced by ".xmf", each under a temporary name
// in the same folder and renamed when whole. A damaged input throws FileError and leaves neither
// file nor a temporary behind; so does an ExportError.
ExportResult exportHdf5(const std::string& input, const std::string& out, const ExportOptions& o);

// The XDMF file's name beside an HDF5 file: the suffix (".h5", ".hdf5", ...) replaced by ".xmf".
std::string xdmfPathFor(const std::string& h5);

}  // namespace velmora
