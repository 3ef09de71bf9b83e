// The error of a file that cannot be read: the file, where the first problem is, and what was
// expected there.
#pragma once

#include <cstdint>
#include <string>

#include "io/run_error.h"

namespace velmora {

// A file a reader refuses. It is a RunError, so a caller that stops a run on a RunError also
// reports a restart file that cannot be read; nothing has been changed when it is thrown.
struct FileError : RunError {
  enum class Where { File, Line, Frame };

  // "<file>: <problem>", for a file that cannot be opened or is refused as a whole.
  FileError(const std::string& file, const std::string& problem);
  // "<file>: line 3, column 22: <problem>"
  static FileError atLine(const std::string& file, long long line, long long column, const std::string& problem);
  // "<file>: frame 4, byte 5360: <problem>"
  static FileError atFrame(const std::string& file, long long frame, std::uint64_t offset,
                           const std::string& problem);

  std::string file;
  Where where = Where::File;
  long long line = 0, column = 0;  // text files
  long long frame = 0;             // recording: the frame, counted from 1
  std::uint64_t offset = 0;        // recording: byte offset of the problem

 private:
  FileError(const std::string& file, const std::string& location, const std::string& problem);
};

}  // namespace velmora
