// The restart file as text: its layout, the reader that checks it, and the copy of a checked
// file into the simulation state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"
#include "io/file_error.h"

namespace velmora {

// Line lengths without the line end.
inline constexpr std::size_t RESTART_HEAD_LENGTH = 161, RESTART_PARTICLE_LENGTH = 233;

// Everything a restart file holds, read into a structure of its own so that a file that is
// refused leaves the simulation state untouched.
struct RestartFile {
  float M1 = 0, M2 = 0, ASEP = 0, PORB = 0, RSONE = 0, TINJ = 0, HSPH = 0;
  I32 NPART = 0;
  I16 NLEVELS = 0;
  I32 IORBIT = 0;
  float ALPHA = 0, BETA = 0;
  struct Particle {
    float X, Y, Z, VHX, VHY, VHZ, AHX, AHY, AHZ, U, CS;
    I16 LEVEL;
  };
  std::vector<Particle> particles;  // NPART entries, slot order

  // Particles of each level (index 1..8).
  std::vector<I32> levelCounts() const;
};

// The text of the restart file for the state (CR LF line ends).
std::string restartText(const Sim& S);

// Reads and checks a restart file. Throws FileError at the first problem, with the line and
// column and what was expected there.
RestartFile readRestartFile(const std::string& path);
// The same on text already in memory; `name` names it in the messages.
RestartFile parseRestartFile(std::string_view text, const std::string& name);

// Copies a checked file into the state: parameters, particles, and the level lists rebuilt
// in slot order (any earlier level counts are cleared first).
void applyRestartFile(Sim& S, const RestartFile& R);

}  // namespace velmora
