// vexilon-cli as people use it: the picture kept on disk through every way
// out, and the command line's own texts. Every wait is bounded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

TEST(Console, ThePictureIsOnDiskAfterEveryRunAndEveryWayOut) {
  // A REPL that has drawn and waits at its prompt, or is drawing in a run
  // that goes on for ever, is ended by a signal: the picture holds the line.
  struct Way {
    const char* input;
    int signal;
  };
  const char* running = "(progn (fd 50) (writelc NIL NIL 'started) (loop))\n";
  for (Way way : {Way{"(fd 50)\n", SIGTERM}, Way{"(fd 50)\n", SIGHUP},
                  Way{"(fd 50)\n", SIGINT}, Way{running, SIGTERM},
                  Way{running, SIGHUP}}) {
    ScratchDir dir;
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    pid_t pid = fork();
    if (pid == 0) {
      int null = open("/dev/null", O_WRONLY);
      if (null < 0 || chdir(dir.path().c_str()) != 0) _exit(127);
      dup2(in[0], 0);
      dup2(null, 1);
      dup2(null, 2);
      close(in[1]);
      execl(VEX_CLI, VEX_CLI, "--svg", "pic.svg", nullptr);
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
    EXPECT_EQ(Status(pid), 128 + way.signal) << way.input;
    EXPECT_NE(dir.ReadBytes("pic.svg").find(FD_50), std::string::npos)
        << way.input << way.signal;
    close(in[1]);
  }
  // A fatal end in the middle of a run that drew.
  ScratchDir dir;
  CliResult r = RunCli(dir.path(), {"--svg", "pic.svg", "-e",
                                    "(progn (fd 50) (arc 1 2 (loop 1)))"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(dir.ReadBytes("pic.svg").find(FD_50), std::string::npos);
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
      {{"-e", "(list " + std::string(4000, ' ') + ")"},
       0,
       "",
       "the input was cut at 3,998 units"},
  };
  for (const Row& row : rows) {
    CliResult r = RunCli(dir.path(), row.args);
    EXPECT_EQ(r.status, row.status) << row.args[0];
    EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  }
  // Without the start-up library: where it was looked for.
  fs::remove_all(fs::path(dir.path()) / "src");
  CliResult r = RunCli(dir.path(), {"-e", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("looked for src/vexsys.LSP in " +
                       fs::canonical(dir.path()).string()),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace vex::test
