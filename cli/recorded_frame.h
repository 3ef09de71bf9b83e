// Frames picked out of a recording, for the commands that draw or keep them.
#pragma once

#include <memory>
#include <string>

#include "files/recording.h"

namespace velmora::cli {

// Opens the recording and reads frames up to frame K (counted from 1) into `frame`. Returns
// EXIT_OK; EXIT_FAILED when the file cannot be read up to that frame; EXIT_USAGE when the file
// holds fewer than K frames. Every problem is printed as "velmora-cli CMD: ...".
int readRecordedFrame(const std::string& cmd, const std::string& path, long long K,
                      std::unique_ptr<RecordingReader>& reader, RecordedFrame& frame);

// "XA,YA" as two whole numbers of degrees, each in -360..360 (the --angles of the commands that
// draw frames); false for any other text.
bool parseAngles(const std::string& text, I32& xa, I32& ya);

}  // namespace velmora::cli
