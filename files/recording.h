// The recorded-run file read back frame by frame, as playback and `velmora-cli info` read it.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "io/file_error.h"

namespace velmora {

// Sizes of a frame with n particles: the first frame carries NORBTOT, FRAMESTEP and RECSTART.
inline constexpr std::uint64_t FIRST_FRAME_HEADER = 36, FRAME_HEADER = 24;
inline constexpr std::uint64_t OUTLINE_BYTES = 8u * NLOBE + 8u * NWDPTS;  // 808 + 488
inline constexpr std::uint64_t firstFrameBytes(std::uint64_t n) { return FIRST_FRAME_HEADER + 20 * n + OUTLINE_BYTES; }
inline constexpr std::uint64_t laterFrameBytes(std::uint64_t n) { return FRAME_HEADER + 20 * n + OUTLINE_BYTES; }

// The frames playback shows: from RECSTART to the end of NORBTOT orbits, a frame at phase 1
// of the first recorded orbit and at every multiple of FRAMESTEP.
long long playbackFrameTotal(I32 NORBTOT, I32 FRAMESTEP, I32 RECSTART);
// Recorded frames per orbit: phase 1 and every multiple of the frame interval.
inline long long recordedFramesPerOrbit(I32 FRAMESTEP) { return FRAMESTEP == 1 ? NPHASES : 1 + NPHASES / FRAMESTEP; }

// One frame. The particle arrays hold N entries in slot order (index 0 is particle 1).
struct RecordedFrame {
  I32 N = 0;
  float XPRIM = 0, YPRIM = 0, XSEC = 0, YSEC = 0;
  I32 IPHASE = 0;
  std::vector<float> X, Y, Z, RHO, TEMP;  // TEMP is the fourth root of the specific energy
  std::array<float, NLOBE> LOBEX{}, LOBEY{};
  std::array<float, NWDPTS> WDX{}, WDY{};
};

// Reads a recording frame by frame, checking each frame as it goes. The first frame's header
// is read and checked on opening, so the run's NORBTOT, FRAMESTEP and RECSTART are known before
// the first frame is shown. Every problem is a FileError naming the file, the frame and the
// byte offset.
class RecordingReader {
 public:
  // Opens a file; throws FileError when it cannot be opened or its first header is wrong.
  explicit RecordingReader(const std::string& path);
  // Reads from a stream; `name` names it in the messages.
  RecordingReader(std::unique_ptr<std::istream> in, std::string name);

  I32 NORBTOT() const { return NORBTOT_; }
  I32 FRAMESTEP() const { return FRAMESTEP_; }
  I32 RECSTART() const { return RECSTART_; }
  long long frameTotal() const { return playbackFrameTotal(NORBTOT_, FRAMESTEP_, RECSTART_); }

  // Reads the next frame into `frame`, reusing its storage. Returns false at the end of the
  // file when the last frame was whole; throws FileError for a damaged frame (the frame
  // counter and offset then still describe the last good frame).
  bool next(RecordedFrame& frame);
  // Passes over the next frame, its header checked as next() checks it but its particle and
  // outline values unread: returns false at the end of the file when the last frame was whole;
  // throws FileError for a damaged header or a frame the file ends inside, with next()'s message.
  bool skip();
  // Goes to frame `frame` (0: the first) at byte `offset`, a place next() or skip() reached.
  void seek(long long frame, std::uint64_t offset);
  // Frames read (or passed over) so far.
  long long frames() const { return frames_; }
  // Byte offset of the next frame.
  std::uint64_t offset() const { return offset_; }
  // Back to the first frame, as looped playback starts again.
  void rewind();

  const std::string& name() const { return name_; }

 private:
  void readFirstHeader();
  // Reads and checks the header of the frame at offset_ into `frame`; false at a clean end.
  bool readHeader(RecordedFrame& frame);
  // Reads exactly n bytes starting at byte `at`, or reports where the file ends; false at a
  // clean end before any byte when that is allowed.
  bool fill(std::uint64_t at, std::size_t n, const char* what, bool endAllowed);
  [[noreturn]] void fail(std::uint64_t at, const std::string& problem) const;

  std::unique_ptr<std::istream> in_;
  std::string name_;
  I32 NORBTOT_ = 0, FRAMESTEP_ = 0, RECSTART_ = 0;
  long long frames_ = 0;
  std::uint64_t offset_ = 0;
  std::vector<unsigned char> buf_;
};

}  // namespace velmora
