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

HANDLE WINAPI RefuseThread(LPSECURITY_ATTRIBUTES, SIZE_T,
                           LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

// Points the program's import of CreateThread at RefuseThread (refuse) or
// back at the system's.
void RefuseThreads(bool refuse) {
  using Address = decltype(IMAGE_THUNK_DATA{}.u1.Function);
  static Address original = 0;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* dll =
      reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (; dll->Name != 0; ++dll) {
    auto* name =
        reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(
          base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), "CreateThread") !=
          0) {
        continue;
      }
      Address& target = slot->u1.Function;
      if (original == 0) original = target;
      DWORD was;
      VirtualProtect(&target, sizeof target, PAGE_READWRITE, &was);
      target = refuse ? reinterpret_cast<Address>(&RefuseThread) : original;
      VirtualProtect(&target, sizeof target, was, &was);
    }
  }
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
      static bool refusing = false;
      bool refuse = (message->lParam & vexgui::MARKER_NO_THREADS) != 0;
      if (refuse != refusing) RefuseThreads(refusing = refuse);
      InterlockedExchange(reinterpret_cast<volatile LONG*>(&shared->seen),
                          static_cast<LONG>(message->wParam));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
