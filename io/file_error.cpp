// Messages of the files a reader refuses.
#include "io/file_error.h"

namespace velmora {

FileError::FileError(const std::string& f, const std::string& problem) : RunError(f + ": " + problem), file(f) {}

FileError::FileError(const std::string& f, const std::string& location, const std::string& problem)
    : RunError(f + ": " + location + ": " + problem), file(f) {}

FileError FileError::atLine(const std::string& f, long long line, long long column, const std::string& problem) {
  std::string where = "line " + std::to_string(line);
  if (column > 0) where += ", column " + std::to_string(column);
  FileError e(f, where, problem);
  e.where = Where::Line;
  e.line = line;
  e.column = column;
  return e;
}

FileError FileError::atFrame(const std::string& f, long long frame, std::uint64_t offset, const std::string& problem) {
  FileError e(f, "frame " + std::to_string(frame) + ", byte " + std::to_string(offset), problem);
  e.where = Where::Frame;
  e.frame = frame;
  e.offset = offset;
  return e;
}

}  // namespace velmora
