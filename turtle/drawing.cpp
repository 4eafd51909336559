// The drawing surfaces: the sprite, cs, setpc, arc and print.
//
// Design note. The host's Canvas applies each operation to the window and to
// the back buffer, so the core draws everything once. The sprite is drawn
// with the XOR pen: the same call shows and erases it, which lets every
// change erase it before and draw it again after without a repaint. After
// the sprite the current pen is selected again; outside a run the back
// buffer may still hold the platform's default pen, which is black and one
// pixel wide like pen 0, so no drawing can tell the two apart.
#include "core/messages.h"
#include "eval/builtins.h"
#include "eval/eval.h"
#include "memory/memory.h"
#include "reader/reader.h"
#include "turtle/turtle.h"

namespace vex {

void DrawSprite(Interp& in, Canvas& c) {
  const Turtle& t = in.turtle;
  SpriteShape s = SpriteOf(t);
  Pixel home = PixelOf(in, t.x, t.y);
  Pixel tip = PixelOf(in, s.tipX, s.tipY);
  Pixel p1 = PixelOf(in, s.p1x, s.p1y);
  Pixel p2 = PixelOf(in, s.p2x, s.p2y);
  c.SelectPen(SPRITE_PEN);
  c.SetMix(Mix::XorPen);
  c.MoveTo(home.x, home.y);
  c.LineTo(tip.x, tip.y);
  c.LineTo(p1.x, p1.y);
  c.LineTo(p2.x, p2.y);
  c.LineTo(tip.x, tip.y);
  c.MoveTo(home.x, home.y);
  c.SetMix(Mix::Copy);
  c.SelectPen(in.PenIndex);
}

void ToggleSprite(Interp& in) {
  if (in.turtle.visible) DrawSprite(in, in.host.Surface());
}

void BeginRunDrawing(Interp& in) {
  Canvas& c = in.host.Surface();
  c.SelectPen(in.PenIndex);
  Pixel p = PixelOf(in, in.turtle.x, in.turtle.y);
  c.MoveTo(p.x, p.y);
}

void FirstPaint(Interp& in, Canvas& c, int clientWidth, int clientHeight) {
  in.xcenter = static_cast<float>(0.5 * clientWidth);
  in.ycenter = static_cast<float>(0.5 * clientHeight);
  Pixel p = PixelOf(in, in.turtle.x, in.turtle.y);
  c.MoveTo(p.x, p.y);
  DrawSprite(in, c);
}

Ref BuiltinCs(Interp& in, CallArgs&) {
  Canvas& c = in.host.Surface();
  c.Clear();
  in.turtle.x = 0;
  in.turtle.y = 0;
  in.turtle.heading = 90;
  Pixel origin = PixelOf(in, 0, 0);
  c.MoveTo(origin.x, origin.y);
  ToggleSprite(in);
  return in.T;
}

Ref BuiltinSetpc(Interp& in, CallArgs& a) {
  int32_t pen = IsNumber(in, a.v[0]) ? TruncToInt(NumberValue(in, a.v[0])) : -1;
  if (pen < 0 || pen > 7) return Fail(in, msg::SYNTAX_ERROR);
  in.host.Surface().SelectPen(pen);
  in.PenIndex = pen;
  return in.T;
}

Ref BuiltinArc(Interp& in, CallArgs& a) {
  int32_t p[8];
  Ref rest = a.args;
  for (int i = 0; i < 8; ++i) {
    Ref value = IsList(in, rest) ? EvalProtect(in, Car(in, rest), *a.frame)
                                 : ERROR_VALUE;
    if (value == ERROR_VALUE || !IsNumber(in, value)) {
      return Fail(in, msg::SYNTAX_ERROR);
    }
    float origin = i % 2 == 0 ? in.xcenter : in.ycenter;
    p[i] = TruncToInt(origin + NumberValue(in, value));
    rest = Cdr(in, rest);
  }
  ToggleSprite(in);
  in.host.Surface().Arc(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
  ToggleSprite(in);
  return in.T;
}

Ref BuiltinPrint(Interp& in, CallArgs& a) {
  Ref args = a.args;
  int32_t x = 0;
  int32_t y = 0;
  Ref value;
  if (HasArgs(in, args, 3)) {
    Ref rest = Cdr(in, args);
    Ref xv = EvalProtect(in, Car(in, rest), *a.frame);
    if (xv == ERROR_VALUE) return ERROR_VALUE;
    Ref yv = EvalProtect(in, Car(in, Cdr(in, rest)), *a.frame);
    if (yv == ERROR_VALUE) return ERROR_VALUE;
    value = EvalProtect(in, Car(in, args), *a.frame);
    if (value == ERROR_VALUE) return ERROR_VALUE;
    if (IsNumber(in, xv) && IsNumber(in, yv)) {
      x = TruncToInt(NumberValue(in, xv));
      y = TruncToInt(NumberValue(in, yv));
    }
  } else {
    value = EvalProtect(in, Car(in, args), *a.frame);
    if (value == ERROR_VALUE) return ERROR_VALUE;
  }
  in.PrintCounter = 0;
  in.PrintBuffer[0] = u'\0';
  PrintValue(in, value, 0);
  std::u16string_view text(in.PrintBuffer);
  ToggleSprite(in);
  Canvas& c = in.host.Surface();
  if (x == 0 && y == 0) {
    c.DrawWrappedText(text);
  } else {
    c.TextOut(x, y, text);
  }
  ToggleSprite(in);
  return value;
}

}  // namespace vex
