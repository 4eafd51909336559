// What the GUI test driver and its probe share.
//
// The probe is a message hook that the driver places on the window thread
// of vexilon.exe. When a marker message leaves that thread's queue, every
// message posted before it has been handled; the probe then records the
// marker's number and, when asked, a capture of the main window's client
// area, in a shared memory block the driver reads. A marker can also make
// the program's thread creation fail, until the next marker, to show what
// the program does when the system refuses it a thread.
#pragma once

#include <cstdint>

namespace vexgui {

// Name of the shared memory block and of the registered marker message.
constexpr wchar_t SHARED_NAME[] = L"VexilonGuiProbe";
constexpr wchar_t MARKER_MESSAGE[] = L"VexilonGuiProbeMarker";
// Name of the hook procedure the probe DLL exports.
constexpr char HOOK_PROC[] = "VexProbeHook";

// lParam of a marker: also capture the client area; make CreateThread fail.
constexpr intptr_t MARKER_CAPTURE = 1;
constexpr intptr_t MARKER_NO_THREADS = 2;

constexpr int MAX_CAPTURE_PIXELS = 4096 * 4096;

struct Shared {
  volatile int32_t seen;  // number of the last marker handled
  int32_t width;          // the capture, 0x00RRGGBB per pixel, top-down
  int32_t height;
  int32_t reserved;
  uint32_t pixels[MAX_CAPTURE_PIXELS];
};

}  // namespace vexgui
