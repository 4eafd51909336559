// The console host's drawing surface.
//
// Design note. The SVG reproduces the window's pixels as closely as vector
// shapes can: crisp one-pixel strokes placed so that a line covers its
// start pixel and stops before its end pixel, arcs on the ellipse inscribed
// in the rectangle's pixels, counter-clockwise as seen on the screen, and
// XOR lines blended by difference, which for the eight pure pen colours on
// black and white is exactly XOR. Text uses an assumed cell of 8 by 16
// pixels (16 wide for East Asian characters), the size of the window's
// default font, behind an opaque white box as the window paints it.
#include "console/console_canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "console/utf.h"

namespace vex {

namespace {

constexpr int CELL_WIDTH = 8;
constexpr int CELL_HEIGHT = 16;

// Tiles of at least 16 pixels, and at most about 16,384 of them.
constexpr int MIN_TILE = 16;
constexpr int64_t MAX_TILES = 1 << 14;

// A pen's colour as SVG writes it, #rrggbb.
std::string PenColour(int pen) {
  uint32_t bgr = PEN_COLOURS[pen >= 0 && pen <= DEFAULT_PEN ? pen : 0];
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", unsigned(bgr & 0xFF),
                unsigned(bgr >> 8 & 0xFF), unsigned(bgr >> 16 & 0xFF));
  return text;
}

// A coordinate for SVG: at most three decimals, no trailing zeros.
std::string Num(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", v);
  std::string s(text);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

// The width of one UTF-16 unit in the assumed font: East Asian wide forms
// take two cells, the second half of a surrogate pair none.
int UnitWidth(char16_t u) {
  if (u >= 0xDC00 && u <= 0xDFFF) return 0;
  bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
              (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xD800 && u <= 0xDBFF) ||
              (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
              (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6);
  return wide ? 2 * CELL_WIDTH : CELL_WIDTH;
}

int TextWidth(std::u16string_view text) {
  int w = 0;
  for (char16_t u : text) w += UnitWidth(u);
  return w;
}

// Text as XML character data; characters XML cannot hold become U+FFFD.
std::string XmlText(std::u16string_view text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    auto b = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (b < 0x20 && c != '\t') {
      out += "\xEF\xBF\xBD";
    } else {
      out += c;
    }
  }
  return out;
}

// One line of text with its white box, its top-left corner at (x, y).
std::string SvgText(int x, int y, std::u16string_view text) {
  int w = TextWidth(text);
  if (w == 0) return "";
  return "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) +
         "\" height=\"" + Num(CELL_HEIGHT) + "\" fill=\"#ffffff\"/>\n" +
         "<text x=\"" + Num(x) + "\" y=\"" + Num(y + CELL_HEIGHT - 3) +
         "\" font-family=\"monospace\" font-size=\"14\" textLength=\"" +
         Num(w) +
         "\" lengthAdjust=\"spacingAndGlyphs\" "
         "xml:space=\"preserve\">" +
         XmlText(text) + "</text>\n";
}

// The path data of a line from pixel (x1, y1) to pixel (x2, y2): a stroke
// along the pixel centres, shifted back half a step so that it covers the
// start pixel and ends before the end pixel. Empty for a line of no length.
std::string LineData(const int* v) {
  double dx = double(v[2]) - v[0];
  double dy = double(v[3]) - v[1];
  double steps = std::max(std::fabs(dx), std::fabs(dy));
  if (steps == 0) return "";
  double bx = 0.5 - 0.5 * dx / steps;
  double by = 0.5 - 0.5 * dy / steps;
  return "M" + Num(v[0] + bx) + " " + Num(v[1] + by) + "L" + Num(v[2] + bx) +
         " " + Num(v[3] + by);
}

// The shape of an arc: the ellipse inscribed in the pixels of the rectangle
// (right and bottom excluded), from the radial through the start point
// counter-clockwise on the screen to the radial through the end point; the
// whole ellipse when the two radials coincide.
std::string ArcShape(const int* v, const std::string& style) {
  double left = std::min(v[0], v[2]), right = std::max(v[0], v[2]);
  double top = std::min(v[1], v[3]), bottom = std::max(v[1], v[3]);
  double cx = (left + right - 1) / 2, cy = (top + bottom - 1) / 2;
  double rx = std::max(0.0, (right - left - 1) / 2);
  double ry = std::max(0.0, (bottom - top - 1) / 2);
  double sx = v[4] - cx, sy = v[5] - cy, ex = v[6] - cx, ey = v[7] - cy;
  bool together = sx * ey - sy * ex == 0 && sx * ex + sy * ey >= 0;
  if (together || rx == 0 || ry == 0) {
    return "<ellipse cx=\"" + Num(cx + 0.5) + "\" cy=\"" + Num(cy + 0.5) +
           "\" rx=\"" + Num(rx) + "\" ry=\"" + Num(ry) + "\" " + style + "/>\n";
  }
  // Angles of the ellipse's parameter; the screen's y grows downwards, so
  // counter-clockwise on the screen is a falling angle.
  double a0 = std::atan2(sy / ry, sx / rx);
  double a1 = std::atan2(ey / ry, ex / rx);
  double span = std::fmod(a0 - a1 + 4 * std::numbers::pi, 2 * std::numbers::pi);
  auto point = [&](double a) {
    return Num(cx + 0.5 + rx * std::cos(a)) + " " +
           Num(cy + 0.5 + ry * std::sin(a));
  };
  return "<path d=\"M" + point(a0) + "A" + Num(rx) + " " + Num(ry) + " 0 " +
         (span > std::numbers::pi ? "1" : "0") + " 0 " + point(a1) + "\" " +
         style + "/>\n";
}

// The words of a text wrapped at width pixels, as DrawText's word break
// does it: a line breaks before a word that would cross the edge.
std::vector<std::u16string_view> WrapLines(std::u16string_view text,
                                           int width) {
  std::vector<std::u16string_view> lines;
  size_t start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t wordEnd = text.find(u' ', pos);
    if (wordEnd == std::u16string_view::npos) wordEnd = text.size();
    size_t next = text.find_first_not_of(u' ', wordEnd);
    if (next == std::u16string_view::npos) next = text.size();
    if (pos > start && TextWidth(text.substr(start, wordEnd - start)) > width) {
      lines.push_back(text.substr(start, pos - start));
      start = pos;
    }
    pos = next;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

ConsoleCanvas::ConsoleCanvas(std::FILE* events, int width, int height,
                             bool keepPicture)
    : events_(events),
      width_(width),
      height_(height),
      keepPicture_(keepPicture) {
  tileSize_ = MIN_TILE;
  auto count = [&](int side) { return (side + tileSize_ - 1) / tileSize_; };
  while (int64_t(count(width)) * count(height) > MAX_TILES) tileSize_ *= 2;
  tileColumns_ = count(width);
  tileRows_ = count(height);
  if (keepPicture_)
    tiles_.assign(size_t(tileColumns_) * size_t(tileRows_), {NO_PEN, 0});
}

size_t ConsoleCanvas::MarkHash::operator()(const Mark& m) const {
  uint64_t h = uint64_t(m.kind) * 31 + uint64_t(m.pen);
  for (int v : m.v) h = (h ^ uint32_t(v)) * 0x100000001B3ull;
  return size_t(h ^ (h >> 29));
}

void ConsoleCanvas::Event(const std::string& line) {
  if (events_ == nullptr) return;
  WriteUtf8(events_, "draw: " + line + "\n");
}

void ConsoleCanvas::Echo(std::u16string_view text) {
  if (echo_ != nullptr) WriteUtf8(echo_, ToUtf8(text) + "\n");
}

void ConsoleCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

// Calls visit(index) for every tile a mark may colour a pixel of (a pixel
// more on every side, for the renderer's rounding). A line is clipped to
// the surface and followed in steps of a tile.
template <typename Visit>
void ConsoleCanvas::ForEachTile(const Mark& m, Visit&& visit) const {
  auto box = [&](double left, double top, double right, double bottom) {
    auto column = [&](double x) {
      return int(
          std::clamp(std::floor(x / tileSize_), 0.0, double(tileColumns_ - 1)));
    };
    auto row = [&](double y) {
      return int(
          std::clamp(std::floor(y / tileSize_), 0.0, double(tileRows_ - 1)));
    };
    for (int r = row(top - 1); r <= row(bottom + 1); ++r)
      for (int c = column(left - 1); c <= column(right + 1); ++c)
        visit(size_t(r) * size_t(tileColumns_) + size_t(c));
  };
  const int* v = m.v;
  switch (m.kind) {
    case Mark::Kind::Line: {
      double dx = double(v[2]) - v[0], dy = double(v[3]) - v[1];
      // The part from t0 to t1 of the line lies over the surface; clip
      // keeps p * t <= q.
      double t0 = 0, t1 = 1;
      auto clip = [&](double p, double q) {
        if (p == 0) return q >= 0;
        (p < 0 ? t0 : t1) = p < 0 ? std::max(t0, q / p) : std::min(t1, q / p);
        return t0 <= t1;
      };
      if (!clip(-dx, v[0] + 1.0) || !clip(dx, width_ + 1.0 - v[0]) ||
          !clip(-dy, v[1] + 1.0) || !clip(dy, height_ + 1.0 - v[1]))
        return;
      double length = std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0);
      int steps = std::max(1, int(std::ceil(length / tileSize_)));
      for (int i = 0; i < steps; ++i) {
        double a = t0 + (t1 - t0) * i / steps;
        double b = t0 + (t1 - t0) * (i + 1) / steps;
        double xa = v[0] + dx * a, xb = v[0] + dx * b;
        double ya = v[1] + dy * a, yb = v[1] + dy * b;
        box(std::min(xa, xb), std::min(ya, yb), std::max(xa, xb),
            std::max(ya, yb));
      }
      return;
    }
    case Mark::Kind::Arc:
      box(std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]),
          std::max(v[1], v[3]));
      return;
    case Mark::Kind::Text:
      box(v[0], v[1], v[0] + TextWidth(texts_[size_t(v[2])]),
          v[1] + CELL_HEIGHT);
      return;
    case Mark::Kind::WrappedText:
      box(0, 0, width_, height_);
      return;
  }
}

// A stroke leaves its tiles to its pen; anything else leaves them to no pen.
void ConsoleCanvas::Touch(const Mark& m, uint64_t number) {
  int pen = m.IsStroke() ? m.pen : NO_PEN;
  ForEachTile(m, [&](size_t i) {
    if (tiles_[i].pen != pen || pen == NO_PEN) tiles_[i] = {pen, number};
  });
}

// Whether drawing the stroke m again would leave every pixel as it is: an
// identical stroke was kept, and since then only its pen has drawn near it
// (no XOR line waits on top either, which m would cover).
bool ConsoleCanvas::ChangesNothing(const Mark& m) const {
  if (touchedEnd_ != marks_.size()) return false;
  auto kept = strokes_.find(m);
  if (kept == strokes_.end()) return false;
  bool unchanged = true;
  ForEachTile(m, [&](size_t i) {
    unchanged =
        unchanged && tiles_[i].pen == m.pen && tiles_[i].since <= kept->second;
  });
  return unchanged;
}

void ConsoleCanvas::Keep(const Mark& m) {
  if (!keepPicture_ || (m.IsStroke() && ChangesNothing(m))) return;
  marks_.push_back(m);
  ++version_;
  if (m.kind == Mark::Kind::Line && m.mix != Mix::Copy) return;
  for (; touchedEnd_ < marks_.size(); ++touchedEnd_)
    Touch(marks_[touchedEnd_], ++markCount_);
  if (m.IsStroke()) strokes_[m] = markCount_;
}

void ConsoleCanvas::LineTo(int x, int y) {
  Mark m{Mark::Kind::Line, {x_, y_, x, y, 0, 0, 0, 0}, pen_, mix_};
  x_ = x;
  y_ = y;
  if (mix_ == Mix::Copy) {
    if (events_ != nullptr) Event(LineEvent(m.v[0], m.v[1], x, y, pen_));
    Keep(m);
    return;
  }
  // XOR lines commute with one another, so an identical one among the XOR
  // lines on top cancels against this one.
  for (auto it = marks_.rbegin(); it != marks_.rend(); ++it) {
    if (it->kind != Mark::Kind::Line || it->mix == Mix::Copy) break;
    if (it->mix == m.mix && it->pen == m.pen &&
        std::equal(m.v, m.v + 4, it->v)) {
      marks_.erase(std::next(it).base());
      ++version_;
      return;
    }
  }
  Keep(m);
}

void ConsoleCanvas::Arc(int left, int top, int right, int bottom, int xs,
                        int ys, int xe, int ye) {
  Mark m{
      Mark::Kind::Arc, {left, top, right, bottom, xs, ys, xe, ye}, pen_, mix_};
  if (events_ != nullptr) Event(ArcEvent(m.v, pen_));
  Keep(m);
}

void ConsoleCanvas::DrawWrappedText(std::u16string_view text) {
  if (events_ != nullptr) Event(TextEventHead(0, 0) + ToUtf8(text));
  Echo(text);
  if (!keepPicture_) return;
  texts_.emplace_back(text);
  Keep({Mark::Kind::WrappedText, {0, 0, int(texts_.size() - 1)}, pen_, mix_});
}

void ConsoleCanvas::TextOut(int x, int y, std::u16string_view text) {
  if (events_ != nullptr) Event(TextEventHead(x, y) + ToUtf8(text));
  Echo(text);
  if (!keepPicture_) return;
  texts_.emplace_back(text);
  Keep({Mark::Kind::Text, {x, y, int(texts_.size() - 1)}, pen_, mix_});
}

// The tiles keep what they know: only strokes kept after the clear are
// looked up in them, and those are younger.
void ConsoleCanvas::Clear() {
  Event("clear");
  ++version_;
  marks_.clear();
  texts_.clear();
  strokes_.clear();
  touchedEnd_ = 0;
}

// The element of the mark at index i, with i moved past what it drew. A line
// in copy mode takes the copy-mode lines of its pen that follow into one
// group, which holds the stroke's attributes once. Each line stays a path of
// its own: a path of several lines is drawn by cairo with other pixels than
// its lines one by one. XOR lines stay apart, as each blends with what lies
// under it.
std::string ConsoleCanvas::SvgMarks(size_t& i) const {
  const Mark& m = marks_[i++];
  std::string stroke =
      std::string("fill=\"none\" stroke=\"") +
      (m.mix == Mix::Invert ? std::string("#ffffff") : PenColour(m.pen)) +
      "\" stroke-width=\"1\"";
  if (m.mix != Mix::Copy) stroke += " style=\"mix-blend-mode:difference\"";
  switch (m.kind) {
    case Mark::Kind::Line: {
      std::vector<std::string> lines{LineData(m.v)};
      auto joins = [&](const Mark& next) {
        return next.kind == Mark::Kind::Line && next.mix == Mix::Copy &&
               next.pen == m.pen;
      };
      if (m.mix == Mix::Copy)
        for (; i < marks_.size() && joins(marks_[i]); ++i)
          lines.push_back(LineData(marks_[i].v));
      std::erase(lines, "");
      if (lines.size() == 1)
        return "<path d=\"" + lines[0] + "\" " + stroke + "/>\n";
      std::string group;
      for (const std::string& d : lines) group += "<path d=\"" + d + "\"/>\n";
      return lines.empty() ? "" : "<g " + stroke + ">\n" + group + "</g>\n";
    }
    case Mark::Kind::Arc:
      return ArcShape(m.v, stroke);
    case Mark::Kind::Text:
      return SvgText(m.v[0], m.v[1], texts_[size_t(m.v[2])]);
    case Mark::Kind::WrappedText: {
      std::string out;
      int y = 0;
      for (std::u16string_view line :
           WrapLines(texts_[size_t(m.v[2])], width_)) {
        out += SvgText(0, y, line);
        y += CELL_HEIGHT;
      }
      return out;
    }
  }
  return "";
}

bool ConsoleCanvas::WriteSvg(const std::string& path) const {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::string out =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(width_) +
      "\" height=\"" + Num(height_) + "\" viewBox=\"0 0 " + Num(width_) + " " +
      Num(height_) + "\" shape-rendering=\"crispEdges\">\n" + "<rect width=\"" +
      Num(width_) + "\" height=\"" + Num(height_) + "\" fill=\"#ffffff\"/>\n";
  for (size_t i = 0; i < marks_.size();) out += SvgMarks(i);
  out += "</svg>\n";
  bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace vex
