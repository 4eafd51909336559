// The turtle: its arithmetic, its motion and the numeric built-ins beside it.
//
// Design note. Every rule here reproduces the arithmetic of the window
// program bit for bit, so that a drawing lands on the same pixels on every
// host: headings are sums in single precision, steps are computed in double
// precision and stored as floats, and pixels are single-precision sums
// truncated toward zero. Turning keeps the heading in no fixed range (lt
// leaves negative headings alone, rt leaves large ones alone); programs can
// see that through getangle, so the asymmetry is kept. The sprite is erased
// before and redrawn after every change of position or heading.
#include "turtle/turtle.h"

#include <cmath>
#include <limits>

#include "core/messages.h"
#include "eval/builtins.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

int32_t TruncToInt(float v) {
  // The x86 conversion answers the "integer indefinite" value for anything
  // it cannot represent; 2^31 itself is already out of range.
  if (!(v > -2147483904.0f && v < 2147483648.0f)) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(v);
}

// A full turn in radians to eight digits, negative because headings grow
// counter-clockwise on a screen whose y grows downwards.
constexpr double FULL_TURN = -6.2831853;

double HeadingRadians(float heading) {
  return static_cast<double>(heading) * FULL_TURN / 360.0;
}

float TurnLeft(float heading, float a) {
  float h = heading + a;
  if (h >= 360.0f) h = std::fmod(h, 360.0f);
  if (h >= 180.0f) h = h - 360.0f;
  return h;
}

float TurnRight(float heading, float a) {
  float h = heading - a;
  if (h < 0.0f) {
    h = std::fmod(h, 360.0f);
    h = h + 360.0f;
  }
  return h;
}

float SetAngleHeading(float a) {
  float h = static_cast<float>(static_cast<double>(a) + 90.0);
  if (h < -180.0f) return TurnRight(h, 0.0f);
  if (h >= 180.0f) return TurnLeft(h, 0.0f);
  return h;
}

Pixel PixelOf(const Interp& in, float x, float y) {
  return {TruncToInt(in.xcenter + x), TruncToInt(in.ycenter + y)};
}

SpriteShape SpriteOf(const Turtle& t) {
  SpriteShape s;
  double theta = HeadingRadians(t.heading);
  s.tipX = static_cast<float>(t.x + 20.0 * std::cos(theta));
  s.tipY = static_cast<float>(t.y + 20.0 * std::sin(theta));
  // The wing headings pass through the turning rules first; they change no
  // direction but do change the rounding of the angle.
  double theta1 = HeadingRadians(TurnLeft(t.heading, 135.0f));
  double theta2 = HeadingRadians(TurnRight(t.heading, 135.0f));
  s.p1x = static_cast<float>(s.tipX + 14.0 * std::cos(theta1));
  s.p1y = static_cast<float>(s.tipY + 14.0 * std::sin(theta1));
  s.p2x = static_cast<float>(s.tipX + 14.0 * std::cos(theta2));
  s.p2y = static_cast<float>(s.tipY + 14.0 * std::sin(theta2));
  return s;
}

int32_t NextRandom(uint32_t& state) {
  state = state * 214013u + 2531011u;
  return static_cast<int32_t>((state >> 16) & 0x7fffu);
}

namespace {

// The turtle's trace from one pixel to the next: a segment when the pen is
// down. Either way both surfaces keep their drawing position on the turtle.
void TraceTo(Interp& in, Pixel from, Pixel to) {
  Canvas& c = in.host.Surface();
  if (in.turtle.penDown) {
    c.MoveTo(from.x, from.y);
    c.LineTo(to.x, to.y);
  } else {
    c.MoveTo(to.x, to.y);
  }
}

// Moves the turtle by d along its heading (sign +1) or against it (-1).
Ref Move(Interp& in, Ref arg, double sign) {
  if (arg == ERROR_VALUE) return ERROR_VALUE;
  if (!IsNumber(in, arg)) return Fail(in, msg::ARG_NOT_A_NUMBER);
  double d = NumberValue(in, arg);
  ToggleSprite(in);
  Turtle& t = in.turtle;
  Pixel from = PixelOf(in, t.x, t.y);
  double theta = HeadingRadians(t.heading);
  t.x = static_cast<float>(t.x + sign * (std::cos(theta) * d));
  t.y = static_cast<float>(t.y + sign * (std::sin(theta) * d));
  TraceTo(in, from, PixelOf(in, t.x, t.y));
  ToggleSprite(in);
  return arg;
}

// Turns the turtle by rule(heading, a).
Ref Turn(Interp& in, Ref arg, float (*rule)(float, float)) {
  if (arg == ERROR_VALUE) return ERROR_VALUE;
  if (!IsNumber(in, arg)) return Fail(in, msg::ARG_NOT_A_NUMBER);
  ToggleSprite(in);
  in.turtle.heading = rule(in.turtle.heading, NumberValue(in, arg));
  ToggleSprite(in);
  return arg;
}

// The argument check of random and sqrt: a number that is not negative.
bool NonNegativeNumber(Interp& in, Ref arg) {
  if (!IsNumber(in, arg)) {
    ShowError(in, msg::NOT_A_NUMBER);
    return false;
  }
  if (NumberValue(in, arg) < 0.0f) {
    ShowError(in, msg::ARG_NEGATIVE);
    return false;
  }
  return true;
}

// The longest pause sleep accepts: one day. Longer (or negative) values
// would make the thread wait for good.
constexpr int64_t SLEEP_LIMIT_MS = 24LL * 60 * 60 * 1000;

}  // namespace

Ref BuiltinFd(Interp& in, CallArgs& a) { return Move(in, a.v[0], 1.0); }
Ref BuiltinBk(Interp& in, CallArgs& a) { return Move(in, a.v[0], -1.0); }
Ref BuiltinLt(Interp& in, CallArgs& a) { return Turn(in, a.v[0], TurnLeft); }
Ref BuiltinRt(Interp& in, CallArgs& a) { return Turn(in, a.v[0], TurnRight); }

Ref BuiltinSetpos(Interp& in, CallArgs& a) {
  if (!IsNumber(in, a.v[0]) || !IsNumber(in, a.v[1])) {
    return Fail(in, msg::ARG_NOT_A_NUMBER);
  }
  float x = NumberValue(in, a.v[0]);
  float y = NumberValue(in, a.v[1]);
  ToggleSprite(in);
  Turtle& t = in.turtle;
  TraceTo(in, PixelOf(in, t.x, t.y), PixelOf(in, x, y));
  t.x = x;
  t.y = y;
  ToggleSprite(in);
  return in.T;
}

Ref BuiltinPu(Interp& in, CallArgs&) {
  in.turtle.penDown = 0;
  return in.T;
}

Ref BuiltinPd(Interp& in, CallArgs&) {
  in.turtle.penDown = 1;
  return in.T;
}

Ref BuiltinPen(Interp& in, CallArgs&) {
  return in.turtle.penDown ? in.T : in.NIL;
}

Ref BuiltinXcor(Interp& in, CallArgs&) { return MakeNumber(in, in.turtle.x); }
Ref BuiltinYcor(Interp& in, CallArgs&) { return MakeNumber(in, in.turtle.y); }

Ref BuiltinGetangle(Interp& in, CallArgs&) {
  return MakeNumber(
      in, static_cast<float>(static_cast<double>(in.turtle.heading) - 90.0));
}

Ref BuiltinSetangle(Interp& in, CallArgs& a) {
  if (!IsNumber(in, a.v[0])) return Fail(in, msg::NOT_A_NUMBER);
  ToggleSprite(in);
  in.turtle.heading = SetAngleHeading(NumberValue(in, a.v[0]));
  ToggleSprite(in);
  return in.T;
}

Ref BuiltinHt(Interp& in, CallArgs&) {
  if (!in.turtle.visible) return in.NIL;
  DrawSprite(in, in.host.Surface());
  in.turtle.visible = 0;
  return in.T;
}

Ref BuiltinSt(Interp& in, CallArgs&) {
  if (in.turtle.visible) return in.NIL;
  DrawSprite(in, in.host.Surface());
  in.turtle.visible = 1;
  return in.T;
}

Ref BuiltinXwidth(Interp& in, CallArgs&) {
  return MakeNumber(in, static_cast<float>(in.host.Surface().ClientWidth()));
}

Ref BuiltinYwidth(Interp& in, CallArgs&) {
  return MakeNumber(in, static_cast<float>(in.host.Surface().ClientHeight()));
}

Ref BuiltinXcenter(Interp& in, CallArgs&) { return MakeNumber(in, in.xcenter); }
Ref BuiltinYcenter(Interp& in, CallArgs&) { return MakeNumber(in, in.ycenter); }

Ref BuiltinRandom(Interp& in, CallArgs& a) {
  if (!NonNegativeNumber(in, a.v[0])) return ERROR_VALUE;
  float n = NumberValue(in, a.v[0]);
  float f = static_cast<float>(NextRandom(in.randState) / 32767.0);
  float product = n * f;
  return MakeNumber(in, std::trunc(product));
}

Ref BuiltinSqrt(Interp& in, CallArgs& a) {
  if (!NonNegativeNumber(in, a.v[0])) return ERROR_VALUE;
  double root = std::sqrt(static_cast<double>(NumberValue(in, a.v[0])));
  return MakeNumber(in, static_cast<float>(root));
}

Ref BuiltinSleep(Interp& in, CallArgs& a) {
  if (!IsNumber(in, a.v[0])) return Fail(in, msg::SYNTAX_ERROR);
  float ms = NumberValue(in, a.v[0]);
  if (!(ms >= 0.0f && ms <= static_cast<float>(SLEEP_LIMIT_MS))) {
    return Fail(in, msg::SYNTAX_ERROR);
  }
  // Slices let a closing window or an interrupt stop the pause (and the
  // run) instead of waiting for all of it.
  constexpr int64_t SLICE_MS = 50;
  for (int64_t left = static_cast<int64_t>(ms); left > 0; left -= SLICE_MS) {
    if (CheckInterrupt(in)) return ERROR_VALUE;
    in.host.Pause(static_cast<int>(left < SLICE_MS ? left : SLICE_MS));
  }
  return in.T;
}

}  // namespace vex
