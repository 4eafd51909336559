// A host for the turtle tests: records drawing, keeps files in memory,
// answers polls from a script and offers a printer that records its page.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/canvas.h"
#include "core/host.h"
#include "core/interp.h"
#include "driver/run.h"
#include "turtle/turtle.h"

namespace vex::test {

// One line drawn in copy mode, in client pixels.
struct Segment {
  int x1, y1, x2, y2, pen;
  auto operator<=>(const Segment&) const = default;
};

// Records the copy-mode drawing and keeps the XOR lines as a set of
// toggled segments: what remains is what the sprite (or rubber band) shows.
class RecordingCanvas : public Canvas {
 public:
  void SelectPen(int pen) override { pen_ = pen; }
  void SetMix(Mix mix) override { mix_ = mix; }
  void MoveTo(int x, int y) override {
    x_ = x;
    y_ = y;
  }
  void LineTo(int x, int y) override {
    Segment s{x_, y_, x, y, pen_};
    x_ = x;
    y_ = y;
    if (mix_ == Mix::Copy) {
      lines.push_back(s);
      return;
    }
    auto& set = mix_ == Mix::XorPen ? xorLines : invertLines;
    if (!set.erase(s)) set.insert(s);
  }
  void Arc(int l, int t, int r, int b, int xs, int ys, int xe,
           int ye) override {
    arcs.push_back({l, t, r, b, xs, ys, xe, ye, pen_});
  }
  void DrawWrappedText(std::u16string_view text) override {
    texts.push_back({0, 0, std::u16string(text)});
  }
  void TextOut(int x, int y, std::u16string_view text) override {
    texts.push_back({x, y, std::u16string(text)});
  }
  void Clear() override {
    ++clears;
    lines.clear();
    arcs.clear();
    texts.clear();
    xorLines.clear();
  }
  int ClientWidth() override { return 800; }
  int ClientHeight() override { return 600; }

  int pen() const { return pen_; }
  Mix mix() const { return mix_; }
  Pixel position() const { return {x_, y_}; }

  std::vector<Segment> lines;
  std::vector<std::vector<int>> arcs;  // eight values and the pen
  std::vector<std::tuple<int, int, std::u16string>> texts;
  std::set<Segment> xorLines;
  std::set<Segment> invertLines;
  int clears = 0;

 private:
  int pen_ = DEFAULT_PEN;
  Mix mix_ = Mix::Copy;
  int x_ = 0;
  int y_ = 0;
};

class InMemoryFile : public HostFile {
 public:
  explicit InMemoryFile(std::string* data, bool failWrites = false)
      : data_(data), failWrites_(failWrites) {}
  int Get() override {
    return pos_ < data_->size() ? static_cast<unsigned char>((*data_)[pos_++])
                                : -1;
  }
  bool Put(std::string_view bytes) override {
    if (failWrites_) return false;
    data_->append(bytes);
    return true;
  }

 private:
  std::string* data_;
  size_t pos_ = 0;
  bool failWrites_;
};

class RecordingPrinter : public PrinterPage {
 public:
  explicit RecordingPrinter(std::vector<std::string>* log) : log_(log) {}
  ~RecordingPrinter() override { log_->push_back("delete"); }
  // A page of 4960 x 7016 dots with margins of 100 and 120.
  PageGeometry Geometry() override { return {4960, 7016, 100, 120}; }
  void StartDocument(std::u16string_view name) override {
    log_->push_back("doc " + std::string(name.begin(), name.end()));
  }
  void StartPage() override { log_->push_back("page"); }
  void MoveTo(int x, int y) override { Log("move", {x, y}); }
  void LineTo(int x, int y) override { Log("line", {x, y}); }
  void Arc(int l, int t, int r, int b, int xs, int ys, int xe,
           int ye) override {
    Log("arc", {l, t, r, b, xs, ys, xe, ye});
  }
  void EndPage() override { log_->push_back("endpage"); }
  void EndDocument() override { log_->push_back("enddoc"); }

 private:
  void Log(const std::string& what, std::initializer_list<int> values) {
    std::string s = what;
    for (int v : values) s += " " + std::to_string(v);
    log_->push_back(s);
  }
  std::vector<std::string>* log_;
};

class TurtleHost : public Host {
 public:
  void ShowMessage(std::u16string_view, std::u16string_view text) override {
    messages.emplace_back(text);
  }
  void RequestClose() override { closeRequested = true; }
  void SetTitle(std::u16string_view text) override { title = text; }
  std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                     FileMode mode) override {
    std::u16string key(name);
    if (key == u"src\\vexsys.LSP") {
      files[key] = "\xFF\xFE";
    } else if (mode == FileMode::WriteText) {
      if (unwritable.count(key)) return nullptr;
      files[key].clear();
    } else if (!files.count(key)) {
      return nullptr;
    }
    return std::make_unique<InMemoryFile>(&files[key], failWrites);
  }
  void RunOnWindowThread(WindowJob job, WindowWork& work) override {
    jobs.push_back(job);
    work.Run();
  }
  void WaitForInput() override {
    ++polls;
    if (onPoll) onPoll();
  }
  Canvas& Surface() override { return canvas; }
  std::unique_ptr<PrinterPage> ChoosePrinter() override {
    if (!printerChosen) return nullptr;
    return std::make_unique<RecordingPrinter>(&printerLog);
  }

  RecordingCanvas canvas;
  std::vector<std::u16string> messages;
  std::u16string title;
  bool closeRequested = false;
  std::map<std::u16string, std::string> files;
  std::set<std::u16string> unwritable;
  bool failWrites = false;
  std::vector<WindowJob> jobs;
  int polls = 0;
  std::function<void()> onPoll;
  bool printerChosen = false;
  std::vector<std::string> printerLog;
};

// An interpreter after start-up and the window's first paint (client
// 800 x 600, so the origin is (400, 300)).
class TurtleSession {
 public:
  TurtleSession() {
    started = StartInterpreter(in);
    FirstPaint(in, host.canvas, 800, 600);
  }

  // Runs one typed program: its printed value as the title shows it, or
  // "ERROR" when the run failed.
  std::string Run(const std::string& text) {
    std::u16string program(text.begin(), text.end());
    Ref form = ERROR_VALUE;
    if (PrepareRun(in, program, form) != Prepared::Ready) return "NOT READ";
    if (ExecuteRun(in, form) == ERROR_VALUE) return "ERROR";
    std::u16string_view value(in.PrintBuffer);
    value.remove_prefix(10);  // "Vexilon - "
    return std::string(value.begin(), value.end());
  }

  // The sprite's four segments as DrawSprite draws them now.
  std::set<Segment> SpriteSegments() {
    SpriteShape s = SpriteOf(in.turtle);
    Pixel h = PixelOf(in, in.turtle.x, in.turtle.y);
    Pixel t = PixelOf(in, s.tipX, s.tipY);
    Pixel p1 = PixelOf(in, s.p1x, s.p1y);
    Pixel p2 = PixelOf(in, s.p2x, s.p2y);
    std::set<Segment> out;
    const Pixel path[] = {h, t, p1, p2, t};
    for (int i = 0; i < 4; ++i) {
      Segment seg{path[i].x, path[i].y, path[i + 1].x, path[i + 1].y,
                  SPRITE_PEN};
      if (!out.erase(seg)) out.insert(seg);
    }
    return out;
  }

  TurtleHost host;
  Interp in{host};
  bool started = false;
};

}  // namespace vex::test
