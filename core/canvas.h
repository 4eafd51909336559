// The drawing operations the core asks of a host.
//
// A Canvas stands for both drawing surfaces of the program: the window (while
// an evaluation holds its device context) and the back buffer the window is
// repainted from. Every operation is applied to the window surface first,
// when there is one, and then to the back buffer, with the same
// coordinates. Coordinates are client pixels. The Win32 host maps the
// operations to GDI; the console host records and renders them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vex {

// Pen numbers: 0..7 are the pen table, in the order black, blue, green,
// cyan, red, magenta, yellow, white.
constexpr int SPRITE_PEN = 8;   // the green pen of the turtle sprite
constexpr int DEFAULT_PEN = 9;  // the platform's default pen (black)
// The pens' colours by number, as 0x00BBGGRR.
inline constexpr uint32_t PEN_COLOURS[DEFAULT_PEN + 1] = {
    0x000000, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF,
    0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x00FF00, 0x000000};

// Mix modes of line drawing.
enum class Mix {
  Copy,    // the pen colour replaces the pixel
  XorPen,  // pixel XOR pen colour (the sprite)
  Invert,  // every pixel under the pen is inverted (the rubber band)
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual void SelectPen(int pen) = 0;
  virtual void SetMix(Mix mix) = 0;
  // Line drawing from the current position; a line covers its start pixel
  // and not its end pixel, and leaves the position at its end.
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  // The elliptical arc of the platform's Arc: the ellipse inscribed in the
  // rectangle (left, top)-(right, bottom), counter-clockwise from the radial
  // through (xs, ys) to the radial through (xe, ye); the whole ellipse when
  // the two radials coincide. The current position is neither used nor moved.
  virtual void Arc(int left, int top, int right, int bottom, int xs, int ys,
                   int xe, int ye) = 0;
  // Text in the default font, black on an opaque white background:
  // word-wrapped in the client rectangle from its top-left corner, or at a
  // client pixel.
  virtual void DrawWrappedText(std::u16string_view text) = 0;
  virtual void TextOut(int x, int y, std::u16string_view text) = 0;
  // Fills the whole screen-sized surface with white.
  virtual void Clear() = 0;
  // The main window's current client size.
  virtual int ClientWidth() = 0;
  virtual int ClientHeight() = 0;
};

// Draw events: how the hosts that report what is drawn (vexilon-cli's
// --draw-events, the page's events) name it, so that their reports compare
// line for line. Only lines in copy mode are events; the default pen is
// named as pen 0, which it draws as.
inline int EventPen(int pen) { return pen >= 0 && pen <= 7 ? pen : 0; }
inline std::string LineEvent(int x1, int y1, int x2, int y2, int pen) {
  return "line " + std::to_string(x1) + " " + std::to_string(y1) + " " +
         std::to_string(x2) + " " + std::to_string(y2) + " " +
         std::to_string(EventPen(pen));
}
inline std::string ArcEvent(const int (&v)[8], int pen) {
  std::string line = "arc";
  for (int n : v) line += " " + std::to_string(n);
  return line + " " + std::to_string(EventPen(pen));
}
// What comes before the text of a text event.
inline std::string TextEventHead(int x, int y) {
  return "text " + std::to_string(x) + " " + std::to_string(y) + " ";
}

// A surface that draws nowhere, for hosts without a picture (the fuzzers,
// the unit tests of the language). Its client area is 800 x 600.
class NullCanvas : public Canvas {
 public:
  void SelectPen(int) override {}
  void SetMix(Mix) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Arc(int, int, int, int, int, int, int, int) override {}
  void DrawWrappedText(std::u16string_view) override {}
  void TextOut(int, int, std::u16string_view) override {}
  void Clear() override {}
  int ClientWidth() override { return 800; }
  int ClientHeight() override { return 600; }
};

}  // namespace vex
