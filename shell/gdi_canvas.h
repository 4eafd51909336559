// The two drawing surfaces of the main window, drawn with GDI.
//
// Design note. Every operation is made on the window surface first (the
// WindowDC a run holds, the paint DC of the first paint, or the DC of one
// rubber band step) and then on the BackBuffer, a screen-sized memory DC the
// window is repainted from. One lock serialises the operations with the
// repaint copy: GDI lets only one thread at a time use a DC and quietly fails
// the call of a second one, so an unguarded repaint could drop a line from
// the BackBuffer. The lock is recursive so that the window thread can keep
// the surfaces for a whole rubber band step while the core draws through the
// same Canvas. Each DC gets back the objects it held before ours, in reverse
// order of selection, before it is released or deleted.
#pragma once

#include <mutex>

#include "core/canvas.h"
#include "shell/win32.h"

namespace vexshell {

class GdiCanvas final : public vex::Canvas {
 public:
  GdiCanvas() = default;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;
  // Releases the BackBuffer (the pens must be deleted already).
  ~GdiCanvas() override;

  // Creates the BackBuffer for window: screen-sized, compatible with the
  // window's DC, white brush selected and filled white. False on failure.
  bool CreateBackBuffer(HWND window);
  // Creates the sprite pen, then the pen table 0 to 7. False on failure
  // (whatever was created is deleted by DeletePens).
  bool CreatePens();
  // Gives the BackBuffer its own pen back, then deletes the sprite pen and
  // the pen table in index order.
  void DeletePens();

  // Makes dc the window surface (nullptr: the BackBuffer alone). The DC's
  // original pen, mix mode and brush are put back when it is replaced.
  void AttachWindowDc(HDC dc);
  // Runs draw with dc as the window surface in place of the run's WindowDC,
  // keeping the surfaces for the whole call (the first paint and a rubber
  // band step draw on a DC of their own). dc gets its objects back after.
  template <typename Draw>
  void WithWindowSurface(HDC dc, Draw draw);
  // Copies the screen-sized BackBuffer onto target at (0, 0).
  void Repaint(HDC target);
  // The surface lock, for a caller that draws several steps as one.
  std::recursive_mutex& Lock() { return lock_; }

  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }

  // vex::Canvas.
  void SelectPen(int pen) override;
  void SetMix(vex::Mix mix) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe,
           int ye) override;
  void DrawWrappedText(std::u16string_view text) override;
  void TextOut(int x, int y, std::u16string_view text) override;
  void Clear() override;
  int ClientWidth() override;
  int ClientHeight() override;

 private:
  // Applies draw to the window surface (when there is one), then to the
  // BackBuffer, under the lock.
  template <typename Draw>
  void OnBoth(Draw draw);
  // Puts back what the window surface held before it was attached.
  void DetachWindowDc();

  std::recursive_mutex lock_;
  HWND window_ = nullptr;
  int screenWidth_ = 0;
  int screenHeight_ = 0;

  HDC back_ = nullptr;
  HBITMAP backBitmap_ = nullptr;
  HGDIOBJ backOldBitmap_ = nullptr;
  HGDIOBJ backOldBrush_ = nullptr;
  HGDIOBJ backOldPen_ = nullptr;

  HDC windowDc_ = nullptr;
  HGDIOBJ windowOldPen_ = nullptr;
  int windowOldMix_ = 0;

  // Index 0..7: the pen table; vex::SPRITE_PEN: the sprite pen.
  HPEN pens_[vex::SPRITE_PEN + 1] = {};
};

template <typename Draw>
void GdiCanvas::WithWindowSurface(HDC dc, Draw draw) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  HDC runDc = windowDc_;
  HGDIOBJ runOldPen = windowOldPen_;
  int runOldMix = windowOldMix_;
  windowDc_ = nullptr;  // the run's DC keeps its pen and mix mode
  AttachWindowDc(dc);
  draw();
  DetachWindowDc();
  windowDc_ = runDc;
  windowOldPen_ = runOldPen;
  windowOldMix_ = runOldMix;
}

}  // namespace vexshell
