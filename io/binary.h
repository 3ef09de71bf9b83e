// Little-endian byte buffers for the binary files, independent of the host's byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velmora {

class LEBuffer {
 public:
  void putI32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int b = 0; b < 4; ++b) bytes_.push_back(static_cast<unsigned char>((u >> (8 * b)) & 0xFFu));
  }
  void putF32(float v) {
    std::int32_t i;
    std::memcpy(&i, &v, 4);
    putI32(i);
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  void reserve(std::size_t n) { bytes_.reserve(n); }

 private:
  std::vector<unsigned char> bytes_;
};

inline std::int32_t getI32(const unsigned char* p) {
  const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(u);
}

inline float getF32(const unsigned char* p) {
  const std::int32_t i = getI32(p);
  float v;
  std::memcpy(&v, &i, 4);
  return v;
}

}  // namespace velmora
