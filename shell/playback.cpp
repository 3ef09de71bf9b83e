// The playback loop of a recorded run.
#include "shell/playback.h"

#include "core/view_mouse.h"
#include "io/fortran_format.h"

namespace velmora {

PlaybackEnd playRecording(RecordingReader& R, RunHost& H, bool loop, const std::string& titleBase, PlaybackMouse& pb,
                     const FrameShow& show) {
  PlaybackEnd end;
  RecordedFrame frame;
  long long total = R.frameTotal();
  I32 counter = 0, PBPAUSE = 1;
  bool VIEWCHG = false, haveFrame = false;
  pb.XANGLE = pb.YANGLE = 0;
  pb.LDRAG = pb.RDRAG = FALSE4;

  for (;;) {
    // a. One message: the stop and pause areas and turning, as in a live run.
    if (auto m = H.takeMessage()) {
      const Click c = mouseView(pb, PBPAUSE, H, *m);
      if (c == Click::Stop) {
        end.stopped = true;
        return end;
      }
      if (c == Click::Paused) VIEWCHG = true;
      if (c == Click::Moved) {
        if (isTrue(pb.LDRAG) || isTrue(pb.RDRAG)) VIEWCHG = true;
        H.setTitle(fmt::trimRight(titleBase) + "       X-Angle: " + fmt::I(pb.XANGLE, 5) + "     Y-Angle: " +
                   fmt::I(pb.YANGLE, 5) + " ");
        mouseDone(pb);
      }
    }

    // c. Paused: the current frame is drawn again only when the view was turned.
    if (PBPAUSE % 2 == 0) {
      if (VIEWCHG && haveFrame) show(frame, R, pb.XANGLE, pb.YANGLE, counter, 1);
      VIEWCHG = false;
      H.sleepMs(15);  // nothing to read while paused: do not spin
      continue;
    }

    // d. Playing: the next frame; a file that ends before its frame total ends the recording there.
    bool read = false;
    try {
      read = R.next(frame);
      if (!read && loop && counter > 0) {
        R.rewind();
        total = R.frameTotal();
        counter = 0;
        read = R.next(frame);
      }
    } catch (const FileError& e) {
      end.problem = e.what();
      return end;
    }
    if (!read) return end;
    ++counter;
    haveFrame = true;
    ++end.shown;
    show(frame, R, pb.XANGLE, pb.YANGLE, counter, 0);

    // e. The frame total reached: again from the start, or the end.
    if (counter >= total) {
      if (!loop) return end;
      R.rewind();
      total = R.frameTotal();
      counter = 0;
    }
  }
}

}  // namespace velmora
