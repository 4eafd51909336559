// The MainWindow: set-up, repaint, commands, input and release.
//
// Design note. The window procedure finds the App in the window's
// GWLP_USERDATA slot, stored at WM_NCCREATE, and is one switch that hands
// each message, its parameters cracked, to one small handler. Everything
// runs on the window thread; a run's thread reaches this file only through
// messages it sends (title, handed-over work, its message boxes, the poll)
// or posts (its close request). Closing never waits here, whatever is open:
// the window goes at once, taking its boxes and dialogs along, and the entry
// point gives a run's thread a short while to stop after the message loop.
#include <string>

#include "core/messages.h"
#include "driver/run.h"
#include "shell/app.h"
#include "shell/input_dialog.h"
#include "shell/resource.h"
#include "turtle/turtle.h"
// After <windows.h>, whose types it uses.
#include <imm.h>

namespace vexshell {

namespace {

constexpr wchar_t CLASS_NAME[] = L"Vexilon";

// A message box captioned "エラー".
void ShowError(App& app, const char16_t* text) {
  ShowBox(app, vex::msg::CAPTION_ERROR, text);
}

// WM_CREATE: the set-up sequence. A failing step closes the window, which
// is then destroyed within its own creation.
void OnCreate(App& app) {
  if (!app.surfaces.CreateBackBuffer(app.window)) {
    SendMessageW(app.window, WM_CLOSE, 0, 0);
    return;
  }
  // With the IME on, keys would reach inkey as "processed by the IME" and a
  // composition window would cover the drawing; the dialog's edit box has a
  // context of its own, so Japanese can still be typed there.
  ImmAssociateContext(app.window, nullptr);
  app.inputText.clear();
  // The pens exist before the start-up library runs, which may draw.
  if (!app.surfaces.CreatePens()) {
    ShowError(app, vex::msg::INIT_FAILED);
    SendMessageW(app.window, WM_CLOSE, 0, 0);
    return;
  }
  // The start-up library is evaluated on this thread.
  GuardThisThreadsStack(*app.interp);
  bool started;
  {
    CoreCall call(app);
    started = vex::StartInterpreter(*app.interp);
  }
  if (!started && !app.destroyed) SendMessageW(app.window, WM_CLOSE, 0, 0);
}

// WM_PAINT: the BackBuffer onto the window; the first paint also fixes the
// turtle origin and shows the sprite.
void OnPaint(App& app) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(app.window, &paint);
  app.surfaces.Repaint(dc);
  if (app.firstPaintPending) {
    RECT client;
    GetClientRect(app.window, &client);
    GdiCanvas first(app.surfaces, dc);
    vex::FirstPaint(*app.interp, first, client.right - client.left,
                    client.bottom - client.top);
    app.firstPaintPending = false;
  }
  EndPaint(app.window, &paint);
}

// WM_CLOSE: no question is asked.
void OnClose(App& app) {
  MarkClosing(app);
  DestroyWindow(app.window);
}

// WM_DESTROY: the release sequence, as far as nothing uses the interpreter
// any more; a run's thread that still does is stopped after the loop.
void OnDestroy(App& app) {
  MarkClosing(app);
  app.destroyed = true;
  // A run's thread waiting for a box or work kept for later goes on, and
  // finds the window gone.
  app.host.CarryOutHandedOver();
  ReleaseWhenIdle(app);
  PostQuitMessage(0);
}

// CMD_INPUT: the input dialog, the checks and the start of a run.
void OnInput(App& app) {
  if (app.run.Busy()) {
    ShowError(app, vex::msg::RUN_IN_PROGRESS);
    return;
  }
  for (;;) {
    INT_PTR result;
    {
      ModalScope modal(app);
      result = RunInputDialog(app.instance, app.window, app.inputText);
    }
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
    if (prepared == vex::Prepared::Ready && !app.run.Start(app, program)) {
      ShowError(app, vex::msg::RUN_NOT_STARTED);
    }
    return;
  }
}

// WM_COMMAND: only the command id is looked at.
void OnCommand(App& app, int id) {
  switch (id) {
    case CMD_INPUT:
      OnInput(app);
      break;
    case CMD_VERSION:
      ShowBox(app, vex::msg::CAPTION_VERSION, vex::msg::VERSION_TEXT);
      break;
    case CMD_PRINT:
    case CMD_WRITE_LINES:
    case CMD_READ_LINES:
      app.host.TakeHandedOver();
      break;
    default:  // CMD_POLL is a round trip and nothing more
      break;
  }
}

void SetKeyCode(App& app, int32_t code) {
  std::lock_guard<std::mutex> hold(app.interp->inputLock);
  app.interp->KeyCode = code;
}

void OnKeyDown(App& app, UINT key) {
  SetKeyCode(app, static_cast<int32_t>(key));
  // Ctrl+Break stops the run, as Ctrl-C does in the console.
  if (key == VK_CANCEL && app.run.Busy()) {
    app.interp->interruptRequested = true;
    app.host.WakeWaits();
  }
}

// WM_KILLFOCUS: the key-up of a key held now goes to another window.
void OnKillFocus(App& app) { SetKeyCode(app, 0); }

// The mouse messages that may draw the rubber band get a DC of the window
// for this step only.
template <typename Update>
void DrawStep(App& app, Update update) {
  WindowDc dc(app.window);
  GdiCanvas step(app.surfaces, dc.get());
  update(step);
}

void OnLButtonDown(App& app, int16_t x, int16_t y) {
  // The release then comes here even outside the window, so the button
  // cannot stay held; the capture is taken before the press is recorded,
  // because taking it may report a capture lost.
  SetCapture(app.window);
  DrawStep(app, [&](GdiCanvas& step) {
    vex::PointerLeftDown(*app.interp, step, x, y);
  });
  app.host.WakeWaits();
}

void OnLButtonUp(App& app) {
  vex::PointerLeftUp(*app.interp);
  ReleaseCapture();
  app.host.WakeWaits();
}

// WM_CAPTURECHANGED: another window took the mouse while the button was
// held, so its release will not come here; it counts as released now.
void OnCaptureChanged(App& app) {
  vex::PointerLeftUp(*app.interp);
  app.host.WakeWaits();
}

void OnRButtonDown(App& app) {
  vex::PointerRightDown(*app.interp);
  app.host.WakeWaits();
}

void OnRButtonUp(App& app) {
  vex::PointerRightUp(*app.interp);
  app.host.WakeWaits();
}

void OnMouseMove(App& app, int16_t x, int16_t y) {
  DrawStep(app,
           [&](GdiCanvas& step) { vex::PointerMove(*app.interp, step, x, y); });
}

int16_t PointX(LPARAM lParam) { return static_cast<int16_t>(LOWORD(lParam)); }
int16_t PointY(LPARAM lParam) { return static_cast<int16_t>(HIWORD(lParam)); }

LRESULT HandleMessage(App& app, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(app);
      return 0;
    case WM_PAINT:
      OnPaint(app);
      return 0;
    case WM_ERASEBKGND:
      // The repaint copies the whole client area: erasing it first would
      // only make it flicker.
      return 1;
    case WM_PRINTCLIENT:
      // What the window shows is the BackBuffer; this lets a capture of the
      // client area get it without a repaint.
      app.surfaces.Repaint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_CLOSE:
      OnClose(app);
      return 0;
    case WM_DESTROY:
      OnDestroy(app);
      return 0;
    case WM_COMMAND:
      OnCommand(app, LOWORD(wParam));
      return 0;
    case WM_RUN_MESSAGE:
      app.host.TakeHandedOver();
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(app, static_cast<UINT>(wParam));
      return 0;
    case WM_KEYUP:
      SetKeyCode(app, 0);
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus(app);
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(app, PointX(lParam), PointY(lParam));
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(app);
      return 0;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(app);
      return 0;
    case WM_RBUTTONDOWN:
      OnRButtonDown(app);
      return 0;
    case WM_RBUTTONUP:
      OnRButtonUp(app);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(app, PointX(lParam), PointY(lParam));
      return 0;
    default:
      return DefWindowProcW(app.window, message, wParam, lParam);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // The App comes with the creation data; the window handle is written
    // once, here, before anything else reads it.
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* app = static_cast<App*>(create->lpCreateParams);
    app->window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // A few messages (WM_GETMINMAXINFO) come before WM_NCCREATE.
  if (app == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return HandleMessage(*app, message, wParam, lParam);
}

}  // namespace

CoreCall::~CoreCall() {
  if (--app_.coreDepth == 0) ReleaseWhenIdle(app_);
}

ModalScope::~ModalScope() {
  if (--app_.modalDepth == 0) app_.host.CarryOutHandedOver();
}

void ShowBox(App& app, std::u16string_view caption, std::u16string_view text) {
  if (app.closing) return;
  std::wstring wideCaption = WideString(caption);
  std::wstring wideText = WideString(text);
  ModalScope modal(app);
  MessageBoxW(app.window, wideText.c_str(), wideCaption.c_str(), MB_OK);
}

void ReleaseWhenIdle(App& app) {
  if (!app.destroyed || app.coreDepth > 0 || app.run.Busy()) return;
  // ~Interp frees the tables and areas.
  app.interp.reset();
  app.surfaces.DeletePens();
}

void MarkClosing(App& app) {
  app.closing = true;
  app.host.WakeWaits();
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
  // The interpreter exists, empty, before the window: its input handlers
  // may run from the first message on. Its areas come with the set-up.
  app.interp = std::make_unique<vex::Interp>(app.host);
  app.interp->decodeBodies = vex::DecodeBodiesFromEnvironment();
  wchar_t title[64];
  lstrcpyW(title, WideChars(vex::msg::CREATION_TITLE));
  HWND window = CreateWindowExW(
      0, CLASS_NAME, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, app.instance, &app);
  if (window == nullptr || app.destroyed || !IsWindow(window)) return nullptr;
  return window;
}

}  // namespace vexshell
