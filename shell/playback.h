// The playback of a recorded run: frames read one by one and drawn, paced by the frame wait,
// with the same mouse control as a live run (pause, stop, turning the view).
#pragma once

#include <functional>
#include <string>

#include "core/state.h"
#include "files/recording.h"

namespace velmora {

// The playback's own view angles and mouse positions (kept from one playback to the next).
struct PlaybackMouse {
  I32 XANGLE = 0, YANGLE = 0;
  L32 LDRAG = FALSE4, RDRAG = FALSE4;
  float MOUSEX = 0, MOUSEY = 0, MOUSEX0 = 0, MOUSEY0 = 0;
};

// Draws one frame (counter: frames drawn so far, this one included; paused: 0 playing, 1 the
// paused form) and waits the frame time through the host.
using FrameShow = std::function<void(const RecordedFrame& F, const RecordingReader& R, I32 XANGLE, I32 YANGLE,
                                     I32 counter, I32 paused)>;

struct PlaybackEnd {
  bool stopped = false;       // the QUIT area was clicked
  long long shown = 0;        // frames drawn (paused redraws not counted)
  std::string problem;        // a damaged frame ended the playback: what and where
};

// Plays R from its first frame: frame after frame up to its frame total (or the end of a
// shorter file), then again from the start when `loop` is set. titleBase is the window title
// that the angles are appended to while the view is turned.
PlaybackEnd playRecording(RecordingReader& R, RunHost& H, bool loop, const std::string& titleBase, PlaybackMouse& pb,
                     const FrameShow& show);

}  // namespace velmora
