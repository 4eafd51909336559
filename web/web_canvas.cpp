// The page's drawing surface; see web_canvas.h.
//
// Design note. Every shape is clipped before it is walked: a program may
// draw from a turtle millions of pixels away, and only the pixels on the
// buffer cost anything. A line is walked along its major axis, its minor
// coordinate computed at each step from the ends, so a clipped line keeps
// exactly the pixels of the whole one. An ellipse is found column by column
// and row by row over the part of its box on the buffer, which leaves no
// gap however flat it is, and each pixel is kept when its direction from
// the centre lies between the two radials.
#include "web/web_canvas.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace vexweb {

namespace {

constexpr uint32_t OPAQUE = 0xFF000000;
constexpr uint32_t WHITE = 0xFFFFFFFF;
// The height of a line of text: the window's default font is 16 pixels.
constexpr int LINE_HEIGHT = 16;

// The longest text image made: wider than any screen, and well inside what
// a canvas may be.
constexpr int64_t TEXT_LIMIT = 16384;

std::u16string Ascii(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

// Renders text black on white in the page's font, lineHeight pixels to a
// line: a new image (malloc'd, 0xAABBGGRR) no larger than maxWidth x
// maxHeight, its size in size[0..1]; null when nothing is to be seen. With
// wrapWidth > 0 the words are wrapped as the window's word break does: a
// line breaks before a word that would cross the edge.
// clang-format off
EM_JS(uint32_t*, RenderText, (const char16_t* text, int units, int lineHeight,
                              int wrapWidth, int maxWidth, int maxHeight,
                              int* size), {
  try {
    let s = "";
    for (let i = 0; i < units; ++i) s += String.fromCharCode(HEAPU16[(text >> 1) + i]);
    const font = "14px monospace";
    const canvas = new OffscreenCanvas(1, 1);
    const g = canvas.getContext("2d");
    g.font = font;
    const width = t => g.measureText(t).width;
    let lines = [s];
    if (wrapWidth > 0) {
      lines = [];
      let line = "";
      for (const word of s.split(/(?<= )(?=[^ ])/)) {
        if (line !== "" && width(line + word.trimEnd()) > wrapWidth) {
          lines.push(line);
          line = "";
        }
        line += word;
      }
      if (line !== "") lines.push(line);
    }
    const w = Math.min(maxWidth, Math.ceil(Math.max(0, ...lines.map(width))));
    const h = Math.min(maxHeight, lineHeight * lines.length);
    if (w <= 0 || h <= 0) return 0;
    canvas.width = w;
    canvas.height = h;
    g.fillStyle = "#fff";
    g.fillRect(0, 0, w, h);
    g.fillStyle = "#000";
    g.font = font;
    g.textBaseline = "top";
    lines.forEach((t, i) => g.fillText(t, 0, lineHeight * i + 1));
    const image = g.getImageData(0, 0, w, h).data;
    const out = _malloc(image.length);
    if (!out) return 0;
    HEAPU8.set(image, out);
    HEAP32[size >> 2] = w;
    HEAP32[(size >> 2) + 1] = h;
    return out;
  } catch (e) {
    return 0;
  }
});
// clang-format on

Pixels::Pixels(int width, int height)
    : width_(width),
      height_(height),
      data_(size_t(width) * size_t(height), WHITE),
      clientWidth_(width),
      clientHeight_(height) {}

void Pixels::SetClientSize(int width, int height) {
  clientWidth_ = std::clamp(width, 1, width_);
  clientHeight_ = std::clamp(height, 1, height_);
}

void Pixels::Plot(int x, int y, vex::Mix mix, uint32_t colour) {
  uint32_t& p = data_[size_t(y) * size_t(width_) + size_t(x)];
  switch (mix) {
    case vex::Mix::Copy:
      p = OPAQUE | colour;
      break;
    case vex::Mix::XorPen:
      p ^= colour;
      break;
    case vex::Mix::Invert:
      p ^= 0x00FFFFFF;
      break;
  }
}

void Pixels::Line(int x1, int y1, int x2, int y2, vex::Mix mix,
                  uint32_t colour) {
  int64_t dx = int64_t{x2} - x1;
  int64_t dy = int64_t{y2} - y1;
  if (dx == 0 && dy == 0) return;
  bool xMajor = std::llabs(dx) >= std::llabs(dy);
  // Along the major axis from its start (covered) to its end (not), the
  // steps that lie on the buffer.
  int64_t from = xMajor ? x1 : y1;
  int64_t length = xMajor ? dx : dy;
  int64_t minorLength = xMajor ? dy : dx;
  int64_t side = xMajor ? width_ : height_;
  int64_t step = length > 0 ? 1 : -1;
  int64_t first = std::clamp<int64_t>(0 - from, std::min<int64_t>(0, length),
                                      std::max<int64_t>(0, length));
  int64_t last =
      std::clamp<int64_t>(side - 1 - from, std::min<int64_t>(0, length),
                          std::max<int64_t>(0, length));
  if (step < 0) std::swap(first, last);
  int64_t minorFrom = xMajor ? y1 : x1;
  int64_t minorSide = xMajor ? height_ : width_;
  for (int64_t i = first; i * step <= last * step && i != length; i += step) {
    int64_t major = from + i;
    // In double precision: the product of two 33-bit differences does not
    // fit 64 bits, and the error is far below a pixel.
    int64_t minor = minorFrom + std::llround(double(i) * double(minorLength) /
                                             double(length));
    if (major < 0 || major >= side || minor < 0 || minor >= minorSide) continue;
    if (xMajor) {
      Plot(int(major), int(minor), mix, colour);
    } else {
      Plot(int(minor), int(major), mix, colour);
    }
  }
  Touched();
}

void Pixels::Arc(const int v[8], vex::Mix mix, uint32_t colour) {
  double left = std::min(v[0], v[2]), right = std::max(v[0], v[2]);
  double top = std::min(v[1], v[3]), bottom = std::max(v[1], v[3]);
  // The ellipse inscribed in the pixels of the box, right and bottom edge
  // excluded, in pixel centres.
  double cx = (left + right - 1) / 2, cy = (top + bottom - 1) / 2;
  double rx = std::max(0.0, (right - left - 1) / 2);
  double ry = std::max(0.0, (bottom - top - 1) / 2);
  // Directions as on the screen, counter-clockwise: y grows downwards.
  auto angle = [&](double x, double y) { return std::atan2(cy - y, x - cx); };
  double sx = v[4] - cx, sy = v[5] - cy, ex = v[6] - cx, ey = v[7] - cy;
  bool whole = sx * ey - sy * ex == 0 && sx * ex + sy * ey >= 0;
  double a0 = angle(v[4], v[5]);
  constexpr double TURN = 2 * std::numbers::pi;
  double span = std::fmod(angle(v[6], v[7]) - a0 + 2 * TURN, TURN);
  std::vector<std::pair<int, int>> points;
  auto keep = [&](double x, double y) {
    auto px = static_cast<int64_t>(std::lround(x));
    auto py = static_cast<int64_t>(std::lround(y));
    if (px < 0 || px >= width_ || py < 0 || py >= height_) return;
    if (!whole && std::fmod(angle(double(px), double(py)) - a0 + 2 * TURN,
                            TURN) > span + 1e-9)
      return;
    points.emplace_back(int(px), int(py));
  };
  // Column by column, then row by row, over the part on the buffer.
  auto across = [&](double lo, double hi, int side, double c, double r,
                    double rOther, double cOther, bool columns) {
    int from = int(std::clamp(std::ceil(lo), 0.0, double(side)));
    int to = int(std::clamp(std::floor(hi), -1.0, double(side - 1)));
    for (int i = from; i <= to; ++i) {
      double t = r == 0 ? 0 : (i - c) / r;
      double d = rOther * std::sqrt(std::max(0.0, 1 - t * t));
      for (double o : {cOther - d, cOther + d}) {
        columns ? keep(i, o) : keep(o, i);
      }
    }
  };
  across(cx - rx, cx + rx, width_, cx, rx, ry, cy, true);
  across(cy - ry, cy + ry, height_, cy, ry, rx, cx, false);
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  for (auto [x, y] : points) Plot(x, y, mix, colour);
  Touched();
}

void Pixels::Blit(int x, int y, int w, int h, const uint32_t* image) {
  // The image's rows and columns that land on the buffer.
  auto part = [](int at, int size, int side) {
    return std::pair<int64_t, int64_t>{
        std::max<int64_t>(0, -int64_t{at}),
        std::min<int64_t>(size, int64_t{side} - at)};
  };
  auto [top, bottom] = part(y, h, height_);
  auto [left, right] = part(x, w, width_);
  for (int64_t row = top; row < bottom; ++row) {
    for (int64_t col = left; col < right; ++col) {
      data_[size_t(y + row) * size_t(width_) + size_t(x + col)] =
          OPAQUE | image[size_t(row) * size_t(w) + size_t(col)];
    }
  }
  Touched();
}

void Pixels::Fill(uint32_t colour) {
  std::fill(data_.begin(), data_.end(), colour);
  Touched();
}

std::u16string WebCanvas::TakeEvents() {
  std::lock_guard<std::mutex> hold(eventsLock_);
  return std::exchange(events_, {});
}

void WebCanvas::Event(const std::string& head, std::u16string_view text) {
  if (!reporting_) return;
  std::lock_guard<std::mutex> hold(eventsLock_);
  events_ += Ascii(head);
  events_ += text;
  events_ += u'\n';
}

uint32_t WebCanvas::Colour() const {
  return vex::PEN_COLOURS[pen_ >= 0 && pen_ <= vex::DEFAULT_PEN ? pen_ : 0];
}

void WebCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void WebCanvas::LineTo(int x, int y) {
  // Only copy-mode lines are events: the sprite and the rubber band come
  // and go without changing the picture.
  if (reporting_ && mix_ == vex::Mix::Copy) {
    Event(vex::LineEvent(x_, y_, x, y, pen_));
  }
  p_.Line(x_, y_, x, y, mix_, Colour());
  x_ = x;
  y_ = y;
}

void WebCanvas::Arc(int left, int top, int right, int bottom, int xs, int ys,
                    int xe, int ye) {
  const int v[8] = {left, top, right, bottom, xs, ys, xe, ye};
  if (reporting_) Event(vex::ArcEvent(v, pen_));
  p_.Arc(v, mix_, Colour());
}

void WebCanvas::Text(int x, int y, int wrapWidth, std::u16string_view text) {
  int size[2] = {0, 0};
  auto room = [](int side, int at) {
    return int(std::clamp<int64_t>(int64_t{side} - at, 0, TEXT_LIMIT));
  };
  uint32_t* image =
      RenderText(text.data(), int(text.size()), LINE_HEIGHT, wrapWidth,
                 room(p_.Width(), x), room(p_.Height(), y), size);
  if (image == nullptr) return;
  p_.Blit(x, y, size[0], size[1], image);
  std::free(image);
}

void WebCanvas::DrawWrappedText(std::u16string_view text) {
  Event(vex::TextEventHead(0, 0), text);
  Text(0, 0, std::max(1, p_.ClientWidth()), text);
}

void WebCanvas::TextOut(int x, int y, std::u16string_view text) {
  if (reporting_) Event(vex::TextEventHead(x, y), text);
  Text(x, y, 0, text);
}

void WebCanvas::Clear() {
  Event("clear");
  p_.Fill(WHITE);
}

}  // namespace vexweb
