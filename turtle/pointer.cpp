// Mouse points and keys for running programs: getpoint, getcorner, inkey,
// the mouse updates of the window thread and the rubber band.
//
// Design note. The waits poll: each pass asks the host to wait for input,
// which lets the window deliver the pending mouse messages before the flags
// are looked at again. A wait for a press also counts the presses, so a
// click whose release came before the wait looked is not lost. Both threads
// touch the PointerState only under in.inputLock, so the program never sees
// an update half made. A wait also ends when the run has to stop: when the
// window is going away its polls would never bring the click it waits for, and
// the evaluation is abandoned without a message; an interrupt says so.
#include "core/messages.h"
#include "eval/builtins.h"
#include "eval/eval.h"
#include "memory/memory.h"
#include "turtle/turtle.h"

namespace vex {

namespace {

using Lock = std::lock_guard<std::mutex>;

// One pass of the wait; false when the run has to stop (the window is going
// away, or the run was interrupted).
bool Poll(Interp& in) {
  in.host.WaitForInput();
  return !CheckInterrupt(in);
}

// Polls while the left button is held; false when the run has to stop.
bool WaitForRelease(Interp& in) {
  for (;;) {
    {
      Lock hold(in.inputLock);
      if (!in.pointer.leftDown) return true;
    }
    if (!Poll(in)) return false;
  }
}

// The left presses so far.
uint32_t Presses(Interp& in) {
  Lock hold(in.inputLock);
  return in.pointer.presses;
}

// Polls until a left press comes after the count presses (Left); Right when
// rightEnds (getpoint) and a right click is pending; Stop when the run has to
// stop.
enum class Press { Left, Right, Stop };
Press WaitForPress(Interp& in, uint32_t presses, bool rightEnds) {
  for (;;) {
    if (rightEnds) {
      Lock hold(in.inputLock);
      if (in.pointer.rightClicked) {
        in.pointer.rightClicked = 0;
        return Press::Right;
      }
    }
    if (!Poll(in)) return Press::Stop;
    Lock hold(in.inputLock);
    if (in.pointer.leftDown || in.pointer.presses != presses) {
      return Press::Left;
    }
  }
}

// The list (X Y) of a client pixel in turtle coordinates, or ERROR_VALUE.
Ref TurtlePoint(Interp& in, int16_t px, int16_t py) {
  Ref x = MakeNumber(in, static_cast<float>(px) - in.xcenter);
  if (x == ERROR_VALUE) return ERROR_VALUE;
  Ref y = MakeNumber(in, static_cast<float>(py) - in.ycenter);
  if (y == ERROR_VALUE) return ERROR_VALUE;
  Ref tail = MakeList(in, y, in.NIL);
  if (tail == ERROR_VALUE) return ERROR_VALUE;
  return MakeList(in, x, tail);
}

// Leaves no rubber band behind: normally the click has already ended it,
// but a press that came before the band was active, or an abandoned wait,
// leaves it to the program's thread. Called with in.inputLock held.
void EndRubberBand(Interp& in) {
  PointerState& p = in.pointer;
  if (!p.rubberActive) return;
  // A closing window may have no surface left to draw on.
  if (!p.rectHidden && !in.closing) {
    DrawRubberBand(in, in.host.Surface(), p.cornerX, p.cornerY);
  }
  p.rectHidden = 1;
  p.rubberActive = 0;
}

}  // namespace

void DrawRubberBand(Interp& in, Canvas& c, int x, int y) {
  int ax = in.pointer.anchorX;
  int ay = in.pointer.anchorY;
  if (in.turtle.visible) DrawSprite(in, c);
  c.SetMix(Mix::Invert);
  c.MoveTo(ax, ay);
  c.LineTo(x, ay);
  c.LineTo(x, y);
  c.LineTo(ax, y);
  c.LineTo(ax, ay);
  c.SetMix(Mix::Copy);
  // During a run the drawing position of the surfaces is the turtle's pixel.
  Pixel home = PixelOf(in, in.turtle.x, in.turtle.y);
  c.MoveTo(home.x, home.y);
  if (in.turtle.visible) DrawSprite(in, c);
}

void PointerLeftDown(Interp& in, Canvas& c, int16_t x, int16_t y) {
  Lock hold(in.inputLock);
  PointerState& p = in.pointer;
  p.clickX = x;
  p.clickY = y;
  p.leftDown = 1;
  ++p.presses;
  if (p.rubberActive) {
    if (!p.rectHidden) {
      p.rectHidden = 1;
      DrawRubberBand(in, c, p.cornerX, p.cornerY);
    }
    p.rubberActive = 0;
  }
}

void PointerLeftUp(Interp& in) {
  Lock hold(in.inputLock);
  in.pointer.leftDown = 0;
}

void PointerRightDown(Interp& in) {
  Lock hold(in.inputLock);
  in.pointer.rightClicked = 1;
}

void PointerRightUp(Interp& in) {
  Lock hold(in.inputLock);
  in.pointer.leftDown = 0;
}

void AnswerPollWithoutMouse(Interp& in) {
  Lock hold(in.inputLock);
  PointerState& p = in.pointer;
  if (p.rubberActive) {
    p.leftDown = 1;
    p.rubberActive = 0;
    p.rectHidden = 1;
  } else if (p.leftDown) {
    p.leftDown = 0;
  } else {
    p.rightClicked = 1;
  }
}

void PointerMove(Interp& in, Canvas& c, int16_t x, int16_t y) {
  Lock hold(in.inputLock);
  PointerState& p = in.pointer;
  if (!p.rubberActive) return;
  if (!p.rectHidden) {
    DrawRubberBand(in, c, p.cornerX, p.cornerY);
  } else {
    p.rectHidden = 0;
  }
  DrawRubberBand(in, c, x, y);
  p.cornerX = x;
  p.cornerY = y;
}

Ref BuiltinGetpoint(Interp& in, CallArgs&) {
  if (!WaitForRelease(in)) return ERROR_VALUE;
  switch (WaitForPress(in, Presses(in), true)) {
    case Press::Right:
      return in.NIL;
    case Press::Stop:
      return ERROR_VALUE;
    case Press::Left:
      break;
  }
  int16_t x, y;
  {
    Lock hold(in.inputLock);
    x = in.pointer.clickX;
    y = in.pointer.clickY;
  }
  return TurtlePoint(in, x, y);
}

Ref BuiltinGetcorner(Interp& in, CallArgs& a) {
  Ref p = a.v[0];
  bool ok = IsList(in, p) && IsNumber(in, Car(in, p));
  Ref rest = ok ? Cdr(in, p) : ERROR_VALUE;
  ok = ok && IsList(in, rest) && IsNumber(in, Car(in, rest));
  if (!ok) return Fail(in, msg::POINT_NOT_SET);
  auto ax = static_cast<int16_t>(
      TruncToInt(in.xcenter + NumberValue(in, Car(in, p))));
  auto ay = static_cast<int16_t>(
      TruncToInt(in.ycenter + NumberValue(in, Car(in, rest))));
  {
    Lock hold(in.inputLock);
    in.pointer.anchorX = in.pointer.cornerX = ax;
    in.pointer.anchorY = in.pointer.cornerY = ay;
  }
  if (!WaitForRelease(in)) return ERROR_VALUE;
  uint32_t presses;
  bool clicked;
  {
    Lock hold(in.inputLock);
    in.pointer.rubberActive = 1;
    presses = in.pointer.presses;
    clicked = in.pointer.leftDown != 0;
  }
  if (!clicked) clicked = WaitForPress(in, presses, false) == Press::Left;
  int16_t x, y;
  {
    Lock hold(in.inputLock);
    EndRubberBand(in);
    x = in.pointer.cornerX;
    y = in.pointer.cornerY;
  }
  if (!clicked) return ERROR_VALUE;
  return TurtlePoint(in, x, y);
}

Ref BuiltinInkey(Interp& in, CallArgs&) {
  int32_t key;
  {
    Lock hold(in.inputLock);
    key = in.KeyCode;
  }
  return MakeNumber(in, static_cast<float>(key));
}

}  // namespace vex
