// The InterpreterThread; see run_thread.h.
#include "shell/run_thread.h"

#include "driver/run.h"
#include "memory/memory.h"
#include "shell/app.h"

namespace vexshell {

void GuardThisThreadsStack(vex::Interp& in) {
  // The stack is one reservation: its lowest address is the region's base.
  char here = 0;
  MEMORY_BASIC_INFORMATION region = {};
  VirtualQuery(&here, &region, sizeof region);
  auto room = reinterpret_cast<uintptr_t>(&here) -
              reinterpret_cast<uintptr_t>(region.AllocationBase);
  vex::SetStackGuard(in,
                     room > STACK_MARGIN_BYTES ? room - STACK_MARGIN_BYTES : 0);
}

RunThread::~RunThread() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool RunThread::Start(App& app, vex::Ref program) {
  // The busy test has failed, so the last run's thread is done with
  // everything it shared; its handle is of no further use.
  if (handle_ != nullptr) CloseHandle(handle_);
  app_ = &app;
  program_ = program;
  // A Ctrl+Break that came as the last run ended is not for this one.
  app.interp->interruptRequested = false;
  running_ = true;
  handle_ = CreateThread(nullptr, RUN_STACK_BYTES, &RunThread::Routine, this,
                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (handle_ == nullptr) {
    running_ = false;
    vex::PopCellsToMarker(*app.interp);
    return false;
  }
  return true;
}

bool RunThread::WaitForEnd(DWORD timeoutMs) {
  if (handle_ == nullptr) return true;
  DWORD deadline = GetTickCount() + timeoutMs;
  for (;;) {
    DWORD left = deadline - GetTickCount();
    if (static_cast<int32_t>(left) < 0) left = 0;
    DWORD woke =
        MsgWaitForMultipleObjects(1, &handle_, FALSE, left, QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return !running_;
    // Answers the messages the run's thread sends (title, polls), so that
    // it can get out of its send and see that the window is going away.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

DWORD WINAPI RunThread::Routine(void* self) {
  RunThread& run = *static_cast<RunThread*>(self);
  App& app = *run.app_;
  GuardThisThreadsStack(*app.interp);
  {
    WindowDc windowDc(app.window);
    app.canvas.Attach(windowDc.get());
    vex::ExecuteRun(*app.interp, run.program_);
    // The DC gets its own pen and mix mode back before it is released.
    app.canvas.Attach(nullptr);
  }
  run.running_ = false;
  return 0;
}

}  // namespace vexshell
