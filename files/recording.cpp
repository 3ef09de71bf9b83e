// Recorded-run reader: frame sizes from each frame's own particle count, checked as read.
#include "files/recording.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "io/binary.h"

namespace velmora {

long long playbackFrameTotal(I32 NORBTOT, I32 FRAMESTEP, I32 RECSTART) {
  const long long orbits = NORBTOT, step = FRAMESTEP, start = RECSTART;
  if (step <= 0) return 0;
  if (step == 1) return 200 * (orbits - start) + 200;
  if (start == 1) return (200 / step) * orbits + 1;
  return (200 / step) * (orbits - start + 1);
}

RecordingReader::RecordingReader(const std::string& path) : name_(path) {
  auto f = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!f->is_open()) throw FileError(path, std::string("cannot open: ") + std::strerror(errno));
  in_ = std::move(f);
  readFirstHeader();
}

RecordingReader::RecordingReader(std::unique_ptr<std::istream> in, std::string name)
    : in_(std::move(in)), name_(std::move(name)) {
  readFirstHeader();
}

void RecordingReader::fail(std::uint64_t at, const std::string& problem) const {
  throw FileError::atFrame(name_, frames_ + 1, at, problem);
}

bool RecordingReader::fill(std::uint64_t at, std::size_t n, const char* what, bool endAllowed) {
  buf_.resize(n);
  in_->read(reinterpret_cast<char*>(buf_.data()), static_cast<std::streamsize>(n));
  const auto got = static_cast<std::size_t>(in_->gcount());
  if (got == n) return true;
  if (in_->bad()) fail(at, "the file cannot be read");
  if (got == 0 && endAllowed) return false;
  if (got == 0 && at == 0) fail(at, "the file is empty: expected the first frame's header of 36 bytes");
  fail(at + got, std::string("the file ends inside the frame's ") + what + ": expected " + std::to_string(n) +
                          " bytes, " + std::to_string(got) + " present");
}

// The first header, checked before playback decides how many frames to show.
void RecordingReader::readFirstHeader() {
  fill(0, FIRST_FRAME_HEADER, "header", false);
  const unsigned char* b = buf_.data();
  NORBTOT_ = getI32(b + 4);
  FRAMESTEP_ = getI32(b + 28);
  RECSTART_ = getI32(b + 32);
  if (NORBTOT_ < 1) fail(4, "NORBTOT is " + std::to_string(NORBTOT_) + ", expected the run's orbit count (1 or more)");
  if (FRAMESTEP_ < 1 || FRAMESTEP_ > 7)
    fail(28, "FRAMESTEP is " + std::to_string(FRAMESTEP_) + ", expected a frame interval of 1 to 7 phases");
  if (RECSTART_ < 1 || RECSTART_ > NORBTOT_)
    fail(32, "RECSTART is " + std::to_string(RECSTART_) + ", expected an orbit of the run (1 to " +
                 std::to_string(NORBTOT_) + ")");
  rewind();
}

void RecordingReader::rewind() {
  in_->clear();
  in_->seekg(0);
  frames_ = 0;
  offset_ = 0;
}

namespace {

const char* const kParticleField[5] = {"X", "Y", "Z", "RHO", "fourth root of U"};

// What the k-th value of a frame body is, for a message.
std::string bodyValueName(std::size_t k, std::size_t n) {
  if (k < 5 * n) return "particle " + std::to_string(k / 5 + 1) + "'s " + kParticleField[k % 5];
  k -= 5 * n;
  if (k < 2u * NLOBE) return std::string("lobe outline point ") + std::to_string(k / 2 + 1) + (k % 2 ? " y" : " x");
  k -= 2u * NLOBE;
  return std::string("primary outline point ") + std::to_string(k / 2 + 1) + (k % 2 ? " y" : " x");
}

}  // namespace

bool RecordingReader::readHeader(RecordedFrame& fr) {
  const bool first = frames_ == 0;
  const std::uint64_t hb = first ? FIRST_FRAME_HEADER : FRAME_HEADER;
  if (!fill(offset_, hb, "header", !first)) return false;

  const unsigned char* b = buf_.data();
  const I32 n = getI32(b);
  if (n < 0 || n > MAXPART)
    fail(offset_, "the particle count N is " + std::to_string(n) + ", expected 0 to " + std::to_string(MAXPART));
  const std::size_t s = first ? 8 : 4;  // star coordinates
  fr.N = n;
  fr.XPRIM = getF32(b + s);
  fr.YPRIM = getF32(b + s + 4);
  fr.XSEC = getF32(b + s + 8);
  fr.YSEC = getF32(b + s + 12);
  for (int k = 0; k < 4; ++k)
    if (!std::isfinite(getF32(b + s + 4 * k)))
      fail(offset_ + s + 4u * static_cast<unsigned>(k), "a star coordinate is not a finite number");
  fr.IPHASE = getI32(b + s + 16);
  if (fr.IPHASE < 1 || fr.IPHASE > NPHASES)
    fail(offset_ + s + 16, "the phase is " + std::to_string(fr.IPHASE) + ", expected 1 to 200");
  return true;
}

bool RecordingReader::skip() {
  RecordedFrame fr;
  if (!readHeader(fr)) return false;
  const std::uint64_t bodyAt = offset_ + (frames_ == 0 ? FIRST_FRAME_HEADER : FRAME_HEADER);
  const std::uint64_t body = 20 * static_cast<std::uint64_t>(fr.N) + OUTLINE_BYTES;
  // The file's length, so that a frame it ends inside is reported as next() reports it.
  in_->clear();
  in_->seekg(0, std::ios::end);
  const std::streamoff end = in_->tellg();
  if (end < 0) fail(bodyAt, "the file cannot be read");
  const auto size = static_cast<std::uint64_t>(end);
  if (size < bodyAt + body) {
    const std::uint64_t got = size - bodyAt;
    fail(size, "the file ends inside the frame's particle and outline blocks: expected " + std::to_string(body) +
                   " bytes, " + std::to_string(got) + " present");
  }
  offset_ = bodyAt + body;
  in_->seekg(static_cast<std::streamoff>(offset_));
  ++frames_;
  return true;
}

void RecordingReader::seek(long long frame, std::uint64_t offset) {
  in_->clear();
  in_->seekg(static_cast<std::streamoff>(offset));
  frames_ = frame;
  offset_ = offset;
}

bool RecordingReader::next(RecordedFrame& fr) {
  if (!readHeader(fr)) return false;
  const I32 n = fr.N;
  const std::uint64_t hb = frames_ == 0 ? FIRST_FRAME_HEADER : FRAME_HEADER;
  const std::size_t np = static_cast<std::size_t>(n);
  const std::uint64_t bodyAt = offset_ + hb;
  const std::size_t body = 20 * np + OUTLINE_BYTES;
  fill(bodyAt, body, "particle and outline blocks", false);
  const unsigned char* b = buf_.data();
  for (std::size_t k = 0; k < body / 4; ++k)
    if (!std::isfinite(getF32(b + 4 * k))) fail(bodyAt + 4 * k, bodyValueName(k, np) + " is not a finite number");

  for (auto* v : {&fr.X, &fr.Y, &fr.Z, &fr.RHO, &fr.TEMP}) v->resize(np);
  for (std::size_t i = 0; i < np; ++i, b += 20) {
    fr.X[i] = getF32(b);
    fr.Y[i] = getF32(b + 4);
    fr.Z[i] = getF32(b + 8);
    fr.RHO[i] = getF32(b + 12);
    fr.TEMP[i] = getF32(b + 16);
  }
  for (std::size_t i = 0; i < NLOBE; ++i, b += 8) {
    fr.LOBEX[i] = getF32(b);
    fr.LOBEY[i] = getF32(b + 4);
  }
  for (std::size_t i = 0; i < NWDPTS; ++i, b += 8) {
    fr.WDX[i] = getF32(b);
    fr.WDY[i] = getF32(b + 4);
  }
  offset_ = bodyAt + body;
  ++frames_;
  return true;
}

}  // namespace velmora
