// The browser host; see web_host.h.
#include "web/web_host.h"

#include <emscripten/threading.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "core/messages.h"

namespace vexweb {

namespace {

// The longest a wait for input sleeps before it looks again without being
// woken: every click, key and stop wakes it at once.
constexpr auto INPUT_WAIT = std::chrono::milliseconds(200);

// The page's files are named as on Windows: "\" or "/" between folders, a
// leading ".\" meaning nothing, and letters in either case the same.
std::u16string FileKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c == u'\\') c = u'/';
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  }
  while (key.starts_with(u"./")) key.erase(0, 2);
  return key;
}

// A file read from its copy taken when it was opened.
class FileCopy final : public vex::HostFile {
 public:
  explicit FileCopy(std::string bytes) : bytes_(std::move(bytes)) {}
  int Get() override {
    return next_ < bytes_.size() ? static_cast<unsigned char>(bytes_[next_++])
                                 : -1;
  }
  bool Put(std::string_view) override { return false; }

 private:
  std::string bytes_;
  size_t next_ = 0;
};

// A file being written: it becomes one of the page's files, the user's own,
// when it is closed.
class WrittenFile final : public vex::HostFile {
 public:
  WrittenFile(WebHost& host, std::u16string_view name)
      : host_(host), name_(name) {}
  ~WrittenFile() override { host_.PutFile(name_, std::move(bytes_), true); }
  int Get() override { return -1; }
  bool Put(std::string_view bytes) override {
    bytes_ += bytes;
    return true;
  }

 private:
  WebHost& host_;
  std::u16string name_;
  std::string bytes_;
};

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// The printout as an SVG image of PRINT_WIDTH x PRINT_HEIGHT pixels, titled
// with the document's name, which the page puts on the sheet to print. Lines
// run between pixel centres; an arc is drawn on the ellipse inscribed in its
// box, counter-clockwise on the sheet from the start radial to the end radial
// (the whole ellipse when the two coincide).
class SvgPage final : public vex::PrinterPage {
 public:
  explicit SvgPage(WebHost& host) : host_(host) {}

  vex::PageGeometry Geometry() override {
    return {PRINT_WIDTH, PRINT_HEIGHT, 0, 0};
  }
  // The name is the core's "printout", in ASCII.
  void StartDocument(std::u16string_view name) override {
    svg_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(PRINT_WIDTH) + "\" height=\"" +
           std::to_string(PRINT_HEIGHT) +
           "\" fill=\"none\" stroke=\"#000\" stroke-width=\"1\">\n<title>" +
           std::string(name.begin(), name.end()) + "</title>\n";
  }
  void StartPage() override {}
  void MoveTo(int x, int y) override {
    x_ = x;
    y_ = y;
  }
  void LineTo(int x, int y) override {
    svg_ += "<path d=\"M" + Num(x_ + 0.5) + " " + Num(y_ + 0.5) + "L" +
            Num(x + 0.5) + " " + Num(y + 0.5) + "\"/>\n";
    x_ = x;
    y_ = y;
  }
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe,
           int ye) override {
    double l = std::min(left, right), r = std::max(left, right);
    double t = std::min(top, bottom), b = std::max(top, bottom);
    double cx = (l + r) / 2, cy = (t + b) / 2;
    double rx = (r - l) / 2, ry = (b - t) / 2;
    double sx = xs - cx, sy = ys - cy, ex = xe - cx, ey = ye - cy;
    if ((sx * ey - sy * ex == 0 && sx * ex + sy * ey >= 0) || rx == 0 ||
        ry == 0) {
      svg_ += "<ellipse cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" rx=\"" +
              Num(rx) + "\" ry=\"" + Num(ry) + "\"/>\n";
      return;
    }
    // The sheet's y grows downwards: counter-clockwise is a falling angle.
    double a0 = std::atan2(sy / ry, sx / rx);
    double a1 = std::atan2(ey / ry, ex / rx);
    constexpr double TURN = 2 * std::numbers::pi;
    double span = std::fmod(a0 - a1 + 2 * TURN, TURN);
    auto point = [&](double a) {
      return Num(cx + rx * std::cos(a)) + " " + Num(cy + ry * std::sin(a));
    };
    svg_ += "<path d=\"M" + point(a0) + "A" + Num(rx) + " " + Num(ry) + " 0 " +
            (span > std::numbers::pi ? "1" : "0") + " 0 " + point(a1) +
            "\"/>\n";
  }
  void EndPage() override {}
  void EndDocument() override { host_.PrintReady(svg_ + "</svg>\n"); }

 private:
  WebHost& host_;
  std::string svg_;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace

WebHost::WebHost(int bufferWidth, int bufferHeight)
    : pixels_(bufferWidth, bufferHeight), surface_(pixels_) {}

void WebHost::ShowMessage(std::u16string_view caption,
                          std::u16string_view text) {
  std::unique_lock<std::mutex> hold(lock_);
  uint32_t id = ++lastBox_;
  boxes_.push_back({id, std::u16string(caption), std::u16string(text)});
  // The page's own boxes (the version, a run in progress) wait for nobody.
  if (emscripten_is_main_browser_thread()) return;
  changed_.wait(hold, [&] { return closedBox_ >= id; });
}

void WebHost::RequestClose() {
  std::lock_guard<std::mutex> hold(lock_);
  closeRequested_ = true;
  changed_.notify_all();
}

void WebHost::SetTitle(std::u16string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  title_ = text;
  titleChanged_ = true;
}

std::unique_ptr<vex::HostFile> WebHost::OpenFile(std::u16string_view name,
                                                 vex::FileMode mode) {
  if (mode == vex::FileMode::WriteText) {
    return std::make_unique<WrittenFile>(*this, name);
  }
  std::string bytes;
  if (!ReadFile(name, bytes)) return nullptr;
  return std::make_unique<FileCopy>(std::move(bytes));
}

void WebHost::RunOnWindowThread(vex::WindowJob job, vex::WindowWork& work) {
  // The page's thread must never wait for this one, so the work is done
  // here, where the data is; only the print dialog belongs to the page.
  work.Run();
  if (job != vex::WindowJob::Print) return;
  std::unique_lock<std::mutex> hold(lock_);
  if (!printWaiting_) return;
  changed_.wait(hold, [&] { return !printWaiting_; });
}

void WebHost::WaitForInput() {
  std::unique_lock<std::mutex> hold(lock_);
  uint32_t seen = inputVersion_;
  changed_.wait_for(hold, INPUT_WAIT, [&] { return inputVersion_ != seen; });
}

// Memory above the break has never been handed out, and the heap never
// gives memory back below it, so it is still as the module began: zero.
// The areas are reserved there without writing a byte, and their pages
// are only committed when the interpreter first touches them.
void* WebHost::ReserveArea(size_t bytes, vex::AreaUse) {
  constexpr size_t ALIGN = 16;
  void* start = sbrk(static_cast<intptr_t>(bytes + ALIGN));
  if (start == reinterpret_cast<void*>(-1)) return nullptr;
  auto address = reinterpret_cast<uintptr_t>(start);
  return reinterpret_cast<void*>((address + ALIGN - 1) & ~(ALIGN - 1));
}

std::unique_ptr<vex::PrinterPage> WebHost::ChoosePrinter() {
  return std::make_unique<SvgPage>(*this);
}

void WebHost::PrintReady(std::string svg) {
  std::lock_guard<std::mutex> hold(lock_);
  print_ = std::move(svg);
  printWaiting_ = true;
  printTaken_ = false;
}

void WebHost::SetState(State state) {
  std::lock_guard<std::mutex> hold(lock_);
  state_ = state;
}

bool WebHost::NextRun(std::u16string& text) {
  std::unique_lock<std::mutex> hold(lock_);
  state_ = State::Idle;
  changed_.wait(hold, [&] { return runPending_ || closeRequested_; });
  if (closeRequested_) return false;
  runPending_ = false;
  text = std::move(runText_);
  return true;
}

bool WebHost::CloseRequested() {
  std::lock_guard<std::mutex> hold(lock_);
  return closeRequested_;
}

State WebHost::CurrentState() {
  std::lock_guard<std::mutex> hold(lock_);
  return state_;
}

bool WebHost::StartRun(std::u16string_view text) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (state_ == State::Idle && !runPending_) {
      runText_ = text;
      runPending_ = true;
      state_ = State::Running;
      changed_.notify_all();
      return true;
    }
    if (state_ == State::Closed) return false;
  }
  ShowMessage(vex::msg::CAPTION_ERROR, vex::msg::RUN_IN_PROGRESS);
  return false;
}

void WebHost::WakeWaits() {
  std::lock_guard<std::mutex> hold(lock_);
  ++inputVersion_;
  changed_.notify_all();
}

bool WebHost::TakeBox(std::u16string& caption, std::u16string& text) {
  std::lock_guard<std::mutex> hold(lock_);
  if (openBox_ != 0 || boxes_.empty()) return false;
  Box& box = boxes_.front();
  openBox_ = box.id;
  caption = std::move(box.caption);
  text = std::move(box.text);
  boxes_.pop_front();
  return true;
}

void WebHost::CloseBox() {
  std::lock_guard<std::mutex> hold(lock_);
  if (openBox_ == 0) return;
  closedBox_ = openBox_;
  openBox_ = 0;
  changed_.notify_all();
}

bool WebHost::TakeTitle(std::u16string& title) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!titleChanged_) return false;
  titleChanged_ = false;
  title = title_;
  return true;
}

bool WebHost::TakePrint(std::string& svg) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!printWaiting_ || printTaken_) return false;
  printTaken_ = true;
  svg = print_;
  return true;
}

void WebHost::PrintDone() {
  std::lock_guard<std::mutex> hold(lock_);
  printWaiting_ = false;
  print_.clear();
  changed_.notify_all();
}

void WebHost::PutFile(std::u16string_view name, std::string bytes, bool users) {
  std::lock_guard<std::mutex> hold(lock_);
  ++filesVersion_;
  files_[FileKey(name)] = {std::u16string(name), std::move(bytes), users,
                           filesVersion_};
}

uint32_t WebHost::FilesVersion() {
  std::lock_guard<std::mutex> hold(lock_);
  return filesVersion_;
}

std::u16string WebHost::UsersFiles() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<const File*> users;
  for (const auto& [key, file] : files_) {
    if (file.users) users.push_back(&file);
  }
  std::sort(users.begin(), users.end(), [](const File* a, const File* b) {
    return a->written > b->written;
  });
  std::u16string names;
  for (const File* file : users) names += file->name + u'\n';
  return names;
}

bool WebHost::ReadFile(std::u16string_view name, std::string& bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  auto found = files_.find(FileKey(name));
  if (found == files_.end()) return false;
  bytes = found->second.bytes;
  return true;
}

}  // namespace vexweb
