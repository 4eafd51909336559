// The one host of the unit tests and the fuzz targets.
//
// Everything the core shows goes into one transcript of event lines, as
// `vexilon-cli --events --draw-events` writes them: "title: ...",
// "message: CAPTION: TEXT", "close", "draw: ...". Lines drawn in XOR or
// invert mode (the sprite, the rubber band) are in it too, and kept as the
// set of segments that still shows. Files live in memory; mouse polls and
// pauses call a script, or a poll is answered as by a host without a mouse.
#pragma once

#include <sys/mman.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "console/utf.h"
#include "core/canvas.h"
#include "core/host.h"
#include "core/interp.h"
#include "driver/run.h"
#include "turtle/turtle.h"

namespace vex::test {

using Lines = std::vector<std::string>;

struct Segment {
  int x1, y1, x2, y2;
  auto operator<=>(const Segment&) const = default;
};

inline std::string Numbers(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += " " + std::to_string(v);
  return out;
}

class MemoryFile : public HostFile {
 public:
  MemoryFile(std::string& bytes, bool fail, size_t& written)
      : bytes_(bytes), fail_(fail), written_(written) {}
  int Get() override {
    return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : -1;
  }
  bool Put(std::string_view bytes) override {
    if (bytes_.size() < 65536) bytes_ += bytes;  // fuzzed programs write much
    written_ += bytes.size();
    return !fail_;
  }

 private:
  std::string& bytes_;
  bool fail_;
  size_t& written_;
  size_t at_ = 0;
};

class TestHost : public Host, public Canvas {
 public:
  void ShowMessage(std::u16string_view caption,
                   std::u16string_view text) override {
    events.push_back("message: " + ToUtf8(caption) + ": " + ToUtf8(text));
  }
  void RequestClose() override { events.push_back("close"); }
  void SetTitle(std::u16string_view text) override {
    events.push_back("title: " + ToUtf8(text));
  }
  std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                     FileMode mode) override {
    std::u16string key(name);
    if (mode == FileMode::WriteText ? unwritable.count(key) != 0
                                    : files.count(key) == 0)
      return nullptr;
    if (mode == FileMode::WriteText) files[key].clear();
    return std::make_unique<MemoryFile>(files[key], failWrites, written);
  }
  void RunOnWindowThread(WindowJob job, WindowWork& work) override {
    jobs.push_back(job);
    work.Run();
  }
  void WaitForInput() override {
    ++polls;
    if (onWait)
      onWait();
    else
      AnswerPollWithoutMouse(*in);
  }
  void Pause(int) override {
    if (onWait) onWait();
  }
  Canvas& Surface() override { return *this; }
  // As a cancelled print dialog (the Windows program's tests print).
  std::unique_ptr<PrinterPage> ChoosePrinter() override { return nullptr; }
  // Fresh mappings: a new interpreter costs only the pages its runs touch,
  // where the sanitizer's allocator would poison and unpoison the shadow of
  // all its areas (some 600 MB). Each area ends just before a page without
  // access, so a run past its end stops at once.
  void* ReserveArea(size_t bytes, AreaUse) override {
    size_t pages = (bytes + 4095) & ~size_t(4095);
    auto* map = static_cast<char*>(
        mmap(nullptr, pages + 4096, PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    if (map == MAP_FAILED) return nullptr;
    mprotect(map + pages, 4096, PROT_NONE);
    return map + ((pages - bytes) & ~size_t(15));
  }
  void ReleaseArea(void* area, size_t bytes) override {
    auto base = reinterpret_cast<uintptr_t>(area) & ~uintptr_t(4095);
    munmap(reinterpret_cast<void*>(base),
           ((bytes + 4095) & ~size_t(4095)) + 4096);
  }

  void SelectPen(int pen) override { pen_ = pen; }
  void SetMix(Mix mix) override { mix_ = mix; }
  void MoveTo(int x, int y) override { x_ = x, y_ = y; }
  void LineTo(int x, int y) override {
    Segment s{x_, y_, x, y};
    MoveTo(x, y);
    const char* kind[] = {"line", "xor", "invert"};
    events.push_back(std::string("draw: ") + kind[int(mix_)] +
                     Numbers({s.x1, s.y1, s.x2, s.y2, pen_}));
    auto& shown = mix_ == Mix::XorPen ? xorLines : invertLines;
    if (mix_ != Mix::Copy && !shown.erase(s)) shown.insert(s);
  }
  void Arc(int l, int t, int r, int b, int xs, int ys, int xe,
           int ye) override {
    events.push_back("draw: arc" + Numbers({l, t, r, b, xs, ys, xe, ye, pen_}));
  }
  void DrawWrappedText(std::u16string_view text) override {
    events.push_back("draw: wrapped " + ToUtf8(text));
  }
  void TextOut(int x, int y, std::u16string_view text) override {
    events.push_back("draw: text" + Numbers({x, y}) + " " + ToUtf8(text));
  }
  void Clear() override {
    events.push_back("draw: clear");
    xorLines.clear();
  }
  int ClientWidth() override { return 800; }
  int ClientHeight() override { return 600; }

  // The events that begin with prefix, without it; they leave the
  // transcript.
  Lines Take(std::string_view prefix) {
    Lines taken, kept;
    for (std::string& e : events) {
      if (e.starts_with(prefix))
        taken.push_back(e.substr(prefix.size()));
      else
        kept.push_back(e);
    }
    events = kept;
    return taken;
  }

  Lines events;
  std::set<Segment> xorLines, invertLines;      // what still shows of each
  std::map<std::u16string, std::string> files;  // name -> bytes
  std::set<std::u16string> unwritable;
  bool failWrites = false;
  size_t written = 0;  // bytes written to files, all told
  std::vector<WindowJob> jobs;
  // Called at every mouse poll and pause; without it a poll is answered as
  // by a host without a mouse.
  std::function<void()> onWait;
  int polls = 0;
  Interp* in = nullptr;

 private:
  int pen_ = DEFAULT_PEN;
  Mix mix_ = Mix::Copy;
  int x_ = 0, y_ = 0;
};

// The bytes of a source file holding text: FF FE, then UTF-16LE.
inline std::string SourceBytes(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) bytes += {char(u & 0xFF), char(u >> 8)};
  return bytes;
}

// An interpreter after start-up and the window's first paint (client
// 800 x 600), its transcript empty. library: the start-up library's text.
class Session {
 public:
  explicit Session(bool decodeBodies = true, std::u16string_view library = {}) {
    host.in = &in;
    host.files[u"src\\vexsys.LSP"] = SourceBytes(library);
    in.decodeBodies = decodeBodies;
    started = StartInterpreter(in);
    FirstPaint(in, host, 800, 600);
    if (started) host.events.clear();
    startedHigh = in.cellHigh;
  }
  // Runs one typed program with the stack guard (4 MB of the test thread's
  // stack), and with the budget when it is not -1: the value as the title
  // shows it, "ERROR" when the evaluation failed, "NOT READ" when nothing
  // ran.
  std::string Run(std::u16string_view text) {
    SetStackGuard(in, size_t(4) << 20);
    Ref program = ERROR_VALUE;
    if (PrepareRun(in, text, program) != Prepared::Ready) return "NOT READ";
    in.stepBudget = budget;
    Ref value = ExecuteRun(in, program);
    in.stepBudget = -1;
    if (value == ERROR_VALUE) return "ERROR";
    return ToUtf8(std::u16string_view(in.PrintBuffer).substr(10));
  }
  std::string Run(std::string_view utf8) { return Run(FromUtf8(utf8)); }

  TestHost host;
  Interp in{host};
  bool started = false;
  int64_t budget = -1;
  uint32_t startedHigh = 0;  // in.cellHigh after the start-up
};

// Whether a session that serves many runs, as one window does, is to be
// made again: a fatal condition has closed it, or it has touched more than
// cells Cells since its start (each collection passes over all of them).
inline bool Spent(const Session& s, uint32_t cells = 1u << 14) {
  return s.in.closing || s.in.cellHigh > s.startedHigh + cells;
}

// session, made (again) when missing or spent, its transcript emptied.
inline Session& Reused(std::unique_ptr<Session>& session) {
  if (!session || Spent(*session)) {
    session.reset();
    session = std::make_unique<Session>();
  }
  session->host.events.clear();
  return *session;
}

}  // namespace vex::test
