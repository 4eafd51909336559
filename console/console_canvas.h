// The console host's drawing surface: reports what is drawn as draw events
// and keeps it for an SVG picture of the window.
//
// Design note. There are no pixels here. Each primitive drawn in copy mode
// is reported as one event line, in client pixels, and (when a picture is
// wanted) kept in painting order until the next clear, so the SVG shows
// later drawing over earlier drawing as the window would (a white pen erases
// what it crosses). XOR and invert lines (the turtle sprite, the rubber
// band) are not reported; since drawing the same XOR line twice restores
// every pixel, such a line cancels an identical one among the XOR lines
// drawn last, so a sprite that was erased leaves nothing behind and a
// visible one stays on top.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/canvas.h"

namespace vex {

class ConsoleCanvas : public Canvas {
 public:
  // events: where draw events go (nullptr: none); width, height: the client
  // size; keepPicture: whether to keep the drawing for WriteSvg (a program
  // drawing without end would otherwise grow it without end).
  ConsoleCanvas(std::FILE* events, int width, int height,
                bool keepPicture = true)
      : events_(events),
        width_(width),
        height_(height),
        keepPicture_(keepPicture) {}

  void SelectPen(int pen) override { pen_ = pen; }
  void SetMix(Mix mix) override { mix_ = mix; }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe,
           int ye) override;
  void DrawWrappedText(std::u16string_view text) override;
  void TextOut(int x, int y, std::u16string_view text) override;
  void Clear() override;
  int ClientWidth() override { return width_; }
  int ClientHeight() override { return height_; }

  // Writes the surface as an SVG file; false when it cannot be written.
  bool WriteSvg(const std::string& path) const;

 private:
  // One primitive on the surface since the last clear.
  struct Mark {
    enum class Kind { Line, Arc, Text, WrappedText } kind;
    int v[8];  // line: x1 y1 x2 y2; arc: its eight values; text: x y, index
    int pen;
    Mix mix;
  };

  void Event(const std::string& line);
  void Keep(const Mark& m);
  std::string SvgMark(const Mark& m) const;

  std::FILE* events_;
  int width_;
  int height_;
  int pen_ = DEFAULT_PEN;
  Mix mix_ = Mix::Copy;
  int x_ = 0;
  int y_ = 0;
  bool keepPicture_;
  std::vector<Mark> marks_;
  std::vector<std::u16string> texts_;
};

}  // namespace vex
