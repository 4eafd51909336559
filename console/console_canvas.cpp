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

#include <cmath>
#include <numbers>

#include "console/utf.h"

namespace vex {

namespace {

// The colours of the pens, by pen number (0..7, sprite, default).
const char* const PEN_COLOURS[] = {"#000000", "#0000ff", "#00ff00", "#00ffff",
                                   "#ff0000", "#ff00ff", "#ffff00", "#ffffff",
                                   "#00ff00", "#000000"};

constexpr int CELL_WIDTH = 8;
constexpr int CELL_HEIGHT = 16;

const char* PenColour(int pen) {
  return pen >= 0 && pen <= DEFAULT_PEN ? PEN_COLOURS[pen] : PEN_COLOURS[0];
}

// The pen number a draw event names: the default pen draws as pen 0 does.
int EventPen(int pen) { return pen >= 0 && pen <= 7 ? pen : 0; }

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

void ConsoleCanvas::Event(const std::string& line) {
  if (events_ == nullptr) return;
  WriteUtf8(events_, "draw: " + line + "\n");
}

void ConsoleCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void ConsoleCanvas::Keep(const Mark& m) {
  if (keepPicture_) marks_.push_back(m);
}

void ConsoleCanvas::LineTo(int x, int y) {
  Mark m{Mark::Kind::Line, {x_, y_, x, y, 0, 0, 0, 0}, pen_, mix_};
  x_ = x;
  y_ = y;
  if (mix_ == Mix::Copy) {
    Event("line " + std::to_string(m.v[0]) + " " + std::to_string(m.v[1]) +
          " " + std::to_string(x) + " " + std::to_string(y) + " " +
          std::to_string(EventPen(pen_)));
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
      return;
    }
  }
  Keep(m);
}

void ConsoleCanvas::Arc(int left, int top, int right, int bottom, int xs,
                        int ys, int xe, int ye) {
  Mark m{
      Mark::Kind::Arc, {left, top, right, bottom, xs, ys, xe, ye}, pen_, mix_};
  std::string line = "arc";
  for (int v : m.v) line += " " + std::to_string(v);
  Event(line + " " + std::to_string(EventPen(pen_)));
  Keep(m);
}

void ConsoleCanvas::DrawWrappedText(std::u16string_view text) {
  Event("text 0 0 " + ToUtf8(text));
  if (!keepPicture_) return;
  texts_.emplace_back(text);
  Keep({Mark::Kind::WrappedText, {0, 0, int(texts_.size() - 1)}, pen_, mix_});
}

void ConsoleCanvas::TextOut(int x, int y, std::u16string_view text) {
  Event("text " + std::to_string(x) + " " + std::to_string(y) + " " +
        ToUtf8(text));
  if (!keepPicture_) return;
  texts_.emplace_back(text);
  Keep({Mark::Kind::Text, {x, y, int(texts_.size() - 1)}, pen_, mix_});
}

void ConsoleCanvas::Clear() {
  Event("clear");
  marks_.clear();
  texts_.clear();
}

std::string ConsoleCanvas::SvgMark(const Mark& m) const {
  std::string stroke = std::string("fill=\"none\" stroke=\"") +
                       (m.mix == Mix::Invert ? "#ffffff" : PenColour(m.pen)) +
                       "\" stroke-width=\"1\"";
  if (m.mix != Mix::Copy) stroke += " style=\"mix-blend-mode:difference\"";
  switch (m.kind) {
    case Mark::Kind::Line: {
      std::string d = LineData(m.v);
      return d.empty() ? "" : "<path d=\"" + d + "\" " + stroke + "/>\n";
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
  for (const Mark& m : marks_) out += SvgMark(m);
  out += "</svg>\n";
  bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace vex
