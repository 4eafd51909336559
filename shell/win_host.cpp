// The Win32 host; see win_host.h.
#include "shell/win_host.h"

#include <cstdio>
#include <string>

#include "shell/app.h"
#include "shell/print_dialog.h"
#include "shell/resource.h"

namespace vexshell {

namespace {

// The longest a wait for input sleeps before it looks again without being
// woken. Every change it waits for wakes it at once; this only bounds the
// cost of a wake-up that went astray.
constexpr DWORD INPUT_WAIT_MS = 200;

// A file opened with the C runtime; closed with the object.
class StdioFile final : public vex::HostFile {
 public:
  explicit StdioFile(std::FILE* file) : file_(file) {}
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;
  ~StdioFile() override { std::fclose(file_); }

  int Get() override { return std::getc(file_); }
  bool Put(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }

 private:
  std::FILE* file_;
};

const wchar_t* ModeText(vex::FileMode mode) {
  switch (mode) {
    case vex::FileMode::ReadText:
      return L"r";
    case vex::FileMode::WriteText:
      return L"w";
    case vex::FileMode::ReadBinary:
      break;
  }
  return L"rb";
}

}  // namespace

WinHost::WinHost(App& app)
    : app_(app), inputEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WinHost::~WinHost() {
  if (inputEvent_ != nullptr) CloseHandle(inputEvent_);
}

void WinHost::ShowMessage(std::u16string_view caption,
                          std::u16string_view text) {
  if (GetCurrentThreadId() == app_.windowThread) {
    ShowBox(app_, caption, text);
    return;
  }
  HandOver(WM_RUN_MESSAGE, 0, [&] { ShowBox(app_, caption, text); });
}

void WinHost::RequestClose() {
  MarkClosing(app_);
  // At start-up the window closes itself at once, as its creation expects.
  // A run's thread, or work done for it, only posts the request: the window
  // then closes from the message loop, outside the core call that asked.
  if (GetCurrentThreadId() == app_.windowThread && !app_.run.Busy()) {
    SendMessageW(app_.window, WM_CLOSE, 0, 0);
  } else {
    PostMessageW(app_.window, WM_CLOSE, 0, 0);
  }
}

void WinHost::SetTitle(std::u16string_view text) {
  SetWindowTextW(app_.window, WideString(text).c_str());
}

std::unique_ptr<vex::HostFile> WinHost::OpenFile(std::u16string_view name,
                                                 vex::FileMode mode) {
  std::FILE* file = _wfopen(WideString(name).c_str(), ModeText(mode));
  if (file == nullptr) return nullptr;
  return std::make_unique<StdioFile>(file);
}

void WinHost::RunOnWindowThread(vex::WindowJob job, vex::WindowWork& work) {
  // The start-up library runs on the window thread already.
  if (GetCurrentThreadId() == app_.windowThread) {
    work.Run();
    return;
  }
  WPARAM command = job == vex::WindowJob::Print       ? CMD_PRINT
                   : job == vex::WindowJob::SaveLines ? CMD_WRITE_LINES
                                                      : CMD_READ_LINES;
  HandOver(WM_COMMAND, command, [&] {
    CoreCall call(app_);
    work.Run();
  });
}

void WinHost::WaitForInput() {
  WaitForSingleObject(inputEvent_, INPUT_WAIT_MS);
  // The round trip lets the window thread handle the mouse messages that
  // are still queued before the program looks at the pointer state again.
  SendMessageW(app_.window, WM_COMMAND, CMD_POLL, 0);
}

vex::Canvas& WinHost::Surface() { return app_.canvas; }

std::unique_ptr<vex::PrinterPage> WinHost::ChoosePrinter() {
  ModalScope modal(app_);
  return ChoosePrinterPage(app_.window);
}

void WinHost::HandOver(UINT message, WPARAM wParam,
                       const std::function<void()>& action) {
  if (app_.closing) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    handed_ = &action;
    state_ = Handover::Handed;
  }
  SendMessageW(app_.window, message, wParam, 0);
  std::unique_lock<std::mutex> hold(lock_);
  // Still only handed: the window was gone and nothing will carry it out.
  if (state_ != Handover::Handed) {
    finished_.wait(hold, [&] { return state_ == Handover::Done; });
  }
  state_ = Handover::None;
  handed_ = nullptr;
}

void WinHost::TakeHandedOver() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (state_ != Handover::Handed) return;
    state_ = Handover::Kept;
  }
  if (app_.modalDepth == 0) CarryOutHandedOver();
}

void WinHost::CarryOutHandedOver() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (state_ != Handover::Kept) return;
    state_ = Handover::Running;
  }
  if (!app_.closing) (*handed_)();
  {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = Handover::Done;
  }
  finished_.notify_all();
}

}  // namespace vexshell
