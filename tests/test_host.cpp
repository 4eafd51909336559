#include "tests/test_host.h"

#include "console/utf.h"
#include "driver/run.h"
#include "memory/memory.h"
#include "reader/reader.h"

namespace vex::coretest {

namespace {

class MemoryFile : public HostFile {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
  int Get() override {
    return pos_ < bytes_.size() ? static_cast<unsigned char>(bytes_[pos_++])
                                : -1;
  }
  bool Put(std::string_view bytes) override {
    bytes_ += bytes;
    return true;
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

}  // namespace

void CoreHost::ShowMessage(std::u16string_view caption,
                           std::u16string_view text) {
  messages.push_back(ToUtf8(caption) + ": " + ToUtf8(text));
}

void CoreHost::SetTitle(std::u16string_view text) {
  titles.push_back(ToUtf8(text));
}

std::unique_ptr<HostFile> CoreHost::OpenFile(std::u16string_view name,
                                             FileMode) {
  auto found = files.find(std::u16string(name));
  if (found == files.end()) return nullptr;
  return std::make_unique<MemoryFile>(found->second);
}

Session::Session() : in_(std::make_unique<Interp>(host)) {
  InitMemory(*in_);
  PushCell(*in_, ERROR_VALUE);
}

std::string Session::Run(std::u16string_view text) {
  // The evaluation runs on the test's own thread: leave 2 MB of its stack
  // for the work below the nesting guard.
  SetStackGuard(*in_, size_t(4) << 20);
  Ref program = ERROR_VALUE;
  if (PrepareRun(*in_, text, program) != Prepared::Ready) return "<failed>";
  Ref value = ExecuteRun(*in_, program);
  if (value == ERROR_VALUE) return "<failed>";
  return ToUtf8(std::u16string_view(in_->PrintBuffer).substr(10));
}

std::string Session::Run(const std::string& utf8) {
  return Run(FromUtf8(utf8));
}

std::vector<std::string> Session::TakeMessages() {
  std::vector<std::string> out;
  out.swap(host.messages);
  return out;
}

std::string Printed(Interp& in, Ref cell) {
  return ToUtf8(PrintToText(in, cell));
}

}  // namespace vex::coretest
