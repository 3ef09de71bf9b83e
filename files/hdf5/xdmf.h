// The XDMF file beside an exported HDF5 file: one point cloud a snapshot, in a time series.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// One snapshot group of the HDF5 file: its name, its time (orbits), its particle count and the
// scalar datasets of its PartType0 group shown as point attributes.
struct XdmfSnapshot {
  std::string group;
  double time = 0;
  long long n = 0;
  std::vector<std::string> scalars;
};
using XdmfSeries = std::vector<XdmfSnapshot>;

// "Frame_000123": a snapshot group's name from its prefix and number.
std::string snapshotName(const std::string& prefix, long long number);

// The XDMF 2 text naming the datasets of `h5` (a file name relative to the XDMF file's folder).
// Snapshots without particles are left out: a point cloud of no points is not a grid.
std::string xdmfText(const std::string& h5, const XdmfSeries& series);

}  // namespace velmora
