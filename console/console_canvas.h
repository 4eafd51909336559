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
//
// A program that draws for ever mostly draws again what is there: a line or
// arc identical to one kept before, with the same pen, changes no pixel when
// everything drawn since in its neighbourhood was drawn with that pen too,
// so it is not kept. The neighbourhood is a grid of tiles, each of which
// remembers since when only one pen has drawn on it; that keeps the picture
// exact (another pen's line over the old one makes the new one count) and
// its size bounded by what the surface can show.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/canvas.h"

namespace vex {

class ConsoleCanvas : public Canvas {
 public:
  // events: where draw events go (nullptr: none); width, height: the client
  // size; keepPicture: whether to keep the drawing for WriteSvg (a program
  // drawing without end would otherwise grow it without end).
  ConsoleCanvas(std::FILE* events, int width, int height,
                bool keepPicture = true);

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

  // Where text drawn on the surface is also shown (nullptr: nowhere), so a
  // program's output can be followed in a terminal.
  void EchoText(std::FILE* echo) { echo_ = echo; }

  // Writes the surface as an SVG file; false when it cannot be written.
  // Consecutive lines of one pen share one group element.
  bool WriteSvg(const std::string& path) const;
  // Grows whenever the picture WriteSvg would write changes.
  uint64_t Version() const { return version_; }

 private:
  // One primitive on the surface since the last clear.
  struct Mark {
    enum class Kind { Line, Arc, Text, WrappedText } kind;
    int v[8];  // line: x1 y1 x2 y2; arc: its eight values; text: x y, index
    int pen;
    Mix mix;
    bool operator==(const Mark&) const = default;
    // A line or arc in copy mode: its pixels take its pen's colour.
    bool IsStroke() const {
      return mix == Mix::Copy && (kind == Kind::Line || kind == Kind::Arc);
    }
  };
  struct MarkHash {
    size_t operator()(const Mark& m) const;
  };
  // What has drawn on a tile: since the mark numbered `since`, only strokes
  // of pen `pen` (NO_PEN: something else drew there last).
  struct Tile {
    int pen;
    uint64_t since;
  };
  static constexpr int NO_PEN = -1;

  void Event(const std::string& line);
  void Echo(std::u16string_view text);
  void Keep(const Mark& m);
  bool ChangesNothing(const Mark& m) const;
  void Touch(const Mark& m, uint64_t number);
  template <typename Visit>
  void ForEachTile(const Mark& m, Visit&& visit) const;
  std::string SvgMarks(size_t& i) const;

  std::FILE* events_;
  int width_;
  int height_;
  int pen_ = DEFAULT_PEN;
  Mix mix_ = Mix::Copy;
  int x_ = 0;
  int y_ = 0;
  bool keepPicture_;
  std::FILE* echo_ = nullptr;
  std::vector<Mark> marks_;
  std::vector<std::u16string> texts_;
  // The marks before this index are accounted for in the tiles; XOR lines on
  // top count only once something is drawn over them, as until then they
  // may still cancel out.
  size_t touchedEnd_ = 0;
  uint64_t markCount_ = 0;
  uint64_t version_ = 0;
  std::unordered_map<Mark, uint64_t, MarkHash> strokes_;  // stroke → number
  int tileSize_;
  int tileColumns_;
  int tileRows_;
  std::vector<Tile> tiles_;
};

}  // namespace vex
