// The MainWindow: set-up, repaint, commands, input and release.
//
// Design note. The window procedure is a plain switch that hands each
// message to one small handler. Everything runs on the window thread; a
// run's thread reaches this file only through messages it sends (title,
// commands 106 to 109, the poll) or posts (its close request). The release
// waits for a live run's thread for a short while, answering its sends; a
// thread that does not stop in time (a long pause, an open message box)
// keeps its areas, and the end of the process takes them.
#include <string>

#include "core/messages.h"
#include "driver/run.h"
#include "memory/memory.h"
#include "shell/app.h"
#include "shell/input_dialog.h"
#include "shell/resource.h"
#include "turtle/turtle.h"

namespace vexshell {

namespace {

constexpr wchar_t CLASS_NAME[] = L"Vexilon";
// How long the release waits for a run's thread to stop.
constexpr DWORD RUN_STOP_WAIT_MS = 3000;

App* theApp = nullptr;

const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// A message box captioned "エラー", owned by the main window.
void ShowError(App& app, const char16_t* text) {
  app.host.ShowMessage(vex::msg::CAPTION_ERROR, text);
}

// WM_CREATE: the set-up sequence. A failing step closes the window, which
// is then destroyed within its own creation.
void OnCreate(App& app, HWND window) {
  if (!app.surfaces.CreateBackBuffer(window)) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  app.inputText.clear();
  // The pens exist before the start-up library runs, which may draw.
  if (!app.surfaces.CreatePens()) {
    ShowError(app, vex::msg::INIT_FAILED);
    SendMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  app.interp = std::make_unique<vex::Interp>(app.host);
  bool started;
  {
    CoreCall call(app);
    started = vex::StartInterpreter(*app.interp);
  }
  if (!started && !app.destroyed) SendMessageW(window, WM_CLOSE, 0, 0);
}

// WM_PAINT: the BackBuffer onto the window; the first paint also fixes the
// turtle origin and shows the sprite.
void OnPaint(App& app, HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  app.surfaces.Repaint(dc);
  if (app.firstPaintPending && app.interp != nullptr) {
    RECT client;
    GetClientRect(window, &client);
    GdiCanvas first(app.surfaces, dc);
    vex::FirstPaint(*app.interp, first, client.right - client.left,
                    client.bottom - client.top);
    app.firstPaintPending = false;
  }
  EndPaint(window, &paint);
}

// WM_CLOSE: no question is asked.
void OnClose(App& app, HWND window) {
  MarkClosing(app);
  DestroyWindow(window);
}

// WM_DESTROY: the release sequence, once the run's thread has let go.
void OnDestroy(App& app) {
  MarkClosing(app);
  bool stopped = app.run.WaitForEnd(RUN_STOP_WAIT_MS);
  app.destroyed = true;
  if (stopped) {
    ReleaseInterpreterWhenIdle(app);
    app.surfaces.DeletePens();
  }
  PostQuitMessage(0);
}

// CMD_INPUT: the input dialog, the checks and the start of a run.
void OnInput(App& app) {
  if (app.run.Busy()) {
    ShowError(app, vex::msg::RUN_IN_PROGRESS);
    return;
  }
  for (;;) {
    INT_PTR result = RunInputDialog(app.instance, app.window, app.inputText);
    // The window went away under the dialog (it takes its owned dialog
    // along): the interpreter may be gone as well.
    if (app.closing) return;
    if (result != 1) {
      SendMessageW(app.window, WM_CLOSE, 0, 0);
      return;
    }
    vex::Ref program = vex::ERROR_VALUE;
    vex::Prepared prepared;
    {
      CoreCall call(app);
      prepared = vex::PrepareRun(*app.interp, app.inputText, program);
    }
    // A full CellStack is fatal: the window is already closing.
    if (app.closing) return;
    if (prepared == vex::Prepared::Reopen) continue;
    if (prepared == vex::Prepared::Ready) app.run.Start(app, program);
    return;
  }
}

void OnVersion(App& app) {
  MessageBoxW(app.window, Wide(vex::msg::VERSION_TEXT),
              Wide(vex::msg::CAPTION_VERSION), MB_OK);
}

// WM_COMMAND: only the command id is looked at.
void OnCommand(App& app, int id) {
  switch (id) {
    case CMD_INPUT:
      OnInput(app);
      break;
    case CMD_VERSION:
      OnVersion(app);
      break;
    case CMD_PRINT:
    case CMD_WRITE_LINES:
    case CMD_READ_LINES:
      app.host.RunPendingWork();
      break;
    default:  // CMD_POLL is a round trip and nothing more
      break;
  }
}

void OnKey(App& app, int32_t code) {
  std::lock_guard<std::mutex> hold(app.interp->inputLock);
  app.interp->KeyCode = code;
}

// The mouse messages that may draw the rubber band get a DC of the window
// for this step only.
template <typename Update>
void OnPointerDraw(App& app, HWND window, Update update) {
  HDC dc = GetDC(window);
  {
    GdiCanvas step(app.surfaces, dc);
    update(step);
  }
  ReleaseDC(window, dc);
}

int16_t PointX(LPARAM lParam) { return static_cast<int16_t>(LOWORD(lParam)); }
int16_t PointY(LPARAM lParam) { return static_cast<int16_t>(HIWORD(lParam)); }

// The input messages: keys and mouse for the running program.
void OnInputMessage(App& app, HWND window, UINT message, WPARAM wParam,
                    LPARAM lParam) {
  vex::Interp& in = *app.interp;
  switch (message) {
    case WM_KEYDOWN:
      OnKey(app, static_cast<int32_t>(wParam));
      break;
    case WM_KEYUP:
      OnKey(app, 0);
      break;
    case WM_LBUTTONDOWN:
      OnPointerDraw(app, window, [&](GdiCanvas& step) {
        vex::PointerLeftDown(in, step, PointX(lParam), PointY(lParam));
      });
      break;
    case WM_MOUSEMOVE:
      OnPointerDraw(app, window, [&](GdiCanvas& step) {
        vex::PointerMove(in, step, PointX(lParam), PointY(lParam));
      });
      break;
    case WM_LBUTTONUP:
      vex::PointerLeftUp(in);
      break;
    case WM_RBUTTONDOWN:
      vex::PointerRightDown(in);
      break;
    case WM_RBUTTONUP:
      vex::PointerRightUp(in);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  App& app = TheApp();
  app.window = window;
  switch (message) {
    case WM_CREATE:
      OnCreate(app, window);
      return 0;
    case WM_PAINT:
      OnPaint(app, window);
      return 0;
    case WM_PRINTCLIENT:
      // What the window shows is the BackBuffer; this lets a capture of the
      // client area get it without a repaint.
      app.surfaces.Repaint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_CLOSE:
      OnClose(app, window);
      return 0;
    case WM_DESTROY:
      OnDestroy(app);
      return 0;
    case WM_COMMAND:
      OnCommand(app, LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (app.interp == nullptr) break;
      OnInputMessage(app, window, message, wParam, lParam);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

App& TheApp() { return *theApp; }
void SetApp(App* app) { theApp = app; }

CoreCall::~CoreCall() {
  if (--app_.coreDepth == 0 && app_.destroyed) {
    ReleaseInterpreterWhenIdle(app_);
  }
}

void ReleaseInterpreterWhenIdle(App& app) {
  if (app.coreDepth > 0 || app.run.Busy()) return;
  // ~Interp frees the tables and areas.
  app.interp.reset();
}

void MarkClosing(App& app) {
  app.closing = true;
  if (app.interp == nullptr) return;
  std::lock_guard<std::mutex> hold(app.interp->inputLock);
  app.interp->closing = true;
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = static_cast<HCURSOR>(LoadImageW(
      nullptr, IDC_ARROW, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = L"MYMENU";
  windowClass.lpszClassName = CLASS_NAME;
  return RegisterClassExW(&windowClass) != 0;
}

HWND CreateMainWindow(App& app) {
  wchar_t title[64];
  lstrcpyW(title, Wide(vex::msg::CREATION_TITLE));
  HWND window = CreateWindowExW(
      0, CLASS_NAME, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, app.instance, nullptr);
  if (window == nullptr || app.destroyed || !IsWindow(window)) return nullptr;
  return window;
}

}  // namespace vexshell
