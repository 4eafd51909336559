// Runs vexilon-cli in a scratch folder, for the tests of what the program
// does as a whole (POSIX).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/utf.h"

namespace vex::test {

struct CliResult {
  int status;
  std::string out, err;  // standard output and error
};

// A fresh folder under the system's temporary folder holding the start-up
// library at src/vexsys.LSP; removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    path_ = std::filesystem::temp_directory_path().string() + "/vexilon-XXXXXX";
    if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp");
    std::filesystem::create_directories(path_ + "/src");
    std::filesystem::copy_file(VEX_SOURCE_DIR "/src/vexsys.LSP",
                               path_ + "/src/vexsys.LSP");
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

  // Writes a file at a path relative to the folder.
  void Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::path p = path_ + "/" + name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  // Writes text (UTF-8 here) as a source file: UTF-16LE after its
  // byte-order mark, with CR LF line ends.
  void WriteSource(const std::string& name, const std::string& utf8) const {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : FromUtf8(utf8)) {
      if (u == u'\n') bytes += {'\r', '\0'};
      bytes += {char(u & 0xFF), char(u >> 8)};
    }
    Write(name, bytes);
  }
  std::string ReadBytes(const std::string& name) const {
    std::ifstream f(path_ + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

inline std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs vexilon-cli (or program) with args in dir, input on its standard
// input, env ("NAME=value ...") added to its environment. Every stream goes
// through a file, so no pipe can fill up.
inline CliResult RunCli(const ScratchDir& dir,
                        const std::vector<std::string>& args,
                        const std::string& input = "",
                        const std::string& env = "",
                        const std::string& program = VEX_CLI) {
  dir.Write(".in", input);
  std::string command =
      "cd " + Quoted(dir.path()) + " && " + env + " " + Quoted(program);
  for (const std::string& a : args) command += " " + Quoted(a);
  int status = std::system((command + " <.in >.out 2>.err").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          dir.ReadBytes(".out"), dir.ReadBytes(".err")};
}

// The lines of a text, without their line ends.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

}  // namespace vex::test
