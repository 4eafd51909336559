// The page's drawing surface: the back buffer as pixels in shared memory.
//
// Design note. The window and its back buffer are one surface here: a
// screen-sized buffer of RGBA pixels that the page copies onto its canvas at
// every animation frame in which it changed, as the window's repaint copies
// the back buffer. The interpreter's thread draws into it; the page's thread
// draws the rubber band into it through a canvas of its own (its own pen,
// mix and position), while the program waits for that click. Nothing
// serialises the page's copy with the drawing: a frame may show a line half
// drawn, and the next frame shows it whole.
//
// Lines, arcs and the two mix modes are rasterised here, so every pixel is
// exact: a line covers its start pixel and not its end pixel, XOR with the
// sprite's pen and inversion undo themselves when drawn twice. Text is
// rendered by the browser's fonts (web_canvas.cpp) and copied in opaque.
//
// For tests the surface can report what it draws, in the lines of
// vexilon-cli --draw-events, so the two hosts can be compared.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/canvas.h"

namespace vexweb {

// The pixels of the back buffer and the client size shown of them.
class Pixels {
 public:
  Pixels(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The buffer, row by row, 0xAABBGGRR per pixel (the byte order of a
  // canvas's image data).
  const uint32_t* Data() const { return data_.data(); }
  // Changes with every drawing operation; the page repaints when it has
  // moved since the last frame.
  uint32_t Version() const { return version_.load(std::memory_order_relaxed); }

  // The client area: set by the page's thread, read by both.
  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_.load(); }
  int ClientHeight() const { return clientHeight_.load(); }

  // Drawing, clipped to the buffer. colour is 0x00BBGGRR.
  void Line(int x1, int y1, int x2, int y2, vex::Mix mix, uint32_t colour);
  void Arc(const int v[8], vex::Mix mix, uint32_t colour);
  // Copies an opaque image (0xAABBGGRR rows of width w) to (x, y).
  void Blit(int x, int y, int w, int h, const uint32_t* image);
  void Fill(uint32_t colour);

 private:
  void Plot(int x, int y, vex::Mix mix, uint32_t colour);
  void Touched() { version_.fetch_add(1, std::memory_order_relaxed); }

  int width_;
  int height_;
  std::vector<uint32_t> data_;
  std::atomic<uint32_t> version_{0};
  std::atomic<int> clientWidth_;
  std::atomic<int> clientHeight_;
};

// One user of the pixels as the core's Canvas: its own pen, mix mode and
// drawing position, as each device context of the window has its own.
class WebCanvas final : public vex::Canvas {
 public:
  explicit WebCanvas(Pixels& pixels) : p_(pixels) {}

  // Starts reporting draw events (the lines of vexilon-cli --draw-events).
  void ReportEvents() { reporting_ = true; }
  // The events reported since the last call, one per line.
  std::u16string TakeEvents();

  void SelectPen(int pen) override { pen_ = pen; }
  void SetMix(vex::Mix mix) override { mix_ = mix; }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe,
           int ye) override;
  void DrawWrappedText(std::u16string_view text) override;
  void TextOut(int x, int y, std::u16string_view text) override;
  void Clear() override;
  int ClientWidth() override { return p_.ClientWidth(); }
  int ClientHeight() override { return p_.ClientHeight(); }

 private:
  void Text(int x, int y, int wrapWidth, std::u16string_view text);
  void Event(const std::string& head, std::u16string_view text = {});
  uint32_t Colour() const;

  Pixels& p_;
  int pen_ = vex::DEFAULT_PEN;
  vex::Mix mix_ = vex::Mix::Copy;
  int x_ = 0;
  int y_ = 0;
  bool reporting_ = false;
  std::mutex eventsLock_;  // the events are taken by the page's thread
  std::u16string events_;
};

}  // namespace vexweb
