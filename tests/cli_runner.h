// Runs vexilon-cli in a scratch folder for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace vex::test {

struct CliResult {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// A fresh folder under the system's temporary folder holding the start-up
// library at src/vexsys.LSP; removed by the destructor.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes a file of raw bytes at a path relative to the folder.
  void WriteBytes(const std::string& name, const std::string& bytes) const;
  // Writes text (UTF-8 in the test) as a UTF-16LE source file with its
  // byte-order mark and CR LF line ends.
  void WriteSource(const std::string& name, const std::string& utf8) const;
  std::string ReadBytes(const std::string& name) const;

 private:
  std::string path_;
};

// Runs vexilon-cli (or program) with args in dir, feeding input on standard
// input, with env ("NAME=value") added to its environment.
CliResult RunCli(const std::string& dir, const std::vector<std::string>& args,
                 const std::string& input = "",
                 const std::vector<std::string>& env = {},
                 const std::string& program = VEX_CLI);

// Runs each program as one -e of `vexilon-cli --events` in dir and returns
// the transcript lines after the start-up library's title line; status
// receives the exit status.
std::vector<std::string> Transcript(const ScratchDir& dir,
                                    const std::vector<std::string>& programs,
                                    int& status);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// The UTF-16LE bytes of a UTF-8 text.
std::string Utf16Bytes(const std::string& utf8);

}  // namespace vex::test
