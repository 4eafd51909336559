// The probe DLL; see probe.h. It runs inside vexilon.exe, on its window
// thread, which is the only place where the window's pixels can be read
// under Wine: the window answers WM_PRINTCLIENT with its BackBuffer.
#include "tests/gui/probe.h"

#include <cstddef>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this DLL's module

namespace {

HANDLE mapping = nullptr;

// Draws the client area into a top-down DIB whose bits are the shared
// block's pixels.
void Capture(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, mapping,
                                    offsetof(vexgui::Shared, pixels));
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
               PRF_CLIENT);
  GdiFlush();
  VexProbeShared()->width = bitmap != nullptr ? client.right : 0;
  VexProbeShared()->height = client.bottom;
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);
}

// The program's import of CreateThread, and the system's CreateThread.
ULONG_PTR* threadImport = nullptr;
ULONG_PTR createThread = 0;

// Stands in for CreateThread once: fails as the system does when it has no
// room for another thread, and puts the system's back.
HANDLE WINAPI RefuseThread(LPSECURITY_ATTRIBUTES, SIZE_T,
                           LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
  *threadImport = createThread;
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

void RefuseNextThread() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT]
                 .VirtualAddress);
  createThread = reinterpret_cast<ULONG_PTR>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread"));
  for (; threadImport == nullptr && dll->Name != 0; ++dll) {
    auto* slot = reinterpret_cast<ULONG_PTR*>(base + dll->FirstThunk);
    while (*slot != 0 && *slot != createThread) ++slot;
    if (*slot != 0) threadImport = slot;
  }
  DWORD was;
  if (threadImport != nullptr &&
      VirtualProtect(threadImport, sizeof(ULONG_PTR), PAGE_READWRITE, &was)) {
    *threadImport = reinterpret_cast<ULONG_PTR>(&RefuseThread);
  }
}

// Answers markers as they are taken from the queue.
LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT marker = RegisterWindowMessageW(vexgui::MARKER_MESSAGE);
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == marker &&
      VexProbeShared() != nullptr) {
    if (message->lParam & vexgui::MARKER_CAPTURE) Capture(message->hwnd);
    if (message->lParam & vexgui::MARKER_REFUSE_THREAD) RefuseNextThread();
    InterlockedExchange(
        reinterpret_cast<volatile LONG*>(&VexProbeShared()->seen),
        static_cast<LONG>(message->wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

extern "C" __declspec(dllexport) HHOOK VexProbeAttach(DWORD thread) {
  return SetWindowsHookExW(WH_GETMESSAGE, Hook,
                           reinterpret_cast<HINSTANCE>(&__ImageBase), thread);
}

extern "C" __declspec(dllexport) vexgui::Shared* VexProbeShared() {
  static void* shared =
      MapViewOfFile(mapping = CreateFileMappingW(
                        INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                        sizeof(vexgui::Shared), L"VexilonGuiProbe"),
                    FILE_MAP_ALL_ACCESS, 0, 0, 0);
  return static_cast<vexgui::Shared*>(shared);
}
