// The entry point of vexilon.exe: the window class, the main window shown
// maximised, the message loop, and the end of a run that outlives the
// window.
#include <memory>

#include "shell/app.h"

namespace {

// How long a run's thread is given to stop once the window is gone. Its
// waits and loops see the close at once; this bounds a long single step
// (a collection of a full area) before the process ends without it.
constexpr DWORD RUN_STOP_WAIT_MS = 500;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  auto app = std::make_unique<vexshell::App>();
  app->instance = instance;
  app->windowThread = GetCurrentThreadId();
  if (!vexshell::RegisterMainWindowClass(instance)) return 0;
  HWND window = vexshell::CreateMainWindow(*app);
  if (window == nullptr) return 0;
  // Maximised whatever show command the program was started with.
  ShowWindow(window, SW_MAXIMIZE);
  UpdateWindow(window);
  MSG message = {};
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // A run's thread that did not stop still uses the interpreter and the
  // surfaces: they stay for the end of the process to take.
  if (!app->run.WaitForEnd(RUN_STOP_WAIT_MS)) {
    (void)app.release();
    return 0;
  }
  vexshell::ReleaseWhenIdle(*app);
  return static_cast<int>(message.wParam);
}
