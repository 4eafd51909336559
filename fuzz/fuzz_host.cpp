// The fuzz targets' host and shared interpreter.
#include "fuzz/fuzz_host.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>

#include "driver/run.h"
#include "turtle/turtle.h"

namespace vex::fuzz {

namespace {

// Enough for any run to end by its budget long before a fuzzer's timeout.
constexpr int64_t STEP_BUDGET = 20000;
// Stack left for the evaluation of one input (the fuzzer's thread has 8 MB).
constexpr size_t STACK_BUDGET = size_t(5) << 20;

class MemoryFile : public HostFile {
 public:
  explicit MemoryFile(std::string* bytes) : bytes_(bytes) {}
  int Get() override {
    if (at_ >= bytes_->size()) return -1;
    return static_cast<unsigned char>((*bytes_)[at_++]);
  }
  bool Put(std::string_view bytes) override {
    // Drawings can be large; what a fuzzed program writes is kept small.
    if (bytes_->size() < 65536) bytes_->append(bytes);
    return true;
  }

 private:
  std::string* bytes_;
  size_t at_ = 0;
};

}  // namespace

std::unique_ptr<HostFile> FuzzHost::OpenFile(std::u16string_view name,
                                             FileMode mode) {
  std::u16string key(name);
  if (mode == FileMode::WriteText) {
    files_[key].clear();
  } else if (files_.find(key) == files_.end()) {
    return nullptr;
  }
  return std::make_unique<MemoryFile>(&files_[key]);
}

namespace {

constexpr uintptr_t PAGE = 4096;

size_t PagesFor(size_t bytes) { return (bytes + PAGE - 1) & ~(PAGE - 1); }

}  // namespace

// Fresh mappings: renewing the interpreter then costs only the pages its
// runs touched, where the sanitizer's allocator would poison and unpoison
// the shadow of all its areas (some 600 MB) each time. Each area ends just
// before a page without access, so a run past its end stops at once.
void* FuzzHost::ReserveArea(size_t bytes) {
  size_t pages = PagesFor(bytes);
  void* map = mmap(nullptr, pages + PAGE, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  auto base = reinterpret_cast<uintptr_t>(map);
  mprotect(reinterpret_cast<void*>(base + pages), PAGE, PROT_NONE);
  return reinterpret_cast<void*>(base + ((pages - bytes) & ~uintptr_t(15)));
}

void FuzzHost::ReleaseArea(void* area, size_t bytes) {
  uintptr_t base = reinterpret_cast<uintptr_t>(area) & ~(PAGE - 1);
  munmap(reinterpret_cast<void*>(base), PagesFor(bytes) + PAGE);
}

void FuzzHost::WaitForInput() {
  if (interp_ != nullptr) AnswerPollWithoutMouse(*interp_);
}

Interp& SharedInterp(FuzzHost& host) {
  static std::unique_ptr<Interp> shared;
  // A collection passes over every Cell ever handed out, and a fresh
  // interpreter costs only the pages its runs touched: renewing it often
  // keeps each (gc) cheap.
  constexpr uint32_t FRESH_CELLS = 1u << 14;
  if (!shared || shared->closing || shared->cellHigh > FRESH_CELLS) {
    shared.reset();
    // Files the programs wrote go with the interpreter that wrote them, so
    // opening one stays quick however many names the fuzzer has tried.
    host.ForgetFiles();
    host.SetFile(u"src\\vexsys.LSP", "\xFF\xFE");
    shared = std::make_unique<Interp>(host);
    host.Attach(shared.get());
    StartInterpreter(*shared);
  }
  return *shared;
}

Ref RunWithBudget(Interp& in, std::u16string_view text) {
  SetStackGuard(in, STACK_BUDGET);
  Ref program = ERROR_VALUE;
  if (PrepareRun(in, text, program) != Prepared::Ready) return ERROR_VALUE;
  in.stepBudget = STEP_BUDGET;
  Ref value = ExecuteRun(in, program);
  in.stepBudget = -1;
  return value;
}

std::u16string TextOf(const uint8_t* data, size_t size) {
  std::u16string text;
  text.reserve(size);
  size_t i = 0;
  while (i < size) {
    uint8_t b = data[i];
    if (b < 0x80) {
      text += char16_t(b);
      ++i;
    } else if ((b & 0xE0) == 0xC0 && i + 1 < size) {
      text += char16_t(((b & 0x1F) << 6) | (data[i + 1] & 0x3F));
      i += 2;
    } else if ((b & 0xF0) == 0xE0 && i + 2 < size) {
      text += char16_t(((b & 0x0F) << 12) | ((data[i + 1] & 0x3F) << 6) |
                       (data[i + 2] & 0x3F));
      i += 3;
    } else {
      text += char16_t(0xFF00 | b);
      ++i;
    }
  }
  return text;
}

}  // namespace vex::fuzz
