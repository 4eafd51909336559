// The probe DLL, which the GUI test driver hooks into vexilon.exe's window
// thread. When a marker leaves that thread's queue, every message posted
// before it has been handled; the probe then does what the marker's flags
// ask and records its number in a shared memory block.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vexgui {

constexpr wchar_t MARKER_MESSAGE[] = L"VexilonGuiProbeMarker";
// A marker's flags, in its lParam (its wParam is its number): capture the
// client area into the block; make the program's next CreateThread fail.
constexpr intptr_t MARKER_CAPTURE = 1;
constexpr intptr_t MARKER_REFUSE_THREAD = 2;
constexpr int MAX_CAPTURE_PIXELS = 4096 * 4096;

struct Shared {
  volatile int32_t seen;  // number of the last marker handled
  int32_t width;          // the picture, 0x00RRGGBB per pixel, top-down
  int32_t height;
  uint32_t pixels[MAX_CAPTURE_PIXELS];
};

}  // namespace vexgui

// Hooks the thread; the hook, or nullptr.
extern "C" HHOOK VexProbeAttach(DWORD thread);
// The shared block, made by the first process that asks for it.
extern "C" vexgui::Shared* VexProbeShared();
