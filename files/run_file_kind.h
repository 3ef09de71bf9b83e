// Which of a run's three files a file is, told from its first bytes.
#pragma once

#include <string>

namespace velmora {

enum class RunFileKind { Recording, Restart, LightCurve };

// The kind of a file from its first bytes `head`: a recording is binary (its first integer has
// zero bytes); of the text files, a restart file's first line holds nine numbers and a light
// curve's one or two. A first line that tells nothing falls back on the name's suffix.
RunFileKind runFileKind(const std::string& path, const std::string& head);

// Opens the file and tells its kind from its first 4096 bytes. Throws FileError when the file
// cannot be opened ("cannot open: ...") or is empty ("the file is empty").
RunFileKind readRunFileKind(const std::string& path);

}  // namespace velmora
