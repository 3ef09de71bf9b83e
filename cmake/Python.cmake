# The Python interpreter the velmora module is built for and tested with, and the folder it is
# installed into.
#
# Debian's /usr/bin/python3 by default, whose numpy, matplotlib and pytest come from Debian
# packages: a python3 found earlier on PATH (pyenv, a virtualenv) would lack them. Another
# interpreter is chosen with -DPython3_EXECUTABLE=/path/to/python3.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python interpreter of the velmora module")
endif()
find_package(Python3 3.9 REQUIRED COMPONENTS Interpreter Development.Module)
find_package(pybind11 2.6 CONFIG REQUIRED)
set(VELMORA_PYTHON_EXECUTABLE ${Python3_EXECUTABLE})

execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy" RESULT_VARIABLE velmora_no_numpy
                OUTPUT_QUIET ERROR_QUIET)
if(velmora_no_numpy)
  message(FATAL_ERROR "${Python3_EXECUTABLE} cannot import numpy: install python3-numpy (scripts/install-deps), "
                      "choose another interpreter with -DPython3_EXECUTABLE, or leave the module out with "
                      "-DVELMORA_PYTHON=OFF")
endif()

# The package folder: the interpreter's own for the install prefix. Under /usr that is Debian's
# dist-packages of the system (lib/python3/dist-packages); under /usr/local the folder the
# interpreter reports (lib/python3.X/dist-packages on Debian); elsewhere lib/python3.X/site-packages
# below the prefix. A folder below the prefix is kept relative, so `cmake --install --prefix`
# follows it. -DVELMORA_PYTHON_INSTALL_DIR chooses another.
set(VELMORA_PYTHON_INSTALL_DIR "" CACHE PATH "Folder the velmora package is installed into (empty: ask the interpreter)")
if(VELMORA_PYTHON_INSTALL_DIR)
  set(VELMORA_PYTHON_PACKAGES ${VELMORA_PYTHON_INSTALL_DIR})
else()
  execute_process(
    COMMAND ${Python3_EXECUTABLE} -c [=[
import os, sys, sysconfig
prefix = os.path.normpath(sys.argv[1])
schemes = sysconfig.get_scheme_names()
if prefix == "/usr" and "deb_system" in schemes:
    folder = sysconfig.get_path("platlib", "deb_system")
else:
    folder = sysconfig.get_path("platlib")
    if not os.path.normpath(folder).startswith(prefix + os.sep):
        folder = sysconfig.get_path("platlib", "posix_prefix", vars={"base": prefix, "platbase": prefix})
folder = os.path.normpath(folder)
print(os.path.relpath(folder, prefix) if folder.startswith(prefix + os.sep) else folder, end="")
]=] ${CMAKE_INSTALL_PREFIX}
    OUTPUT_VARIABLE VELMORA_PYTHON_PACKAGES RESULT_VARIABLE velmora_no_folder)
  if(velmora_no_folder OR NOT VELMORA_PYTHON_PACKAGES)
    message(FATAL_ERROR "${Python3_EXECUTABLE} did not name its package folder: set VELMORA_PYTHON_INSTALL_DIR")
  endif()
endif()
message(STATUS "velmora Python module: ${Python3_EXECUTABLE} (Python ${Python3_VERSION}), installed into "
               "${VELMORA_PYTHON_PACKAGES}")
