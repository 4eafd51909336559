// The console session: start-up, the typed programs, the file and the REPL,
// the picture, and the ways out.
//
// Design note. Evaluation runs on a thread of its own with a large stack, as
// the window program's interpreter thread does, so deep recursion reaches
// the evaluator's orderly depth guard long before the stack ends.
//
// The picture on disk is kept current: it is written after the start-up and
// after every run, each time while the session holds the `busy` lock. So
// every way out finds it complete: the end of the input and a fatal
// condition end the session after a run; SIGTERM and SIGHUP (and Ctrl-C
// when no run is going on and no line editor catches it) are taken by a
// thread of their own (POSIX: blocked everywhere, taken with sigwait),
// which stops the run in progress, waits for `busy`, which it then keeps,
// and ends the program by the signal's own default action.
#include "console/session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <string>

#include "console/line_input.h"
#include "console/utf.h"
#include "core/messages.h"
#include "driver/run.h"
#include "memory/memory.h"
#include "turtle/turtle.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vex {

namespace {

namespace fs = std::filesystem;

constexpr size_t STACK_BYTES = size_t(256) << 20;
// Stack kept free below the guard for the work between two checks.
constexpr size_t STACK_MARGIN = size_t(2) << 20;

// What the session thread and the taker of Ctrl-C and signals share.
struct Stopping {
  std::timed_mutex busy;  // held while a run or the start-up is under way
  std::atomic<Interp*> running{nullptr};  // the interpreter of a run
  std::atomic<bool> quit{false};          // the program is being ended
  // A line editor reads the REPL's lines: Ctrl-C at its prompt is its own
  // key, and an interrupt with no run going on ends nothing.
  bool keepOnInterrupt = false;
#ifndef _WIN32
  bool terminalSaved = false;
  termios terminal{};  // as it was before the line editor changed it
#endif
};
Stopping stopping;

// Ctrl-C: stops the run in progress. With none, the program ends unless a
// line editor is in use.
bool InterruptRun() {
  Interp* in = stopping.running.load();
  if (in != nullptr) in->interruptRequested.store(true);
  return in != nullptr || stopping.keepOnInterrupt;
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  return event == CTRL_C_EVENT && InterruptRun();
}
#else
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// A run stops within milliseconds of its interrupt unless it is stuck in
// the system (writing to a pipe nobody reads): the program then ends
// without waiting for it.
constexpr std::chrono::seconds STOP_WAIT{10};

// Ends the program by signal sig once the run in progress has stopped and
// the picture is written.
[[noreturn]] void EndBySignal(int sig) {
  stopping.quit.store(true);
  if (Interp* in = stopping.running.load()) in->interruptRequested.store(true);
  (void)stopping.busy.try_lock_for(STOP_WAIT);
  if (stopping.terminalSaved) {
    tcsetattr(0, TCSANOW, &stopping.terminal);
    WriteUtf8(stdout, "\n");
  }
  std::fflush(stdout);
  std::fflush(stderr);
  std::signal(sig, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  std::raise(sig);
  _exit(128 + sig);
}

void* TakeSignals(void*) {
  sigset_t set = StopSignals();
  for (;;) {
    int sig = 0;
    if (sigwait(&set, &sig) != 0) continue;
    if (sig != SIGINT || !InterruptRun()) EndBySignal(sig);
  }
}
#endif

// The folder of the running program, or an empty path.
fs::path ProgramFolder() {
#ifdef _WIN32
  wchar_t name[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH);
  return n == 0 || n == MAX_PATH ? fs::path() : fs::path(name).parent_path();
#else
  std::error_code ignored;
  return fs::read_symlink("/proc/self/exe", ignored).parent_path();
#endif
}

// The start-up library: src\vexsys under the current folder, as the window
// program has it. An installed program, one with the library in
// share/vexilon beside its own folder (bin), loads that copy when the
// current folder has none. hint says where it was looked for.
std::u16string StartupLibrary(std::string& hint) {
  std::error_code ignored;
  const fs::path local = fs::path("src") / "vexsys.LSP";
  hint = "vexilon-cli: looked for " + ToUtf8(local.u16string()) + " in " +
         ToUtf8(fs::current_path(ignored).u16string());
  if (fs::exists(local, ignored)) return u"src\\vexsys";
  fs::path installed = ProgramFolder().parent_path() / "share" / "vexilon" /
                       "src" / "vexsys.LSP";
  if (!fs::exists(installed, ignored)) return u"src\\vexsys";
  hint += ", then " + ToUtf8(installed.u16string());
  return installed.replace_extension().u16string();
}

// (load (quote name)) in Cells, or ERROR_VALUE after a fatal message.
Ref LoadForm(Interp& in, std::u16string_view name) {
  auto list = [&](Ref car, Ref cdr) {
    return car != ERROR_VALUE && cdr != ERROR_VALUE ? MakeList(in, car, cdr)
                                                    : ERROR_VALUE;
  };
  auto symbol = [&](std::u16string_view text) {
    NameRef n = InternName(in, text);
    return n == NO_NAME ? ERROR_VALUE : MakeSymbol(in, n);
  };
  Ref quoted = list(symbol(u"quote"), list(symbol(name), in.NIL));
  return list(symbol(u"load"), list(quoted, in.NIL));
}

}  // namespace

bool Session::Start() {
  std::lock_guard<std::timed_mutex> hold(stopping.busy);
  std::string hint;
  if (!StartInterpreter(in_, StartupLibrary(hint))) {
    WriteUtf8(stderr, hint + "\n");
    return false;
  }
  // The window's first paint fixes the turtle origin at the client centre
  // and shows the turtle.
  FirstPaint(in_, host_.canvas(), options_.width, options_.height);
  WritePicture();
  return true;
}

// prepare(program) pushes the run's marker and the program's Cells, or
// returns false with nothing to run. The run's value is printed unless the
// transcript shows it as the title.
template <typename Prepare>
RunEnd Session::Run(Prepare&& prepare) {
  std::lock_guard<std::timed_mutex> hold(stopping.busy);
  if (stopping.quit.load()) return RunEnd::Last;
  Ref program = ERROR_VALUE;
  bool stopped = false;
  if (prepare(program)) {
    in_.interruptRequested.store(false);
    stopping.running.store(&in_);
    // A signal taken while the run was being prepared stops it at once.
    if (stopping.quit.load()) in_.interruptRequested.store(true);
    Ref value = ExecuteRun(in_, program);
    stopping.running.store(nullptr);
    stopped = in_.runStopped;
    if (value != ERROR_VALUE && !options_.events) {
      std::u16string_view title(in_.PrintBuffer);
      title.remove_prefix(std::size(msg::TITLE_PREFIX) - 1);
      WriteUtf8(stdout, ToUtf8(title) + "\n");
    }
  }
  WritePicture();
  if (host_.CloseRequested() || stopping.quit.load()) return RunEnd::Last;
  return stopped ? RunEnd::Stopped : RunEnd::Done;
}

RunEnd Session::RunTyped(std::u16string_view text) {
  if (text.substr(0, text.find(u'\0')).size() > size_t(MAX_TEXT_UNITS))
    WriteUtf8(stderr, "vexilon-cli: the input was cut at 3,998 units\n");
  return Run([&](Ref& program) {
    return PrepareRun(in_, text, program) == Prepared::Ready;
  });
}

RunEnd Session::RunFile(const std::string& path) {
  std::u16string name = FromUtf8(path);
  if (name.ends_with(u".LSP")) name.resize(name.size() - 4);
  std::replace(name.begin(), name.end(), u'/', u'\\');
  return Run([&](Ref& program) {
    if (!PushCell(in_, ERROR_VALUE)) return false;
    program = LoadForm(in_, name);
    if (program != ERROR_VALUE && PushCell(in_, program)) return true;
    PopCellsToMarker(in_);
    return false;
  });
}

void Session::WritePicture() {
  const std::string& path = options_.svgPath;
  const ConsoleCanvas& canvas = host_.canvas();
  if (path.empty() || (pictureWritten_ && writtenVersion_ == canvas.Version()))
    return;
  pictureWritten_ = canvas.WriteSvg(path);
  writtenVersion_ = canvas.Version();
  if (!pictureWritten_)
    WriteUtf8(stderr, "vexilon-cli: cannot write " + path + "\n");
}

namespace {

struct SessionThread {
  const ConsoleOptions* options;
  int status;
};

int RunSession(const ConsoleOptions& options) {
  ConsoleHost host(options);
  Interp in(host);
  in.decodeBodies = DecodeBodiesFromEnvironment();
  host.Attach(&in);
  SetStackGuard(in, STACK_BYTES - STACK_MARGIN);
  Session session(options, host, in);
  if (!session.Start()) return 1;
  // In the REPL at a terminal, text a program writes on the surface is
  // shown as it is written.
  if (options.repl && !options.events && AtTerminal())
    host.canvas().EchoText(stdout);
  RunEnd end = RunEnd::Done;
  for (const std::string& text : options.programs) {
    end = session.RunTyped(FromUtf8(text));
    if (end == RunEnd::Last) break;
  }
  if (end != RunEnd::Last && !options.file.empty())
    end = session.RunFile(options.file);
  if (end != RunEnd::Last && options.repl) Repl(session);
  return host.CloseRequested() ? 3 : 0;
}

#ifdef _WIN32
DWORD WINAPI StartSession(LPVOID arg) {
  auto* s = static_cast<SessionThread*>(arg);
  s->status = RunSession(*s->options);
  return 0;
}
#else
void* StartSession(void* arg) {
  auto* s = static_cast<SessionThread*>(arg);
  s->status = RunSession(*s->options);
  return nullptr;
}
#endif

}  // namespace

int RunConsole(const ConsoleOptions& options) {
  SessionThread s{&options, 1};
  stopping.keepOnInterrupt = options.repl && AtTerminal();
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  HANDLE thread = CreateThread(nullptr, STACK_BYTES, StartSession, &s,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return 1;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  if (stopping.keepOnInterrupt)
    stopping.terminalSaved = tcgetattr(0, &stopping.terminal) == 0;
  // Blocked here, the stop signals stay blocked in every thread started
  // from now on, and only TakeSignals takes them.
  sigset_t stops = StopSignals();
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  pthread_t taker;
  if (pthread_create(&taker, nullptr, TakeSignals, nullptr) != 0) return 1;
  pthread_detach(taker);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, STACK_BYTES);
  pthread_t thread;
  if (pthread_create(&thread, &attr, StartSession, &s) != 0) return 1;
  pthread_attr_destroy(&attr);
  pthread_join(thread, nullptr);
  // A signal ended the session; its taker ends the program.
  if (stopping.quit.load())
    for (;;) pause();
#endif
  return s.status;
}

}  // namespace vex
