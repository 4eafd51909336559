// The entry point of vexilon.exe: the window class, the main window shown
// maximised, and the message loop.
#include <memory>

#include "shell/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  auto app = std::make_unique<vexshell::App>();
  app->instance = instance;
  app->windowThread = GetCurrentThreadId();
  vexshell::SetApp(app.get());
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
  if (app->run.Busy()) {
    (void)app.release();
    return 0;
  }
  return static_cast<int>(message.wParam);
}
