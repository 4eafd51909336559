// Turtle graphics: the turtle, the drawing surfaces, point input, line files
// and printing.
//
// Design note. The built-in handlers (declared in eval/builtins.h) are the
// Lisp face of this subsystem; this header holds what hosts and tests need
// beside them: the exact arithmetic of headings and pixels, the sprite, the
// operations the window thread performs for the turtle (first paint, rubber
// band, mouse updates), and the text format of line files. Every drawing
// step goes through the host's Canvas, which stands for both surfaces.
#pragma once

#include <cstdint>
#include <string>

#include "core/canvas.h"
#include "core/interp.h"
#include "memory/memory.h"

namespace vex {

// --- arithmetic (turtle.cpp) ----------------------------------------------

// Truncation toward zero of a float to a 32-bit integer, as the x86
// conversion instruction does it on every host: NaN and values outside the
// 32-bit range give INT32_MIN instead of undefined behaviour.
int32_t TruncToInt(float v);

// The radians of a heading: heading × -6.2831853, then / 360, in double
// precision. The eight-digit constant makes heading 90 point a hair off
// vertical, which programs can observe through xcor.
double HeadingRadians(float heading);

// The heading after turning left by a (sum in single precision; 360 and
// above reduced by the remainder, then 180 and above moved down by 360;
// negative values stay as they are).
float TurnLeft(float heading, float a);
// The heading after turning right by a (difference in single precision;
// negative values reduced into (0, 360]; others stay as they are).
float TurnRight(float heading, float a);
// The heading that setangle a stores: a + 90, normalised only when it lies
// below -180 (right-turn reduction) or at 180 and above (left-turn rule).
float SetAngleHeading(float a);

struct Pixel {
  int32_t x;
  int32_t y;
  bool operator==(const Pixel&) const = default;
};
// The client pixel of turtle point (x, y): each coordinate plus the origin,
// summed in single precision and truncated toward zero.
Pixel PixelOf(const Interp& in, float x, float y);

// The three corners of the sprite's arrow head, in turtle coordinates.
struct SpriteShape {
  float tipX, tipY;  // 20 pixels ahead along the heading
  float p1x, p1y;    // 14 pixels from the tip at heading + 135
  float p2x, p2y;    // 14 pixels from the tip at heading - 135
};
SpriteShape SpriteOf(const Turtle& t);

// The next value (0..32767) of the C runtime generator the language's
// random is defined by: state × 214013 + 2531011, bits 16..30.
int32_t NextRandom(uint32_t& state);

// --- drawing (drawing.cpp) --------------------------------------------------

// Draws the sprite in XOR mode on c; drawing it twice in the same place
// restores every pixel, so this both shows and erases it. Leaves the
// drawing position on the turtle's pixel and the current pen selected.
void DrawSprite(Interp& in, Canvas& c);

// Draws the sprite on the run's surfaces when it is visible: called before
// a change it erases the sprite, called after it shows it again.
void ToggleSprite(Interp& in);

// At the start of every run: the current pen on both surfaces and their
// drawing position on the turtle's pixel.
void BeginRunDrawing(Interp& in);

// The first paint of the window (window thread): fixes the turtle origin at
// the centre of the client area, places the drawing position on the turtle
// and draws the sprite once on c, whatever the visible flag says.
void FirstPaint(Interp& in, Canvas& c, int clientWidth, int clientHeight);

// Work handed to the window thread that runs one routine on the interpreter
// (the save, load and print routines of the line files and printing).
template <void (*Routine)(Interp&)>
class RoutineWork final : public WindowWork {
 public:
  explicit RoutineWork(Interp& in) : in_(in) {}
  void Run() override { Routine(in_); }

 private:
  Interp& in_;
};

// --- mouse and keys (pointer.cpp) -------------------------------------------

// The updates of the window thread's mouse handlers, each made under
// in.inputLock. c is the surface pair the rubber band is drawn on (a device
// context of the window for this step, and the back buffer).
void PointerLeftDown(Interp& in, Canvas& c, int16_t x, int16_t y);
void PointerLeftUp(Interp& in);
void PointerRightDown(Interp& in);
void PointerRightUp(Interp& in);
void PointerMove(Interp& in, Canvas& c, int16_t x, int16_t y);
// A poll answered by a host without a mouse: as a user who clicks without
// moving while a rubber band waits, releases a held button, and otherwise
// right-clicks at once (so getpoint answers NIL, getcorner its anchor).
void AnswerPollWithoutMouse(Interp& in);

// Draws (and, drawn twice, erases) the rubber band rectangle from the anchor
// to (x, y) in invert mode on c, erasing the sprite around it. Leaves c's
// mix mode and drawing position as they were during a run.
void DrawRubberBand(Interp& in, Canvas& c, int x, int y);

// --- drawing records (linefiles.cpp) ---------------------------------------

// The first count (4 or 8) values of a well-formed record: a list whose
// first count elements are numbers, each reached through list Cells. False
// for anything else.
bool RecordValues(Interp& in, Ref record, int count, float* values);

// Calls visit(element) for each element of list, walking while the current
// Cell is a list Cell. False when the chain has more list Cells than were
// ever handed out, which only a circular list can have; the walk then stops
// instead of running for ever.
template <typename Visit>
bool WalkList(Interp& in, Ref list, Visit&& visit) {
  uint32_t limit = in.cellHigh;
  for (Ref r = list; IsList(in, r); r = Cdr(in, r)) {
    if (limit-- == 0) return false;
    visit(Car(in, r));
  }
  return true;
}

// --- line files (linefiles.cpp) ---------------------------------------------

// Units of the buffers the two file names are formed in: a base name must
// leave room for ".lin" and the terminator, so it has at most
// NAME_BUFFER_UNITS - 5 units.
constexpr int NAME_BUFFER_UNITS = 260;

// The text of one number as written to a line file: "%f" and one blank.
std::string LineFileNumber(float value);

// Reads numbers from a byte source as the C scanning format "%f" does:
// white space is skipped, then the longest prefix of a decimal, hexadecimal,
// infinity or NaN form is taken.
class NumberScanner {
 public:
  enum class Result { Number, End, NotANumber };
  explicit NumberScanner(HostFile& file) : file_(file) {}
  // Scans the next number into value. End: only white space was left.
  // NotANumber: the next characters do not form a number.
  Result Next(float& value);

 private:
  int Peek();
  void Take(std::string& text);
  bool TakeIf(std::string& text, const char* alternatives);
  bool TakeWord(std::string& text, const char* word);
  void TakeDigits(std::string& text, bool hex);

  HostFile& file_;
  int ahead_ = -2;  // the byte looked at but not taken; -2: none
};

}  // namespace vex
