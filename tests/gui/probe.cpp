// The probe DLL; see probe.h. It runs inside vexilon.exe, on its window
// thread, which is the only place where the window's pixels can be read
// under Wine: the window answers WM_PRINTCLIENT with its BackBuffer.
#include "tests/gui/probe.h"

#include <windows.h>

#include <cstring>

namespace {

vexgui::Shared* OpenShared() {
  static vexgui::Shared* shared = nullptr;
  if (shared != nullptr) return shared;
  HANDLE mapping =
      OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, vexgui::SHARED_NAME);
  if (mapping == nullptr) return nullptr;
  shared = static_cast<vexgui::Shared*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  return shared;
}

// Draws window's client area into a 32-bit DIB and copies it out.
void Capture(HWND window, vexgui::Shared& shared) {
  RECT client;
  GetClientRect(window, &client);
  int width = client.right;
  int height = client.bottom;
  if (width <= 0 || height <= 0 ||
      int64_t(width) * height > vexgui::MAX_CAPTURE_PIXELS) {
    shared.width = shared.height = 0;
    return;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap =
      CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
               PRF_CLIENT);
  GdiFlush();
  std::memcpy(shared.pixels, bits, size_t(width) * height * 4);
  shared.width = width;
  shared.height = height;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace

// WH_GETMESSAGE hook: records markers as they are taken from the queue.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    VexProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT marker = RegisterWindowMessageW(vexgui::MARKER_MESSAGE);
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == marker) {
    if (vexgui::Shared* shared = OpenShared()) {
      if (message->lParam & vexgui::MARKER_CAPTURE) {
        Capture(message->hwnd, *shared);
      }
      InterlockedExchange(reinterpret_cast<volatile LONG*>(&shared->seen),
                          static_cast<LONG>(message->wParam));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
