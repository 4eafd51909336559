// A small UI-automation driver for vexilon.exe.
//
// Design note. Everything the driver does to the program goes through the
// program's own message queue: menu commands, mouse and keys are posted to
// the main window, dialog buttons are posted to the dialogs. Posted input
// races with anything looked at afterwards, so the driver follows it with a
// marker message and waits until the probe hook (running on the program's
// window thread) has seen the marker leave the queue; every message posted
// before it has then been handled. Waits poll a condition with a deadline;
// none of them relies on a sleep alone.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tests/gui/probe.h"

namespace vexgui {

// Polls done() every few milliseconds until it is true or timeoutMs passed.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// The text of a window of another process.
std::wstring TextOf(HWND window);

// The probe DLL and the shared block the driver reads it through.
class Probe {
 public:
  // Loads the probe DLL at dllPath and creates the shared block.
  bool Load(const std::wstring& dllPath);
  // Hooks the window thread threadId; false on failure.
  bool Attach(DWORD threadId);
  void Detach();
  Shared& Data() { return *shared_; }

 private:
  HMODULE module_ = nullptr;
  HOOKPROC hook_ = nullptr;
  HHOOK installed_ = nullptr;
  HANDLE mapping_ = nullptr;
  Shared* shared_ = nullptr;
};

// One started vexilon.exe.
class Session {
 public:
  Session(Probe& probe, std::wstring exePath, std::wstring folder)
      : probe_(probe),
        exePath_(std::move(exePath)),
        folder_(std::move(folder)) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Ends the program if it still runs.
  ~Session();

  // Starts the program in the folder; false when it could not be started.
  bool Launch();
  // Waits for the visible main window and hooks its thread.
  bool WaitForMainWindow(DWORD timeoutMs = 20000);
  // True while a main window of the program is visible.
  bool MainWindowVisible() const;
  HANDLE Process() const { return process_.hProcess; }
  HWND Window() const { return window_; }
  std::wstring Title() const { return TextOf(window_); }
  // Waits for the title to become text.
  bool WaitTitle(const std::wstring& text, DWORD timeoutMs = 15000);

  // Posts a marker and waits until the window thread has taken it from its
  // queue; with capture, the client area is captured as well.
  bool Sync(bool capture = false, DWORD timeoutMs = 10000);
  // Makes the program's thread creation fail (refuse) or work again.
  bool RefuseThreads(bool refuse);
  // A pixel of the last capture as 0xRRGGBB; 0xFFFFFFFF outside.
  uint32_t Pixel(int x, int y) const;
  // The whole last capture.
  std::basic_string<uint32_t> Capture() const;

  // A visible dialog of the program (class #32770) with the caption, or
  // nullptr after timeoutMs.
  HWND WaitDialog(const std::wstring& caption, DWORD timeoutMs = 10000);
  // A visible dialog of the program with a caption other than the given
  // ones, or nullptr.
  HWND FindOtherDialog(const std::wstring& except1,
                       const std::wstring& except2) const;
  // The text of a message box (its static control 0xFFFF).
  static std::wstring MessageText(HWND box);
  // Posts the button id to the dialog and waits for the dialog to go.
  bool Press(HWND dialog, int id, DWORD timeoutMs = 10000);
  // Waits for a message box captioned "エラー" with the text and dismisses
  // it.
  bool ExpectError(const std::wstring& text, DWORD timeoutMs = 10000);

  // Opens the input dialog ("入力"), waiting out a run that is ending.
  HWND OpenInput();
  // The edit box's text, and setting it.
  static std::wstring EditText(HWND dialog);
  static void SetEditText(HWND dialog, const std::wstring& text);
  // Opens the dialog, types program, resets the title to a sentinel and
  // presses "実行". False when a step failed.
  bool Execute(const std::wstring& program);
  // Execute, then wait for the title "Vexilon - " + value.
  bool Evaluate(const std::wstring& program, const std::wstring& value);

  void PostMouse(UINT message, int x, int y);
  void PostKey(UINT message, int virtualKey);
  void Post(UINT message, WPARAM wParam, LPARAM lParam);

  // Waits for the program to end; its exit code, or -1 on time-out.
  long WaitExit(DWORD timeoutMs = 15000);
  // True while the program's process runs.
  bool Running() const;

 private:
  bool SyncWith(intptr_t flags, DWORD timeoutMs);

  Probe& probe_;
  std::wstring exePath_;
  std::wstring folder_;
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
  UINT marker_ = 0;
  int32_t sequence_ = 0;
};

// The sentinel title the driver sets before each run.
constexpr wchar_t SENTINEL_TITLE[] = L"vexgui";

}  // namespace vexgui
