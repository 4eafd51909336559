// vexilon-cli as people use it: the picture kept on disk through every way
// out and kept small, Ctrl-C, the line editor at a terminal, the command
// line's own texts, and the installed program. Every wait is bounded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr auto WAIT = std::chrono::seconds(30);

// The line (fd 50) draws from the turtle's start, in the SVG's pixels.
constexpr char FD_50[] = "M400.5 301L400.5 251";

// The exit status as a shell reports it.
int Status(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A REPL that has drawn and waits at its prompt, or is drawing in a run
// that goes on for ever, gets a signal: the picture holds the line. Ctrl-C
// stops only the run, drops the rest of its line, and the REPL goes on.
TEST(Console, ThePictureIsOnDiskAfterEveryRunAndEveryWayOut) {
  const char* running =
      "(progn (fd 50) (writelc NIL NIL 'started) (loop)) (+ 5 5)\n(+ 1 2)\n";
  // An and over a circular list of symbols neither pushes nor calls.
  const char* circular =
      "(progn (fd 50) (writelc NIL NIL 'started) (setq l (list 'T))"
      " (setf (cdr l) l) (eval (cons 'and l))) (+ 5 5)\n(+ 1 2)\n";
  const struct {
    const char* input;
    int signal, status;
    const char* out;
  } ways[] = {
      {"(fd 50)\n", SIGTERM, 128 + SIGTERM, ""},
      {"(fd 50)\n", SIGHUP, 128 + SIGHUP, ""},
      {"(fd 50)\n", SIGINT, 128 + SIGINT, ""},
      {running, SIGTERM, 128 + SIGTERM, ""},
      {running, SIGHUP, 128 + SIGHUP, ""},
      {running, SIGINT, 0,
       "message: エラー: 実行を中断しました\ntitle: Vexilon - 3.000000 \n"},
      {circular, SIGINT, 0,
       "message: エラー: 実行を中断しました\ntitle: Vexilon - 3.000000 \n"},
  };
  for (const auto& way : ways) {
    ScratchDir dir;
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    pid_t pid = fork();
    if (pid == 0) {
      int out = -1;
      if (chdir(dir.path().c_str()) != 0 ||
          (out = open("out", O_WRONLY | O_CREAT, 0644)) < 0)
        _exit(127);
      dup2(in[0], 0);
      dup2(out, 1);
      dup2(out, 2);
      close(in[1]);
      execl(VEX_CLI, VEX_CLI, "--events", "--svg", "pic.svg", nullptr);
      _exit(127);
    }
    close(in[0]);
    ASSERT_EQ(write(in[1], way.input, strlen(way.input)),
              ssize_t(strlen(way.input)));
    auto start = Clock::now();
    while (dir.ReadBytes("pic.svg").find(FD_50) == std::string::npos &&
           !fs::exists(fs::path(dir.path()) / "started.lin") &&
           Clock::now() - start < WAIT)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(pid, way.signal);
    // The REPL that goes on ends at the end of its input; the others must
    // not see it before the signal.
    if (way.status == 0) close(in[1]);
    EXPECT_EQ(Status(pid), way.status) << way.input << way.signal;
    if (way.status != 0) close(in[1]);
    EXPECT_NE(dir.ReadBytes("pic.svg").find(FD_50), std::string::npos)
        << way.input << way.signal;
    EXPECT_NE(dir.ReadBytes("out").find(way.out), std::string::npos)
        << dir.ReadBytes("out");
  }
  // A fatal end in the middle of a run that drew: the names of a file it
  // loads fill the StringArea.
  ScratchDir dir;
  std::string names;
  for (int k = 0; k < 330; ++k)
    names += "(quote n" + std::to_string(k) + std::string(1000, 'x') + ")\n";
  dir.WriteSource("names.LSP", names);
  CliResult r =
      RunCli(dir, {"--svg", "pic.svg", "-e", "(progn (fd 50) (load 'names))"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(dir.ReadBytes("pic.svg").find(FD_50), std::string::npos);
}

// The picture rendered as a PNG by rsvg-convert, or "" when it cannot be.
std::string Rendered(const ScratchDir& dir, const std::string& svg) {
  std::string command = "rsvg-convert -o '" + dir.path() + "/" + svg +
                        ".png' '" + dir.path() + "/" + svg + "'";
  return std::system(command.c_str()) == 0 ? dir.ReadBytes(svg + ".png") : "";
}

// Twenty laps of a circle, a red line across it, one more lap over it. In
// the full form a zero-length line of another pen after each step keeps
// every segment an element of its own and never a repeat; the compact
// picture keeps one lap, and its pixels.
TEST(Console, ACircleDrawnOverAndOverKeepsOneLapAndItsPixels) {
  ScratchDir dir;
  for (auto [svg, step] :
       {std::pair{"compact.svg", "(fd 2) (rt 3)"},
        {"full.svg", "(fd 2) (setpc 4) (fd 0) (setpc 1) (rt 3)"}}) {
    auto lap = [&](int n) {
      return "(setq n 0) (loop ((= n " + std::to_string(120 * n) + ") T) " +
             step + " (setq n (+ n 1)))";
    };
    EXPECT_EQ(
        RunCli(dir, {"--size", "200x160", "--svg", svg, "-e",
                     "(progn (ht) (setpc 1) " + lap(20) +
                         " (setpc 4) (pu) (setpos 38 -60) (pd) (setpos 38 "
                         "60) (pu) (setpos 0 0) (setangle 0) (pd) "
                         "(setpc 1) " +
                         lap(1) + ")"})
            .status,
        0);
  }
  std::string compact = Rendered(dir, "compact.svg");
  EXPECT_FALSE(compact.empty());
  EXPECT_EQ(compact, Rendered(dir, "full.svg"));
  EXPECT_LT(dir.ReadBytes("compact.svg").size(),
            dir.ReadBytes("full.svg").size());
}

// A vexilon-cli at a pseudo-terminal, typed into and read from.
class Terminal {
 public:
  Terminal(const std::string& dir, const std::string& home) {
    pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      setenv("TERM", "xterm", 1);
      setenv("HOME", home.c_str(), 1);
      if (chdir(dir.c_str()) == 0) execl(VEX_CLI, VEX_CLI, nullptr);
      _exit(127);
    }
  }
  ~Terminal() { close(fd_); }
  // Types keys once the editor has the terminal (it draws the prompt a
  // moment before it turns the terminal's line mode off), and waits for
  // text to show after what showed before; false when it does not in time.
  bool Type(const std::string& keys, const std::string& text) {
    auto start = Clock::now();
    termios mode{};
    while (!keys.empty() && tcgetattr(fd_, &mode) == 0 &&
           (mode.c_lflag & ICANON) && Clock::now() - start < WAIT)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    seen_ = screen_.size();
    if (write(fd_, keys.data(), keys.size()) != ssize_t(keys.size()))
      return false;
    while (screen_.find(text, seen_) == std::string::npos) {
      pollfd p{fd_, POLLIN, 0};
      char buf[4096];
      ssize_t n = 0;
      if (Clock::now() - start > WAIT || poll(&p, 1, 100) < 0 ||
          ((p.revents & POLLIN) && (n = read(fd_, buf, sizeof buf)) <= 0))
        return false;
      screen_.append(buf, size_t(n));
    }
    return true;
  }
  int End() { return Status(pid_); }
  const std::string& screen() const { return screen_; }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string screen_;
  size_t seen_ = 0;
};

TEST(Console, TheLineEditorAtATerminal) {
  ScratchDir dir;
  std::string home = dir.path() + "/home";
  fs::create_directory(home);
  struct Step {
    std::string keys, shows;
  };
  // Each step waits for what its keys show, up to the next prompt when
  // there is one (the editor has the terminal again by then).
  const std::vector<std::vector<Step>> sessions = {
      {{"", "> "},
       {"(make-h\t", "ash-table"},  // Tab completes a built-in's name
       {")\r", "(#hash-table eq )\r\n> "},
       {"(car\r", "\r\n  "},  // a form goes on over two lines
       {"'(a b))\r", "\na \r\n> "},
       {"(setq lost\x03", "^C\r\n> "},  // Ctrl-C drops the line
       {"(+ 1 2)\r", "\n3.000000 \r\n> "},
       {"\x1b[A\x1b[A\r", "\na \r\n> "},  // Up recalls the two lines as one
       {"(quote \xe3\x81\x82\xe3\x81\x84\xe3\x81\x86\x7f)\r",
        "\n\xe3\x81\x82\xe3\x81\x84 \r\n> "},  // Backspace takes a character
       {"\x04", "\n"}},
      // The next session has the history of the last one.
      {{"", "> "}, {"\x1b[A\x1b[A\r", "\na \r\n> "}, {"\x04", "\n"}}};
  for (const std::vector<Step>& steps : sessions) {
    Terminal t(dir.path(), home);
    for (const Step& step : steps)
      ASSERT_TRUE(t.Type(step.keys, step.shows))
          << "typed " << step.keys << ", waiting for " << step.shows << " in\n"
          << t.screen();
    EXPECT_EQ(t.End(), 0) << t.screen();
  }
}

TEST(Console, TheCommandLineSaysWhatItDid) {
  ScratchDir dir;
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const std::vector<Row> rows = {
      {{"--version"}, 0, "Vexilon version 3.15\n", ""},
      {{"-e", "1", "--help"}, 0, "Exit status", ""},
      {{"--bogus"}, 2, "", "usage: vexilon-cli"},
      {{"-e", std::string(3999, '1')}, 0, "", "input was cut at 3,998 units"}};
  for (const Row& row : rows) {
    CliResult r = RunCli(dir, row.args);
    EXPECT_EQ(r.status, row.status) << row.args[0];
    EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  }
  // Without the start-up library: where it was looked for.
  fs::remove_all(fs::path(dir.path()) / "src");
  CliResult r = RunCli(dir, {"-e", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("looked for src/vexsys.LSP in " +
                       fs::canonical(dir.path()).string()),
            std::string::npos)
      << r.err;
}

TEST(Console, AnInstalledProgramStartsInAnyFolder) {
  ScratchDir prefix, empty;
  fs::remove_all(fs::path(empty.path()) / "src");
  std::string install = std::string(VEX_CMAKE) + " --install " + VEX_BUILD_DIR +
                        " --prefix " + prefix.path() + " > /dev/null";
  ASSERT_EQ(std::system(install.c_str()), 0);
  fs::path share = fs::path(prefix.path()) / "share" / "vexilon";
  EXPECT_TRUE(fs::exists(share / "examples" / "star.LSP"));
  EXPECT_TRUE(fs::exists(share / "docs" / "guide-en.md"));
  // From a folder without the library, the installed one; from a folder
  // with one (prefix holds src/vexsys.LSP), that one.
  const std::string installed = (share / "src" / "vexsys").string();
  for (const auto& [folder, library] :
       {std::pair{&empty, installed}, {&prefix, "src\\vexsys"}}) {
    CliResult r = RunCli(*folder, {"--events", "-e", "(+ 1 2)"}, "", "",
                         prefix.path() + "/bin/vexilon-cli");
    EXPECT_EQ(SplitLines(r.out), (std::vector<std::string>{
                                     "title: " + library + ".LSPを読み込みます",
                                     "title: Vexilon - 3.000000 "}))
        << r.err;
  }
}

}  // namespace
}  // namespace vex::test
