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

// Fresh mappings. A swept area starts on a large page and asks for large
// pages: a run's allocations sweep the first megabytes of the Cells and the
// numbers, which took even a short program hundreds of page faults (some 2
// microseconds each) and one that makes millions of Cells a third of its
// time. The other areas are touched a page here and there, where a large
// page would only cost the clearing of 2 MB. The system may decline the
// advice.
#ifdef __linux__
namespace {
constexpr size_t LARGE_PAGE = size_t(2) << 20;
constexpr size_t RoundToLargePages(size_t bytes) {
  return (bytes + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
}
}  // namespace

void* ConsoleHost::ReserveArea(size_t bytes, AreaUse use) {
  size_t size = RoundToLargePages(bytes);
  // One large page more than the area, so that an aligned start lies within;
  // the slack on either side is given back at once.
  void* map = mmap(nullptr, size + LARGE_PAGE, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  auto base = reinterpret_cast<uintptr_t>(map);
  uintptr_t start = (base + LARGE_PAGE - 1) & ~uintptr_t(LARGE_PAGE - 1);
  if (start > base) munmap(map, start - base);
  munmap(reinterpret_cast<void*>(start + size), base + LARGE_PAGE - start);
  if (use == AreaUse::Swept)
    madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(start);
}

void ConsoleHost::ReleaseArea(void* area, size_t bytes) {
  munmap(area, RoundToLargePages(bytes));
}
#endif

void ConsoleHost::WaitForInput() {
  if (interp_ != nullptr) AnswerPollWithoutMouse(*interp_);
}

}  // namespace vex
