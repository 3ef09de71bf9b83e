// The start-up scene file of the title scene: N, then the body of a recorded frame
// (N particles of x, y, z, density, temperature value; the 101-point lobe outline; the 61-point
// primary outline), little-endian, no record markers. No drawing here.
#pragma once

#include <string>
#include <vector>

#include "core/state.h"

namespace velmora {

struct StartScene {
  I32 N = 0;
  std::vector<float> X, Y, Z, RHO, TEMP4;
  Arr1<float, NLOBE> LOBX, LOBY;
  Arr1<float, NWDPTS> WDX, WDY;
};

// Reads the file. On failure returns false with a message naming the file and what is wrong
// (missing, too short, a particle count outside 0..25000, bytes after the scene); `scene` is then
// left as it was.
bool readStartScene(const std::string& path, StartScene& scene, std::string& error);

// Writes the file through a temporary file renamed into place; false with a message on failure.
bool writeStartScene(const std::string& path, const StartScene& scene, std::string& error);


}  // namespace velmora
