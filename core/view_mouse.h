// Mouse control of a view, shared by the run loop and the playback loop: the QUIT and
// PAUSE/CONT. areas of the button strip, and turning the view by dragging.
#pragma once

#include "core/state.h"

namespace velmora {

enum class Click {
  None,    // nothing the loop must act on
  Stop,    // the QUIT area
  Paused,  // the PAUSE area, and the loop is now paused
  Moved,   // a mouse move: the angles may have changed and the title is due
};

inline I32 wrapAngle(I32 a) {
  if (a >= 360) a -= 360;
  if (a <= -360) a += 360;
  return a;
}

// One mouse message. M holds the view's XANGLE, YANGLE, LDRAG, RDRAG, MOUSEX, MOUSEY,
// MOUSEX0, MOUSEY0; IPAUSE is the loop's pause counter (odd running, even paused).
// The buttons' hit areas lie in the bottom 25 pixels of the drawing area.
template <class M>
Click mouseView(M& m, I32& IPAUSE, const RunHost& H, const MouseMsg& msg) {
  switch (msg.kind) {
    case MouseMsg::LeftDown: {
      m.MOUSEX = static_cast<float>(msg.x);
      m.MOUSEY = static_cast<float>(msg.y);
      I32 VIEWW = 0, VIEWH = 0;
      H.viewSize(VIEWW, VIEWH);
      const float x = static_cast<float>(msg.x);
      const bool strip = msg.y >= VIEWH - 25;
      if (strip && x <= static_cast<float>(VIEWW) / 13.66f) return Click::Stop;
      if (strip && x > static_cast<float>(VIEWW) / 13.66f && x < static_cast<float>(2 * VIEWW) / 13.75f) {
        IPAUSE += 1;
        if (IPAUSE % 2 == 0) return Click::Paused;
      }
      m.LDRAG = TRUE4;  // a resuming click also starts a drag
      return Click::None;
    }
    case MouseMsg::LeftUp: m.LDRAG = FALSE4; return Click::None;
    case MouseMsg::RightDown: m.RDRAG = TRUE4; return Click::None;
    case MouseMsg::RightUp: m.RDRAG = FALSE4; return Click::None;
    case MouseMsg::DoubleClick: return Click::None;
    case MouseMsg::Move:
      // Two degrees per message: about x for vertical left drags, about y for horizontal right drags.
      if (isTrue(m.LDRAG)) {
        m.MOUSEY = static_cast<float>(msg.y);
        if (m.MOUSEY > m.MOUSEY0) m.XANGLE += 2;
        else if (m.MOUSEY < m.MOUSEY0) m.XANGLE -= 2;
      }
      if (isTrue(m.RDRAG)) {
        m.MOUSEX = static_cast<float>(msg.x);
        if (m.MOUSEX > m.MOUSEX0) m.YANGLE += 2;
        else if (m.MOUSEX < m.MOUSEX0) m.YANGLE -= 2;
      }
      m.XANGLE = wrapAngle(m.XANGLE);
      m.YANGLE = wrapAngle(m.YANGLE);
      return Click::Moved;
  }
  return Click::None;
}

// The position remembered for the next move, once the caller has set the title.
template <class M>
void mouseDone(M& m) {
  m.MOUSEX0 = m.MOUSEX;
  m.MOUSEY0 = m.MOUSEY;
}

}  // namespace velmora
