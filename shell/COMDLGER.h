// COMDLGER: the texts that report a failed file dialog.
#pragma once

#include <string>

namespace velmora {

// Extended error codes of a file dialog that this program can detect.
inline constexpr int FNERR_BUFFERTOOSMALL = 12291;
inline constexpr int FILEBUF_CHARS = 255;  // longest path the shared file buffer takes

// The message for a file-dialog error code; empty for code 0 (the user cancelled).
std::string comdlgerText(int code);

// Caption of the message box that shows it.
inline const char* COMDLGER_CAPTION = "Cannot Open This Dialog";

}  // namespace velmora
