// The page's way into the interpreter, and the interpreter's thread.
//
// Design note. The page (web/page.js) calls these functions on the
// browser's main thread, which plays the window thread: none of them waits
// for the interpreter. The interpreter runs on a thread of its own, a Web
// Worker sharing the module's memory, from the start-up library to the end
// of the page: it takes each typed program as the input dialog hands it
// over and runs it as the window program's interpreter thread does. Texts
// pass as UTF-16, as the core has them; what a function answers lives in a
// buffer of this file until the page's next call.
#include <emscripten.h>
#include <pthread.h>

#include <cstdint>
#include <string>

#include "core/messages.h"
#include "driver/run.h"
#include "turtle/turtle.h"
#include "web/web_host.h"

namespace vexweb {

namespace {

// The interpreter's thread has its stack in the module's memory, but the
// browser runs its WebAssembly on a stack of its own, which holds some
// 3,000 levels of nested call forms (measured in Chromium, on code not yet
// optimised). Overrunning it would end the worker and the interpreter with
// it, so the nesting guard gets a budget that bounds the nesting at half
// that: about 1,500 levels, 512 bytes a level (driver/run.cpp).
constexpr size_t STACK_BUDGET = 512 * 1500;
constexpr size_t STACK_BYTES = size_t(4) << 20;
// Larger files are refused: a line file is far smaller.
constexpr int FILE_LIMIT = 16 << 20;

WebHost* host = nullptr;
vex::Interp* interp = nullptr;

// What the page's calls answer, kept until its next call.
std::u16string answerText;
std::u16string answerCaption;
std::string answerBytes;
uintptr_t answerPair[2];

std::u16string_view Text(const char16_t* text, int units) {
  return {text, size_t(units > 0 ? units : 0)};
}

void* Interpret(void*) {
  vex::SetStackGuard(*interp, STACK_BUDGET);
  if (vex::StartInterpreter(*interp)) {
    // The window's first paint: the turtle origin at the client centre.
    vex::FirstPaint(*interp, host->surface(), host->pixels().ClientWidth(),
                    host->pixels().ClientHeight());
    std::u16string text;
    while (host->NextRun(text)) {
      interp->interruptRequested = false;
      vex::Ref program = vex::ERROR_VALUE;
      if (vex::PrepareRun(*interp, text, program) == vex::Prepared::Ready) {
        vex::ExecuteRun(*interp, program);
      }
      if (host->CloseRequested()) break;
    }
  }
  host->SetState(State::Closed);
  return nullptr;
}

}  // namespace

}  // namespace vexweb

using vexweb::host;
using vexweb::interp;

extern "C" {

// Makes the interpreter with a back buffer of bufferWidth x bufferHeight
// (the screen), of which clientWidth x clientHeight shows; reportEvents
// makes the surface report its draw events. Before anything else.
EMSCRIPTEN_KEEPALIVE void web_make(int clientWidth, int clientHeight,
                                   int bufferWidth, int bufferHeight,
                                   int reportEvents) {
  // Both live as long as the page.
  host = new vexweb::WebHost(bufferWidth, bufferHeight);
  interp = new vex::Interp(*host);
  interp->decodeBodies = vex::DecodeBodiesFromEnvironment();
  host->pixels().SetClientSize(clientWidth, clientHeight);
  if (reportEvents) host->surface().ReportEvents();
  host->SetTitle(vex::msg::CREATION_TITLE);
}

// Starts the interpreter's thread, once the site's files are in place.
// False when the thread cannot be had.
EMSCRIPTEN_KEEPALIVE int web_start() {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, vexweb::STACK_BYTES);
  pthread_t thread;
  bool started =
      pthread_create(&thread, &attributes, vexweb::Interpret, nullptr) == 0;
  pthread_attr_destroy(&attributes);
  if (started) pthread_detach(thread);
  return started;
}

// A file of the page: the site's before web_start, the user's afterwards.
// Bytes may be null, when the page had no room for them.
EMSCRIPTEN_KEEPALIVE void web_add_file(const char16_t* name, int units,
                                       const char* bytes, int size, int users) {
  if (bytes == nullptr || size < 0 || size > vexweb::FILE_LIMIT) {
    host->ShowMessage(vex::msg::CAPTION_ERROR, vex::msg::CANNOT_OPEN_FILE);
    return;
  }
  host->PutFile(vexweb::Text(name, units), std::string(bytes, size_t(size)),
                users != 0);
}

EMSCRIPTEN_KEEPALIVE int web_state() {
  return static_cast<int>(host->CurrentState());
}

EMSCRIPTEN_KEEPALIVE void web_resize(int clientWidth, int clientHeight) {
  host->pixels().SetClientSize(clientWidth, clientHeight);
}

// "実行": false when no run was started.
EMSCRIPTEN_KEEPALIVE int web_run(const char16_t* text, int units) {
  return host->StartRun(vexweb::Text(text, units));
}

// "停止", Esc or Ctrl+Break: stops the run in progress.
EMSCRIPTEN_KEEPALIVE void web_stop() {
  if (host->CurrentState() != vexweb::State::Running) return;
  interp->interruptRequested = true;
  host->WakeWaits();
}

// "ヘルプ": the version box.
EMSCRIPTEN_KEEPALIVE void web_version() {
  host->ShowMessage(vex::msg::CAPTION_VERSION, vex::msg::VERSION_TEXT);
}

// The virtual-key code of the key held down, 0 when it was released.
EMSCRIPTEN_KEEPALIVE void web_key(int code) {
  std::lock_guard<std::mutex> hold(interp->inputLock);
  interp->KeyCode = code;
}

// A mouse message on the drawing surface, at client pixel (x, y).
enum PointerEvent { LEFT_DOWN, LEFT_UP, RIGHT_DOWN, RIGHT_UP, MOVE };
EMSCRIPTEN_KEEPALIVE void web_pointer(int event, int x, int y) {
  // The page's own drawing of the rubber band, as the window thread's
  // device context for one step.
  static vexweb::WebCanvas step(host->pixels());
  auto px = static_cast<int16_t>(x);
  auto py = static_cast<int16_t>(y);
  switch (event) {
    case LEFT_DOWN:
      vex::PointerLeftDown(*interp, step, px, py);
      break;
    case LEFT_UP:
      vex::PointerLeftUp(*interp);
      break;
    case RIGHT_DOWN:
      vex::PointerRightDown(*interp);
      break;
    case RIGHT_UP:
      vex::PointerRightUp(*interp);
      break;
    case MOVE:
      // The waits look at presses and releases only.
      vex::PointerMove(*interp, step, px, py);
      return;
    default:
      return;
  }
  host->WakeWaits();
}

// The back buffer's pixels, and the count that changes when they do.
EMSCRIPTEN_KEEPALIVE const uint32_t* web_pixels() {
  return host->pixels().Data();
}
EMSCRIPTEN_KEEPALIVE unsigned web_picture_version() {
  return host->pixels().Version();
}

// The title, when it changed; else null.
EMSCRIPTEN_KEEPALIVE const char16_t* web_take_title() {
  using vexweb::answerText;
  return host->TakeTitle(answerText) ? answerText.c_str() : nullptr;
}

// The next message box as (caption, text), when one is to be shown; else
// null. The program that showed it waits for web_close_box.
EMSCRIPTEN_KEEPALIVE const uintptr_t* web_take_box() {
  using namespace vexweb;
  if (!host->TakeBox(answerCaption, answerText)) return nullptr;
  answerPair[0] = reinterpret_cast<uintptr_t>(answerCaption.c_str());
  answerPair[1] = reinterpret_cast<uintptr_t>(answerText.c_str());
  return answerPair;
}
EMSCRIPTEN_KEEPALIVE void web_close_box() { host->CloseBox(); }

// The page to print (SVG, UTF-8), when one waits; else null. The program
// waits for web_print_done.
EMSCRIPTEN_KEEPALIVE const char* web_take_print() {
  using vexweb::answerBytes;
  return host->TakePrint(answerBytes) ? answerBytes.c_str() : nullptr;
}
EMSCRIPTEN_KEEPALIVE void web_print_done() { host->PrintDone(); }

EMSCRIPTEN_KEEPALIVE unsigned web_files_version() {
  return host->FilesVersion();
}

// The names of the user's files, one per line, newest first.
EMSCRIPTEN_KEEPALIVE const char16_t* web_users_files() {
  vexweb::answerText = host->UsersFiles();
  return vexweb::answerText.c_str();
}

// A file's bytes as (address, size); null when there is no such file.
EMSCRIPTEN_KEEPALIVE const uintptr_t* web_read_file(const char16_t* name,
                                                    int units) {
  using namespace vexweb;
  if (!host->ReadFile(Text(name, units), answerBytes)) return nullptr;
  answerPair[0] = reinterpret_cast<uintptr_t>(answerBytes.data());
  answerPair[1] = answerBytes.size();
  return answerPair;
}

// The draw events since the last call, one per line.
EMSCRIPTEN_KEEPALIVE const char16_t* web_take_events() {
  vexweb::answerText = host->surface().TakeEvents();
  return vexweb::answerText.c_str();
}

}  // extern "C"
