// The UI-automation driver; see automation.h.
#include "tests/gui/automation.h"

#include <vector>

namespace vexgui {

namespace {

constexpr wchar_t DIALOG_CLASS[] = L"#32770";
constexpr wchar_t CAPTION_ERROR[] = L"エラー";
constexpr wchar_t CAPTION_INPUT[] = L"INPUT";
constexpr wchar_t RUN_IN_PROGRESS[] = L"Lispプログラムの実行中です。";
constexpr int CMD_INPUT = 103;
constexpr int ID_TEXT = 100;
constexpr int ID_EXECUTE = 102;
constexpr int MESSAGE_TEXT_ID = 0xFFFF;
constexpr DWORD SEND_TIMEOUT_MS = 5000;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found.push_back(window);
  }
  return TRUE;
}

// The visible top-level windows of a process.
std::vector<HWND> WindowsOf(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

std::wstring TextOf(HWND window) {
  wchar_t text[8192] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 8192,
                           reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           SEND_TIMEOUT_MS, &copied)) {
    // A window thread that is busy still has its text read from the server.
    GetWindowTextW(window, text, 8192);
  }
  return text;
}

bool Probe::Load(const std::wstring& dllPath) {
  module_ = LoadLibraryW(dllPath.c_str());
  if (module_ == nullptr) return false;
  hook_ = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void*>(GetProcAddress(module_, HOOK_PROC)));
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                0, sizeof(Shared), SHARED_NAME);
  if (hook_ == nullptr || mapping_ == nullptr) return false;
  shared_ = static_cast<Shared*>(
      MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  return shared_ != nullptr;
}

bool Probe::Attach(DWORD threadId) {
  Detach();
  installed_ = SetWindowsHookExW(WH_GETMESSAGE, hook_, module_, threadId);
  return installed_ != nullptr;
}

void Probe::Detach() {
  if (installed_ != nullptr) UnhookWindowsHookEx(installed_);
  installed_ = nullptr;
}

Session::~Session() {
  probe_.Detach();
  if (process_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Session::Launch() {
  marker_ = RegisterWindowMessageW(MARKER_MESSAGE);
  std::wstring commandLine = L"\"" + exePath_ + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  // A show command other than maximised: the program must ignore it.
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  return CreateProcessW(exePath_.c_str(), commandLine.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, folder_.c_str(), &startup,
                        &process_) != 0;
}

bool Session::WaitForMainWindow(DWORD timeoutMs) {
  bool found = WaitFor(
      [&] {
        for (HWND w : WindowsOf(process_.dwProcessId)) {
          if (ClassOf(w) == L"Vexilon") window_ = w;
        }
        return window_ != nullptr || !Running();
      },
      timeoutMs);
  if (!found || window_ == nullptr) return false;
  DWORD thread = GetWindowThreadProcessId(window_, nullptr);
  return probe_.Attach(thread) && Sync();
}

bool Session::MainWindowVisible() const {
  for (HWND w : WindowsOf(process_.dwProcessId)) {
    if (ClassOf(w) == L"Vexilon") return true;
  }
  return false;
}

bool Session::WaitTitle(const std::wstring& text, DWORD timeoutMs) {
  return WaitFor([&] { return Title() == text; }, timeoutMs);
}

bool Session::Sync(bool capture, DWORD timeoutMs) {
  return SyncWith(capture ? MARKER_CAPTURE : 0, timeoutMs);
}

bool Session::RefuseThreads(bool refuse) {
  return SyncWith(refuse ? MARKER_NO_THREADS : 0, 10000);
}

bool Session::SyncWith(intptr_t flags, DWORD timeoutMs) {
  int32_t number = ++sequence_;
  Post(marker_, static_cast<WPARAM>(number), flags);
  return WaitFor([&] { return probe_.Data().seen == number; }, timeoutMs);
}

uint32_t Session::Pixel(int x, int y) const {
  const Shared& s = probe_.Data();
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0xFFFFFFFF;
  return s.pixels[size_t(y) * s.width + x] & 0xFFFFFF;
}

std::basic_string<uint32_t> Session::Capture() const {
  const Shared& s = probe_.Data();
  return std::basic_string<uint32_t>(s.pixels, size_t(s.width) * s.height);
}

HWND Session::WaitDialog(const std::wstring& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND w : WindowsOf(process_.dwProcessId)) {
          if (ClassOf(w) == DIALOG_CLASS && TextOf(w) == caption) found = w;
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

HWND Session::FindOtherDialog(const std::wstring& except1,
                              const std::wstring& except2) const {
  for (HWND w : WindowsOf(process_.dwProcessId)) {
    if (ClassOf(w) != DIALOG_CLASS) continue;
    std::wstring caption = TextOf(w);
    if (caption != except1 && caption != except2) return w;
  }
  return nullptr;
}

std::wstring Session::MessageText(HWND box) {
  return TextOf(GetDlgItem(box, MESSAGE_TEXT_ID));
}

bool Session::Press(HWND dialog, int id, DWORD timeoutMs) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); },
                 timeoutMs);
}

bool Session::ExpectError(const std::wstring& text, DWORD timeoutMs) {
  HWND box = WaitDialog(CAPTION_ERROR, timeoutMs);
  if (box == nullptr) return false;
  bool same = MessageText(box) == text;
  return Press(box, IDOK) && same;
}

HWND Session::OpenInput() {
  // Right after a run's value shows, its thread may not have finished:
  // "入力" then answers that a program is running, and is asked again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    Post(WM_COMMAND, CMD_INPUT, 0);
    HWND dialog = nullptr;
    HWND busy = nullptr;
    WaitFor(
        [&] {
          dialog = WaitDialog(CAPTION_INPUT, 0);
          busy = dialog ? nullptr : WaitDialog(CAPTION_ERROR, 0);
          return dialog != nullptr || busy != nullptr;
        },
        10000);
    if (dialog != nullptr) return dialog;
    if (busy == nullptr || MessageText(busy) != RUN_IN_PROGRESS) {
      return nullptr;
    }
    Press(busy, IDOK);
  }
  return nullptr;
}

std::wstring Session::EditText(HWND dialog) {
  return TextOf(GetDlgItem(dialog, ID_TEXT));
}

void Session::SetEditText(HWND dialog, const std::wstring& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(dialog, ID_TEXT), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                      SEND_TIMEOUT_MS, &result);
}

bool Session::Execute(const std::wstring& program) {
  HWND dialog = OpenInput();
  if (dialog == nullptr) return false;
  SetEditText(dialog, program);
  // The dialog's loop answers the title change while the window waits.
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window_, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(SENTINEL_TITLE), SMTO_NORMAL,
                      SEND_TIMEOUT_MS, &result);
  return Press(dialog, ID_EXECUTE);
}

bool Session::Evaluate(const std::wstring& program, const std::wstring& value) {
  return Execute(program) && WaitTitle(L"Vexilon - " + value);
}

void Session::PostMouse(UINT message, int x, int y) {
  WPARAM keys = message == WM_LBUTTONDOWN   ? MK_LBUTTON
                : message == WM_RBUTTONDOWN ? MK_RBUTTON
                                            : 0;
  Post(message, keys, MAKELPARAM(x, y));
}

void Session::PostKey(UINT message, int virtualKey) {
  LPARAM flags = message == WM_KEYUP ? LPARAM(0xC0000001) : LPARAM(1);
  Post(message, static_cast<WPARAM>(virtualKey), flags);
}

void Session::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageW(window_, message, wParam, lParam);
}

long Session::WaitExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<long>(code);
}

bool Session::Running() const {
  return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

}  // namespace vexgui
