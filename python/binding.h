// What the parts of the Python binding share: the module's exceptions, numpy views, paths.
#pragma once

#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace velmora::python {

namespace py = pybind11;

// velmora.FileError (a ValueError: a file the readers refuse) and velmora.RunError (a
// RuntimeError: a run that stopped on a fault), made when the module is imported.
void makeExceptions(py::module_& m);
[[noreturn]] void raiseFileError(const std::string& message);
[[noreturn]] void raiseRunError(const std::string& message);
[[noreturn]] void raiseValueError(const std::string& message);

// The path of a str or os.PathLike. A file that cannot be opened raises Python's own OSError
// (FileNotFoundError, PermissionError, IsADirectoryError), as open() does.
std::string readablePath(py::handle path);
// The same without the check, for a file a run writes or reads later.
std::string pathText(py::handle path);

// A one-dimensional numpy array over n values at `data` (every `stride` bytes), without a
// copy: `owner` is kept alive while the array lives, and writes go to the data.
template <class T>
py::array_t<T> view(const T* data, py::ssize_t n, py::handle owner, py::ssize_t stride = sizeof(T)) {
  return py::array_t<T>({n}, {stride}, data, owner);
}

void bindFiles(py::module_& m);
void bindRuns(py::module_& m);
void bindAnalysis(py::module_& m);
void bindExport(py::module_& m);
void bindStudy(py::module_& m);

}  // namespace velmora::python
