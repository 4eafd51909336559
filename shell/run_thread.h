// The InterpreterThread: one new thread per run.
//
// Design note. A run-in-progress flag, set by the window thread before the
// thread starts and cleared by the thread when its run routine is done, is
// the busy test; the input handlers and the program meet under
// Interp::inputLock instead of suspending the thread. The thread gets a
// large stack (the window thread, which runs the start-up library, gets as
// much from the linker) and tells the evaluator how much of it may be used,
// so deep recursion ends with a message instead of a crash. The handle of an
// ended run is closed when the next run starts or the window goes away.
#pragma once

#include <atomic>

#include "core/interp.h"
#include "shell/win32.h"

namespace vexshell {

struct App;

// Stack reserved for each run's thread, as deep as the console's (the
// window thread, which runs only the start-up library, is linked with 64 MB
// in shell.cmake: every thread made without a size of its own gets that
// much, and a 32-bit program cannot spare more for each), and the part of a
// stack the evaluator leaves untouched for the calls it makes outside its
// guard (GDI, message boxes).
constexpr size_t RUN_STACK_BYTES = size_t(256) << 20;
constexpr size_t STACK_MARGIN_BYTES = size_t(2) << 20;

// Sets the evaluator's nesting guard for the calling thread: all of the
// thread's stack below the caller may be used, but the margin.
void GuardThisThreadsStack(vex::Interp& in);

class RunThread {
 public:
  RunThread() = default;
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;
  // Closes the handle of the last run's thread.
  ~RunThread();

  // True from the start of a run until its run routine is done.
  bool Busy() const { return running_.load(); }
  // Starts the run routine for program on a new thread (window thread),
  // with no interrupt pending. False when no thread could be made: the
  // run's mark is popped and nothing runs.
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
