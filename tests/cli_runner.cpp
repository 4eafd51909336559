// Process plumbing of the end-to-end tests (POSIX).
#include "tests/cli_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "console/utf.h"

namespace vex::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "vexilon-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  fs::create_directories(fs::path(path_) / "src");
  fs::copy_file(fs::path(VEX_SOURCE_DIR) / "src" / "vexsys.LSP",
                fs::path(path_) / "src" / "vexsys.LSP");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void ScratchDir::WriteBytes(const std::string& name,
                            const std::string& bytes) const {
  fs::path p = fs::path(path_) / name;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

void ScratchDir::WriteSource(const std::string& name,
                             const std::string& utf8) const {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  WriteBytes(name, "\xFF\xFE" + Utf16Bytes(crlf));
}

std::string ScratchDir::ReadBytes(const std::string& name) const {
  std::ifstream f(fs::path(path_) / name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Utf16Bytes(const std::string& utf8) {
  std::string bytes;
  for (char16_t u : FromUtf8(utf8)) {
    bytes += char(u & 0xFF);
    bytes += char(u >> 8);
  }
  return bytes;
}

namespace {

std::string Drain(int fd) {
  std::string text;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
  close(fd);
  return text;
}

}  // namespace

CliResult RunCli(const std::string& dir, const std::vector<std::string>& args,
                 const std::string& input, const std::vector<std::string>& env,
                 const std::string& program) {
  // Standard input and error go through files, standard output through a
  // pipe, so no pipe can fill up while the child is still running.
  std::string inPath = dir + "/.stdin";
  std::string errPath = dir + "/.stderr";
  std::ofstream(inPath, std::ios::binary) << input;
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(inPath.c_str(), O_RDONLY);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(err, 2);
    close(out[0]);
    std::vector<std::string> settings(env);
    for (std::string& s : settings) putenv(s.data());
    std::vector<char*> argv;
    std::string cli = program;
    argv.push_back(cli.data());
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(cli.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  CliResult r;
  r.out = Drain(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream e(errPath, std::ios::binary);
  std::ostringstream s;
  s << e.rdbuf();
  r.err = s.str();
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  std::string line;
  while (std::getline(s, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> Transcript(const ScratchDir& dir,
                                    const std::vector<std::string>& programs,
                                    int& status) {
  std::vector<std::string> args{"--events"};
  for (const std::string& p : programs) {
    args.push_back("-e");
    args.push_back(p);
  }
  CliResult r = RunCli(dir.path(), args);
  status = r.status;
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = r.out.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(r.out.substr(start, end - start));
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

}  // namespace vex::test
