// The InterpreterThread: one new thread per run.
//
// Design note. A run-in-progress flag, set by the window thread before the
// thread starts and cleared by the thread when its run routine is done, is
// the busy test; the input handlers and the program meet under
// Interp::inputLock instead of suspending the thread. The thread gets a
// large stack and tells the evaluator how much of it may be used, so deep
// recursion ends with a message instead of a crash. The handle of an ended
// run is closed when the next run starts or the window goes away.
#pragma once

#include <atomic>

#include "core/interp.h"
#include "shell/win32.h"

namespace vexshell {

struct App;

// Stack reserved for each run's thread, and the part of it the evaluator
// leaves untouched for the calls it makes outside its guard (GDI, dialogs).
constexpr size_t RUN_STACK_BYTES = size_t(64) << 20;
constexpr size_t RUN_STACK_MARGIN_BYTES = size_t(2) << 20;

class RunThread {
 public:
  RunThread() = default;
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;
  // Closes the handle of the last run's thread.
  ~RunThread();

  // True from the start of a run until its run routine is done.
  bool Busy() const { return running_.load(); }
  // Starts the run routine for program on a new thread (window thread).
  // False when no thread could be made; nothing then runs.
  bool Start(App& app, vex::Ref program);
  // Waits up to timeoutMs for the last run's thread to end, answering the
  // messages it sends meanwhile (window thread). True when no run's thread
  // is alive any more.
  bool WaitForEnd(DWORD timeoutMs);

 private:
  static DWORD WINAPI Routine(void* self);

  HANDLE handle_ = nullptr;
  std::atomic<bool> running_{false};
  App* app_ = nullptr;
  vex::Ref program_ = vex::ERROR_VALUE;
};

}  // namespace vexshell
