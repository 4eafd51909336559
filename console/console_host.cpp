// The console host.
//
// Design note. Messages, the close request and title changes become lines
// of a transcript (--events) or plain output, so the end-to-end tests can
// compare exactly what a user of the window would have seen. There is no
// window: the polls of point input answer as a user who right-clicks at
// once would (getpoint gives NIL) and clicks without moving for a rubber
// band (getcorner gives its anchor); the file work of the line files runs in
// place, as there is no window thread to hand it to.
#include "console/console_host.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "console/utf.h"
#include "core/messages.h"
#include "driver/run.h"
#include "turtle/turtle.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace vex {

namespace {

// Reads in blocks: the core takes a source file one byte at a time.
class StdioFile : public HostFile {
 public:
  explicit StdioFile(std::FILE* f) : f_(f) {}
  ~StdioFile() override { std::fclose(f_); }
  int Get() override {
    if (next_ == end_) {
      next_ = 0;
      end_ = std::fread(block_, 1, sizeof block_, f_);
      if (end_ == 0) return -1;
    }
    return block_[next_++];
  }
  bool Put(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
  }

 private:
  std::FILE* f_;
  unsigned char block_[4096];
  size_t next_ = 0;
  size_t end_ = 0;
};

void Line(const std::string& text) { WriteUtf8(stdout, text + "\n"); }

}  // namespace

ConsoleHost::ConsoleHost(const ConsoleOptions& options)
    : options_(options),
      canvas_(options.events && options.drawEvents ? stdout : nullptr,
              options.width, options.height, !options.svgPath.empty()) {}

void ConsoleHost::ShowMessage(std::u16string_view caption,
                              std::u16string_view text) {
  std::string line = ToUtf8(caption) + ": " + ToUtf8(text);
  if (options_.events) {
    Line("message: " + line);
  } else {
    WriteUtf8(stderr, line + "\n");
  }
}

void ConsoleHost::RequestClose() {
  closeRequested_ = true;
  if (options_.events) Line("close");
}

void ConsoleHost::SetTitle(std::u16string_view text) {
  if (options_.events) Line("title: " + ToUtf8(text));
}

std::unique_ptr<HostFile> ConsoleHost::OpenFile(std::u16string_view name,
                                                FileMode mode) {
  const char* how = mode == FileMode::ReadBinary ? "rb"
                    : mode == FileMode::ReadText ? "r"
                                                 : "w";
#ifdef _WIN32
  std::wstring wide(name.begin(), name.end());
  std::wstring wideMode(how, how + std::char_traits<char>::length(how));
  std::FILE* f = _wfopen(wide.c_str(), wideMode.c_str());
#else
  std::u16string path(name);
  for (char16_t& c : path)
    if (c == u'\\') c = u'/';
  std::FILE* f = std::fopen(ToUtf8(path).c_str(), how);
#endif
  if (f == nullptr) return nullptr;
  return std::make_unique<StdioFile>(f);
}

// Large pages for the large areas: a program that makes millions of Cells
// would otherwise spend a third of its time in page faults. Only the
// aligned interior of an area is advised; the system may decline.
void* ConsoleHost::ReserveArea(size_t bytes) {
  void* area = Host::ReserveArea(bytes);
#ifdef __linux__
  constexpr uintptr_t LARGE_PAGE = uintptr_t(2) << 20;
  auto start = reinterpret_cast<uintptr_t>(area);
  uintptr_t first = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
  uintptr_t end = (start + bytes) & ~(LARGE_PAGE - 1);
  if (area != nullptr && end > first)
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
  return area;
}

void ConsoleHost::WaitForInput() {
  if (interp_ != nullptr) AnswerPollWithoutMouse(*interp_);
}

}  // namespace vex
