// The console session: start-up, the typed programs or the REPL, exit.
//
// Evaluation runs on a thread of its own with a large stack, as the window
// program's interpreter thread does, so deep recursion reaches the
// evaluator's orderly depth guard long before the stack ends.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "console/console_host.h"
#include "console/utf.h"
#include "driver/run.h"
#include "turtle/turtle.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace vex {

namespace {

constexpr size_t STACK_BYTES = size_t(256) << 20;
// Stack kept free below the guard for the work between two checks.
constexpr size_t STACK_MARGIN = size_t(2) << 20;

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(0) != 0;
#endif
}

// The interpreter whose run is in progress, for the Ctrl-C handler; null
// while no run is going on. Lock-free, so the handler may touch it.
std::atomic<Interp*> runningInterp{nullptr};

// Ctrl-C stops the run in progress; with no run it ends the program as
// usual.
#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT) return FALSE;
  Interp* in = runningInterp.load();
  if (in == nullptr) return FALSE;
  in->interruptRequested.store(true);
  return TRUE;
}
#else
extern "C" void OnInterrupt(int) {
  Interp* in = runningInterp.load();
  if (in != nullptr) {
    in->interruptRequested.store(true);
    return;
  }
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
}
#endif

void InstallInterruptHandler() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
#endif
}

// Runs one typed program; false once the program has to end.
bool RunTyped(Interp& in, ConsoleHost& host, const ConsoleOptions& options,
              std::u16string_view text) {
  Ref program = ERROR_VALUE;
  if (PrepareRun(in, text, program) == Prepared::Ready) {
    in.interruptRequested.store(false);
    runningInterp.store(&in);
    Ref value = ExecuteRun(in, program);
    runningInterp.store(nullptr);
    if (value != ERROR_VALUE && !options.events) {
      std::u16string_view title(in.PrintBuffer);
      std::string out = ToUtf8(title.substr(10));
      std::printf("%s\n", out.c_str());
      std::fflush(stdout);
    }
  }
  return !host.CloseRequested();
}

// Parenthesis depth of a text, for the REPL's "is the input complete".
long Depth(const std::string& text) {
  long depth = 0;
  for (char c : text) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
  return depth;
}

void Repl(Interp& in, ConsoleHost& host, const ConsoleOptions& options) {
  bool prompt = StdinIsTerminal();
  std::string pending;
  std::string line;
  for (;;) {
    if (prompt) {
      std::fputs(pending.empty() ? "> " : "  ", stdout);
      std::fflush(stdout);
    }
    if (!std::getline(std::cin, line)) break;
    if (!pending.empty()) pending += '\n';
    pending += line;
    if (pending.find_first_not_of(" \t\r\n") == std::string::npos) {
      pending.clear();
      continue;
    }
    if (Depth(pending) > 0) continue;
    bool goOn = RunTyped(in, host, options, FromUtf8(pending));
    pending.clear();
    if (!goOn) break;
  }
  if (prompt) std::fputs("\n", stdout);
}

struct Session {
  const ConsoleOptions* options;
  int status;
};

void RunSession(Session& s) {
  const ConsoleOptions& options = *s.options;
  ConsoleHost host(options);
  Interp in(host);
  in.decodeBodies = DecodeBodiesFromEnvironment();
  host.Attach(&in);
  SetStackGuard(in, STACK_BYTES - STACK_MARGIN);
  if (!StartInterpreter(in)) {
    s.status = 1;
    return;
  }
  // The window's first paint fixes the turtle origin at the client centre
  // and shows the turtle.
  FirstPaint(in, host.canvas(), options.width, options.height);
  if (options.programs.empty()) {
    Repl(in, host, options);
  } else {
    for (const std::string& text : options.programs)
      if (!RunTyped(in, host, options, FromUtf8(text))) break;
  }
  if (!options.svgPath.empty() && !host.canvas().WriteSvg(options.svgPath)) {
    std::fprintf(stderr, "vexilon-cli: cannot write %s\n",
                 options.svgPath.c_str());
  }
  s.status = host.CloseRequested() ? 3 : 0;
}

#ifdef _WIN32
DWORD WINAPI SessionThread(LPVOID arg) {
  RunSession(*static_cast<Session*>(arg));
  return 0;
}
#else
void* SessionThread(void* arg) {
  RunSession(*static_cast<Session*>(arg));
  return nullptr;
}
#endif

}  // namespace

int RunConsole(const ConsoleOptions& options) {
  Session s{&options, 1};
  InstallInterruptHandler();
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  HANDLE thread = CreateThread(nullptr, STACK_BYTES, SessionThread, &s,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return 1;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, STACK_BYTES);
  pthread_t thread;
  if (pthread_create(&thread, &attr, SessionThread, &s) != 0) return 1;
  pthread_attr_destroy(&attr);
  pthread_join(thread, nullptr);
#endif
  return s.status;
}

}  // namespace vex
