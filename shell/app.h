// The shell's program-wide state and the main window.
//
// Design note. One App lives for the whole program; the window procedure
// reaches it through a program-wide pointer because the window class has no
// extra bytes. The interpreter is freed only when nothing can touch it any
// more: no run's thread is alive and the window thread is not inside a core
// call (a fatal condition can destroy the window from within the start-up
// load or from within work done for a run).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "core/interp.h"
#include "shell/gdi_canvas.h"
#include "shell/run_thread.h"
#include "shell/win32.h"
#include "shell/win_host.h"

namespace vexshell {

struct App {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  DWORD windowThread = 0;
  bool firstPaintPending = true;
  GdiSurfaces surfaces;
  // The surfaces of runs: a run attaches its WindowDC.
  GdiCanvas canvas{surfaces};
  WinHost host{*this};
  std::unique_ptr<vex::Interp> interp;
  // The input dialog's text; it outlives the dialog.
  std::u16string inputText;
  RunThread run;
  // Window-thread calls into the core now in progress.
  int coreDepth = 0;
  // The window has been destroyed (WM_DESTROY seen).
  bool destroyed = false;
  // The window is going away: no more messages, no more handed-over work.
  std::atomic<bool> closing{false};
};

// The one App, set by the entry point before the window is created.
App& TheApp();
void SetApp(App* app);

// Marks a window-thread call into the core; the last one to end after the
// window was destroyed frees the interpreter.
class CoreCall {
 public:
  explicit CoreCall(App& app) : app_(app) { ++app_.coreDepth; }
  ~CoreCall();
  CoreCall(const CoreCall&) = delete;
  CoreCall& operator=(const CoreCall&) = delete;

 private:
  App& app_;
};

// Frees the interpreter's areas and tables when nothing can use them any
// more; otherwise leaves them to a later call (or to the end of the process).
void ReleaseInterpreterWhenIdle(App& app);

// Tells the core that the window is going away (under the input lock, where
// the core's waits look for it).
void MarkClosing(App& app);

// Registers the window class "Vexilon"; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the main window (its creation runs the whole set-up); nullptr when
// creation failed or the set-up closed the window.
HWND CreateMainWindow(App& app);

}  // namespace vexshell
