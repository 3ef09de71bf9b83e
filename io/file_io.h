// Whole writes of the run's files: a record is either all in the file or not at all.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Each returns an empty text on success, or what went wrong.

// Appends the bytes at the end of the file (created when missing). When the write fails, the
// file is cut back to its former length, so it never ends in a partial record.
std::string appendWhole(const std::string& name, std::string_view bytes, int attempts = 1);

// Creates the file, or empties an existing one, and writes the bytes. When the write fails
// the file is left empty.
std::string writeNew(const std::string& name, std::string_view bytes, int attempts = 1);

// Writes the bytes to a temporary file beside `name`, flushes it to the disk and renames it
// over `name`: the old content stays whole until the new one is complete.
std::string replaceAtomically(const std::string& name, std::string_view bytes);

// Keeps the first `length` bytes of the file as replaceAtomically writes: copied to a temporary
// file beside it, flushed and renamed over it, so the file is either whole as before or cut.
std::string keepFirstBytes(const std::string& name, unsigned long long length);

}  // namespace velmora
