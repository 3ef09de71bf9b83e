// The HDF5 export from Python: velmora.export calls the export velmora-cli export runs.
#include <Python.h>

#include <optional>
#include <string>

#include <pybind11/stl.h>

#include "files/hdf5/export_hdf5.h"
#include "io/file_error.h"
#include "python/binding.h"

namespace velmora::python {

void bindExport(py::module_& m) {
  m.def(
      "_export_hdf5",
      [](py::handle input, py::handle out, long long first, std::optional<long long> last, long long every,
         std::optional<double> m1, std::optional<double> m2, std::optional<double> h, std::optional<double> alpha,
         std::optional<double> beta) {
        ExportOptions o;
        o.first = first;
        o.last = last;
        o.every = every;
        o.parameters = {m1, m2, h, alpha, beta};
        // Ctrl-C in the interpreter stops the export between frames.
        o.stop = [] { return PyErr_CheckSignals() != 0; };
        ExportResult r;
        try {
          r = exportHdf5(readablePath(input), pathText(out), o);
        } catch (const FileError& e) {
          raiseFileError(e.what());
        } catch (const ExportError& e) {
          if (e.kind == ExportError::Kind::Stopped) throw py::error_already_set();
          if (e.kind == ExportError::Kind::Usage) raiseValueError(e.what());
          PyErr_SetString(PyExc_OSError, e.what());  // an output that cannot be written
          throw py::error_already_set();
        }
        py::dict d;
        d["h5"] = r.h5;
        d["xmf"] = r.xmf;
        d["groups"] = r.groups;
        d["recording"] = r.recording;
        d["frames_read"] = r.framesRead;
        d["parameters_from"] = r.parametersFrom;
        d["notes"] = r.notes;
        return d;
      },
      py::arg("input"), py::arg("out"), py::arg("first") = 0, py::arg("last") = py::none(), py::arg("every") = 1,
      py::arg("m1") = py::none(), py::arg("m2") = py::none(), py::arg("h") = py::none(),
      py::arg("alpha") = py::none(), py::arg("beta") = py::none(),
      "The HDF5 export of velmora-cli export; velmora.export is the documented entry.");
}

}  // namespace velmora::python
