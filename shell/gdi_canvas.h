// The drawing surfaces of the main window, drawn with GDI.
//
// Design note. GdiSurfaces owns what lives as long as the window: the
// BackBuffer (a screen-sized memory DC the window is repainted from) and the
// nine pens. A GdiCanvas is one pair of surfaces as the core sees them: a
// DC of the window (the WindowDC a run holds, the paint DC of the first
// paint, or the DC of one rubber band step) and the BackBuffer. Every
// operation is made on the window DC first and then on the BackBuffer.
//
// One lock serialises each operation with the repaint copy: GDI lets only
// one thread at a time use a DC and quietly fails the call of a second one,
// so an unguarded repaint could drop a line from the BackBuffer. GDI may
// also hold a thread's calls back in a batch; the batch is flushed before
// the lock is let go, so no call of one side lands inside the other's. The
// lock is held for one operation only, never while the core runs, so it
// nests inside Interp::inputLock on both threads. Each DC gets back the
// objects it held before ours, in reverse order of selection, before it is
// released.
#pragma once

#include <mutex>

#include "core/canvas.h"
#include "shell/win32.h"

namespace vexshell {

// A device context of a window, released with the object.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

class GdiSurfaces {
 public:
  GdiSurfaces() = default;
  GdiSurfaces(const GdiSurfaces&) = delete;
  GdiSurfaces& operator=(const GdiSurfaces&) = delete;
  // Releases the BackBuffer (the pens must be deleted already).
  ~GdiSurfaces();

  // Creates the BackBuffer for window: screen-sized, compatible with the
  // window's DC, white brush selected and filled white. False on failure.
  bool CreateBackBuffer(HWND window);
  // Creates the sprite pen, then the pen table 0 to 7. False on failure
  // (whatever was created is deleted by DeletePens).
  bool CreatePens();
  // Gives the BackBuffer its own pen back, then deletes the sprite pen and
  // the pen table in index order.
  void DeletePens();
  // Copies the screen-sized BackBuffer onto target at (0, 0).
  void Repaint(HDC target);

 private:
  friend class GdiCanvas;

  std::mutex lock_;
  HWND window_ = nullptr;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  HDC back_ = nullptr;
  HBITMAP backBitmap_ = nullptr;
  HGDIOBJ backOldBitmap_ = nullptr;
  HGDIOBJ backOldBrush_ = nullptr;
  HGDIOBJ backOldPen_ = nullptr;
  // Index 0..7: the pen table; vex::SPRITE_PEN: the sprite pen.
  HPEN pens_[vex::SPRITE_PEN + 1] = {};
};

class GdiCanvas final : public vex::Canvas {
 public:
  // The BackBuffer of surfaces with windowDc (nullptr: none) as the window
  // surface.
  explicit GdiCanvas(GdiSurfaces& surfaces, HDC windowDc = nullptr);
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;
  // Gives the window DC back its pen and mix mode.
  ~GdiCanvas() override { Attach(nullptr); }

  // Makes dc the window surface (nullptr: the BackBuffer alone). The DC
  // replaced gets its original pen and mix mode back.
  void Attach(HDC dc);

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
  // Applies draw to the window DC (when there is one), then to the
  // BackBuffer, under the surfaces' lock.
  template <typename Draw>
  void OnBoth(Draw draw);

  GdiSurfaces& s_;
  HDC windowDc_ = nullptr;
  HGDIOBJ windowOldPen_ = nullptr;
  int windowOldMix_ = 0;
};

}  // namespace vexshell
