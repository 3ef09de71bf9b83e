// Reading and writing the start-up scene file.
#include "display/start_scene.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "io/binary.h"

namespace velmora {

namespace {
constexpr long OUTLINEBYTES = 8L * NLOBE + 8L * NWDPTS;  // 808 + 488
}

bool readStartScene(const std::string& path, StartScene& scene, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "\"" + path + "\": no such file";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "\"" + path + "\": cannot be opened";
    return false;
  }
  std::vector<unsigned char> bytes;
  unsigned char buf[65536];
  std::size_t got = 0;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
    bytes.insert(bytes.end(), buf, buf + got);
    if (bytes.size() > static_cast<std::size_t>(4 + 20L * MAXPART + OUTLINEBYTES)) break;
  }
  std::fclose(f);

  if (bytes.size() < 4) {
    error = "\"" + path + "\": too short for the particle count at byte 0";
    return false;
  }
  const I32 n = getI32(bytes.data());
  if (n < 0 || n > MAXPART) {
    error = "\"" + path + "\": particle count " + std::to_string(n) + " at byte 0 is outside 0..25000";
    return false;
  }
  const std::size_t need = 4u + 20u * static_cast<std::size_t>(n) + static_cast<std::size_t>(OUTLINEBYTES);
  if (bytes.size() < need) {
    error = "\"" + path + "\": " + std::to_string(bytes.size()) + " bytes, expected " + std::to_string(need) +
            " for " + std::to_string(n) + " particles and the two outlines";
    return false;
  }
  if (bytes.size() > need) {
    error = "\"" + path + "\": unexpected bytes after the scene at byte " + std::to_string(need);
    return false;
  }

  StartScene s;
  s.N = n;
  const auto un = static_cast<std::size_t>(n);
  s.X.resize(un), s.Y.resize(un), s.Z.resize(un), s.RHO.resize(un), s.TEMP4.resize(un);
  const unsigned char* p = bytes.data() + 4;
  for (std::size_t i = 0; i < un; ++i, p += 20) {
    s.X[i] = getF32(p);
    s.Y[i] = getF32(p + 4);
    s.Z[i] = getF32(p + 8);
    s.RHO[i] = getF32(p + 12);
    s.TEMP4[i] = getF32(p + 16);
  }
  for (int i = 1; i <= NLOBE; ++i, p += 8) {
    s.LOBX(i) = getF32(p);
    s.LOBY(i) = getF32(p + 4);
  }
  for (int j = 1; j <= NWDPTS; ++j, p += 8) {
    s.WDX(j) = getF32(p);
    s.WDY(j) = getF32(p + 4);
  }
  scene = std::move(s);
  return true;
}

bool writeStartScene(const std::string& path, const StartScene& s, std::string& error) {
  if (s.N < 0 || s.N > MAXPART || s.X.size() < static_cast<std::size_t>(s.N) ||
      s.Y.size() < static_cast<std::size_t>(s.N) || s.Z.size() < static_cast<std::size_t>(s.N) ||
      s.RHO.size() < static_cast<std::size_t>(s.N) || s.TEMP4.size() < static_cast<std::size_t>(s.N)) {
    error = "scene of " + std::to_string(s.N) + " particles is not complete";
    return false;
  }
  LEBuffer b;
  b.putI32(s.N);
  for (std::size_t i = 0; i < static_cast<std::size_t>(s.N); ++i) {
    b.putF32(s.X[i]);
    b.putF32(s.Y[i]);
    b.putF32(s.Z[i]);
    b.putF32(s.RHO[i]);
    b.putF32(s.TEMP4[i]);
  }
  for (int i = 1; i <= NLOBE; ++i) {
    b.putF32(s.LOBX(i));
    b.putF32(s.LOBY(i));
  }
  for (int j = 1; j <= NWDPTS; ++j) {
    b.putF32(s.WDX(j));
    b.putF32(s.WDY(j));
  }
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    error = "\"" + path + "\": cannot be created";
    return false;
  }
  const auto& bytes = b.bytes();
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    std::remove(tmp.c_str());
    error = "\"" + path + "\": cannot be written";
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    error = "\"" + path + "\": cannot be written (" + ec.message() + ")";
    return false;
  }
  return true;
}

}  // namespace velmora
