// The Win32 host; see win_host.h.
#include "shell/win_host.h"

#include <cstdio>
#include <string>

#include "shell/app.h"
#include "shell/printer.h"
#include "shell/resource.h"

namespace vexshell {

namespace {

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

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

void WinHost::ShowMessage(std::u16string_view caption,
                          std::u16string_view text) {
  // Once the window is going away nobody is left to read a message.
  if (app_.closing) return;
  MessageBoxW(app_.window, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

void WinHost::RequestClose() {
  MarkClosing(app_);
  // At start-up the window closes itself at once, as its creation expects.
  // A run's thread, or work done for it, only posts the request: the
  // release waits for that thread, which must not be waiting for the send.
  if (GetCurrentThreadId() == app_.windowThread && !app_.run.Busy()) {
    SendMessageW(app_.window, WM_CLOSE, 0, 0);
  } else {
    PostMessageW(app_.window, WM_CLOSE, 0, 0);
  }
}

void WinHost::SetTitle(std::u16string_view text) {
  SetWindowTextW(app_.window, Wide(text).c_str());
}

std::unique_ptr<vex::HostFile> WinHost::OpenFile(std::u16string_view name,
                                                 vex::FileMode mode) {
  std::FILE* file = _wfopen(Wide(name).c_str(), ModeText(mode));
  if (file == nullptr) return nullptr;
  return std::make_unique<StdioFile>(file);
}

void WinHost::RunOnWindowThread(vex::WindowJob job, vex::WindowWork& work) {
  WPARAM command = job == vex::WindowJob::Print       ? CMD_PRINT
                   : job == vex::WindowJob::SaveLines ? CMD_WRITE_LINES
                                                      : CMD_READ_LINES;
  pendingWork_ = &work;
  SendMessageW(app_.window, WM_COMMAND, command, 0);
  pendingWork_ = nullptr;
}

void WinHost::WaitForInput() {
  SendMessageW(app_.window, WM_COMMAND, CMD_POLL, 0);
}

void WinHost::RunPendingWork() {
  vex::WindowWork* work = pendingWork_.exchange(nullptr);
  if (work == nullptr || app_.closing) return;
  CoreCall call(app_);
  work->Run();
}

vex::Canvas& WinHost::Surface() { return app_.canvas; }

std::unique_ptr<vex::PrinterPage> WinHost::ChoosePrinter() {
  return ChoosePrinterPage(app_.window);
}

}  // namespace vexshell
