// The shell's program-wide state and the main window.
//
// Design note. One App lives for the whole program; the entry point makes it
// and hands it to the window at creation, and the window procedure finds it
// again in the window's GWLP_USERDATA slot. Only the window thread opens
// modal boxes and dialogs, one at a time: what a run's thread asks for while
// one is open (its own message, or work that may open a box) waits until it
// has closed, so the window takes no input while any box is up. The
// interpreter is freed only when nothing can touch it any more: no run's
// thread is alive and the window thread is not inside a core call (a fatal
// condition can destroy the window from within the start-up load or from
// within work done for a run).
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
  // Set once, when the window is created, before any run's thread exists.
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
  // Modal boxes and dialogs the window thread has open.
  int modalDepth = 0;
  // The window has been destroyed (WM_DESTROY seen).
  bool destroyed = false;
  // The window is going away: no more boxes, no more handed-over work.
  std::atomic<bool> closing{false};
};

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

// Marks a modal box or dialog of the window thread; when the last one
// closes, what a run's thread asked for meanwhile is carried out.
class ModalScope {
 public:
  explicit ModalScope(App& app) : app_(app) { ++app_.modalDepth; }
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  App& app_;
};

// A message box owned by the main window, OK button only (window thread).
// Once the window is going away nobody is left to read it: nothing is shown.
void ShowBox(App& app, std::u16string_view caption, std::u16string_view text);

// Frees the interpreter's areas and tables and deletes the pens when nothing
// can use them any more; otherwise leaves them to a later call (or to the
// end of the process).
void ReleaseWhenIdle(App& app);

// Tells the core and the waits of a run that the window is going away
// (under the input lock, where the core's waits look for it).
void MarkClosing(App& app);

// Registers the window class "Vexilon"; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the main window (its creation runs the whole set-up); nullptr when
// creation failed or the set-up closed the window.
HWND CreateMainWindow(App& app);

}  // namespace vexshell
