// GDI implementation of the drawing surfaces; see gdi_canvas.h.
#include "shell/gdi_canvas.h"

namespace vexshell {

namespace {

// Holds the surfaces' lock for one operation and flushes this thread's GDI
// batch before letting it go.
class SurfaceLock {
 public:
  explicit SurfaceLock(std::mutex& lock) : hold_(lock) {}
  ~SurfaceLock() { GdiFlush(); }
  SurfaceLock(const SurfaceLock&) = delete;
  SurfaceLock& operator=(const SurfaceLock&) = delete;

 private:
  std::lock_guard<std::mutex> hold_;
};

int RopOf(vex::Mix mix) {
  switch (mix) {
    case vex::Mix::XorPen:
      return R2_XORPEN;
    case vex::Mix::Invert:
      return R2_NOT;
    case vex::Mix::Copy:
      break;
  }
  return R2_COPYPEN;
}

}  // namespace

GdiSurfaces::~GdiSurfaces() {
  if (back_ == nullptr) return;
  SelectObject(back_, backOldBrush_);
  SelectObject(back_, backOldBitmap_);
  DeleteObject(backBitmap_);
  DeleteDC(back_);
}

bool GdiSurfaces::CreateBackBuffer(HWND window) {
  window_ = window;
  screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
  screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
  {
    WindowDc dc(window);
    if (dc.get() == nullptr) return false;
    back_ = CreateCompatibleDC(dc.get());
    if (back_ != nullptr) {
      backBitmap_ =
          CreateCompatibleBitmap(dc.get(), screenWidth_, screenHeight_);
    }
  }
  if (backBitmap_ == nullptr) {
    if (back_ != nullptr) DeleteDC(back_);
    back_ = nullptr;
    return false;
  }
  backOldBitmap_ = SelectObject(back_, backBitmap_);
  backOldBrush_ = SelectObject(back_, GetStockObject(WHITE_BRUSH));
  backOldPen_ = GetCurrentObject(back_, OBJ_PEN);
  PatBlt(back_, 0, 0, screenWidth_, screenHeight_, PATCOPY);
  return true;
}

bool GdiSurfaces::CreatePens() {
  pens_[vex::SPRITE_PEN] =
      CreatePen(PS_SOLID, 0, vex::PEN_COLOURS[vex::SPRITE_PEN]);
  if (pens_[vex::SPRITE_PEN] == nullptr) return false;
  for (int i = 0; i < 8; ++i) {
    pens_[i] = CreatePen(PS_SOLID, 0, vex::PEN_COLOURS[i]);
    if (pens_[i] == nullptr) return false;
  }
  return true;
}

void GdiSurfaces::DeletePens() {
  SurfaceLock hold(lock_);
  if (back_ != nullptr) SelectObject(back_, backOldPen_);
  if (pens_[vex::SPRITE_PEN] != nullptr) DeleteObject(pens_[vex::SPRITE_PEN]);
  pens_[vex::SPRITE_PEN] = nullptr;
  for (int i = 0; i < 8; ++i) {
    if (pens_[i] != nullptr) DeleteObject(pens_[i]);
    pens_[i] = nullptr;
  }
}

void GdiSurfaces::Repaint(HDC target) {
  SurfaceLock hold(lock_);
  BitBlt(target, 0, 0, screenWidth_, screenHeight_, back_, 0, 0, SRCCOPY);
}

GdiCanvas::GdiCanvas(GdiSurfaces& surfaces, HDC windowDc) : s_(surfaces) {
  Attach(windowDc);
}

void GdiCanvas::Attach(HDC dc) {
  SurfaceLock hold(s_.lock_);
  if (windowDc_ != nullptr) {
    SetROP2(windowDc_, windowOldMix_);
    SelectObject(windowDc_, windowOldPen_);
  }
  windowDc_ = dc;
  if (dc == nullptr) return;
  windowOldPen_ = GetCurrentObject(dc, OBJ_PEN);
  windowOldMix_ = GetROP2(dc);
}

template <typename Draw>
void GdiCanvas::OnBoth(Draw draw) {
  SurfaceLock hold(s_.lock_);
  if (windowDc_ != nullptr) draw(windowDc_);
  if (s_.back_ != nullptr) draw(s_.back_);
}

void GdiCanvas::SelectPen(int pen) {
  HGDIOBJ object = pen >= 0 && pen <= vex::SPRITE_PEN
                       ? static_cast<HGDIOBJ>(s_.pens_[pen])
                       : GetStockObject(BLACK_PEN);
  // No pens once the window is gone: the drawing goes on with the old one.
  if (object == nullptr) return;
  OnBoth([&](HDC dc) { SelectObject(dc, object); });
}

void GdiCanvas::SetMix(vex::Mix mix) {
  int rop = RopOf(mix);
  OnBoth([&](HDC dc) { SetROP2(dc, rop); });
}

void GdiCanvas::MoveTo(int x, int y) {
  OnBoth([&](HDC dc) { MoveToEx(dc, x, y, nullptr); });
}

void GdiCanvas::LineTo(int x, int y) {
  OnBoth([&](HDC dc) { ::LineTo(dc, x, y); });
}

void GdiCanvas::Arc(int left, int top, int right, int bottom, int xs, int ys,
                    int xe, int ye) {
  OnBoth([&](HDC dc) { ::Arc(dc, left, top, right, bottom, xs, ys, xe, ye); });
}

void GdiCanvas::DrawWrappedText(std::u16string_view text) {
  RECT client;
  GetClientRect(s_.window_, &client);
  OnBoth([&](HDC dc) {
    RECT box = client;  // DrawTextW takes a writable rectangle
    DrawTextW(dc, WideChars(text.data()), static_cast<int>(text.size()), &box,
              DT_WORDBREAK);
  });
}

void GdiCanvas::TextOut(int x, int y, std::u16string_view text) {
  OnBoth([&](HDC dc) {
    TextOutW(dc, x, y, WideChars(text.data()), static_cast<int>(text.size()));
  });
}

void GdiCanvas::Clear() {
  OnBoth([&](HDC dc) {
    HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    PatBlt(dc, 0, 0, s_.screenWidth_, s_.screenHeight_, PATCOPY);
    // The BackBuffer keeps the white brush it was given at creation.
    if (dc != s_.back_) SelectObject(dc, old);
  });
}

int GdiCanvas::ClientWidth() {
  RECT client;
  GetClientRect(s_.window_, &client);
  return client.right - client.left;
}

int GdiCanvas::ClientHeight() {
  RECT client;
  GetClientRect(s_.window_, &client);
  return client.bottom - client.top;
}

}  // namespace vexshell
