// XDMF 2 text for the exported snapshots: polyvertex grids over the HDF5 datasets.
#include "files/hdf5/xdmf.h"

#include <cstdio>

namespace velmora {
namespace {

// The few characters XML does not take as they are in an attribute or text.
std::string escaped(const std::string& s) {
  std::string e;
  for (char c : s) {
    switch (c) {
      case '&': e += "&amp;"; break;
      case '<': e += "&lt;"; break;
      case '>': e += "&gt;"; break;
      case '"': e += "&quot;"; break;
      default: e += c;
    }
  }
  return e;
}

std::string dataItem(const std::string& h5, const std::string& path, const std::string& dims,
                     const char* indent) {
  return std::string(indent) + "<DataItem Dimensions=\"" + dims +
         "\" NumberType=\"Float\" Precision=\"4\" Format=\"HDF\">" + escaped(h5) + ":" + path + "</DataItem>\n";
}

}  // namespace

std::string snapshotName(const std::string& prefix, long long number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "_%06lld", number);
  return prefix + buf;
}

std::string xdmfText(const std::string& h5, const XdmfSeries& series) {
  std::string x = "<?xml version=\"1.0\" ?>\n<!DOCTYPE Xdmf SYSTEM \"Xdmf.dtd\" []>\n<Xdmf Version=\"2.0\">\n <Domain>\n";
  x += "  <Grid Name=\"Gas\" GridType=\"Collection\" CollectionType=\"Temporal\">\n";
  for (const XdmfSnapshot& s : series) {
    if (s.n <= 0) continue;
    const std::string n = std::to_string(s.n), gas = "/" + s.group + "/PartType0/";
    char time[40];
    std::snprintf(time, sizeof time, "%.9g", s.time);
    x += "   <Grid Name=\"" + escaped(s.group) + "\" GridType=\"Uniform\">\n";
    x += "    <Time Value=\"" + std::string(time) + "\"/>\n";
    x += "    <Topology TopologyType=\"Polyvertex\" NumberOfElements=\"" + n + "\" NodesPerElement=\"1\"/>\n";
    x += "    <Geometry GeometryType=\"XYZ\">\n" + dataItem(h5, gas + "Coordinates", n + " 3", "     ") +
         "    </Geometry>\n";
    for (const std::string& a : s.scalars)
      x += "    <Attribute Name=\"" + escaped(a) + "\" AttributeType=\"Scalar\" Center=\"Node\">\n" +
           dataItem(h5, gas + a, n, "     ") + "    </Attribute>\n";
    x += "   </Grid>\n";
  }
  x += "  </Grid>\n </Domain>\n</Xdmf>\n";
  return x;
}

}  // namespace velmora
