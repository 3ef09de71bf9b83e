// The velmora._velmora extension: the version, the exceptions and the bound parts.
#include <pybind11/pybind11.h>

#include "python/binding.h"

namespace velmora::python {
namespace {

PyObject* g_fileError = nullptr;
PyObject* g_runError = nullptr;

}  // namespace

void makeExceptions(py::module_& m) {
  // Made once for the life of the interpreter; the module keeps a reference to each.
  g_fileError = PyErr_NewExceptionWithDoc(
      "velmora.FileError",
      "A recording, light curve or restart file that cannot be read: the message names the file, "
      "where the first problem is and what was expected there (as velmora-cli info reports it).",
      PyExc_ValueError, nullptr);
  g_runError = PyErr_NewExceptionWithDoc(
      "velmora.RunError",
      "A run that stopped on a fault (a capacity of its tables); its files are complete to the last "
      "frame or orbit.",
      PyExc_RuntimeError, nullptr);
  if (g_fileError == nullptr || g_runError == nullptr) throw py::error_already_set();
  m.attr("FileError") = py::handle(g_fileError);
  m.attr("RunError") = py::handle(g_runError);
}

void raiseFileError(const std::string& message) {
  PyErr_SetString(g_fileError, message.c_str());
  throw py::error_already_set();
}

void raiseRunError(const std::string& message) {
  PyErr_SetString(g_runError, message.c_str());
  throw py::error_already_set();
}

void raiseValueError(const std::string& message) { throw py::value_error(message); }

std::string pathText(py::handle path) {
  return py::module_::import("os").attr("fspath")(path).cast<std::string>();
}

std::string readablePath(py::handle path) {
  const std::string p = pathText(path);
  py::module_::import("builtins").attr("open")(p, "rb").attr("close")();
  return p;
}

}  // namespace velmora::python

PYBIND11_MODULE(_velmora, m) {
  using namespace velmora::python;
  m.doc() = "The C++ side of the velmora package: file readers, runs, the light-curve analysis and studies.";
  m.attr("__version__") = VELMORA_VERSION;
  makeExceptions(m);
  bindFiles(m);
  bindRuns(m);
  bindAnalysis(m);
  bindExport(m);
  bindStudy(m);
}
