// GUI tests of vexilon.exe, driven through its window as a user would; its
// folder holds a release, examples included. The default printer is taken
// for a queue that writes its PDF files into the PDF folder (on Z:).
//
// Design note. The driver posts commands, mouse and keys to the main window
// and button presses to the dialogs. Posted input races with anything looked
// at afterwards, so the driver follows it with a marker and waits until the
// probe (probe.h) has seen the marker leave the queue. Every wait has a
// deadline: a program that hangs fails its check.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "shell/resource.h"
#include "tests/gui/probe.h"

namespace {

using std::wstring;

constexpr wchar_t DIALOG[] = L"#32770";
constexpr wchar_t ERROR_BOX[] = L"エラー";
constexpr wchar_t VERSION_BOX[] = L"バージョン情報";
constexpr wchar_t VALUE[] = L"Vexilon - ";  // how a value's title starts
constexpr wchar_t SENTINEL[] = L"vexgui";   // the title set before each run
constexpr uint32_t WHITE = 0xFFFFFF, BLACK = 0, BLUE = 0x0000FF;
constexpr uint32_t MAGENTA = 0xFF00FF;  // the green sprite XOR white

int failures = 0;
// The block shared with the probe, which holds the picture last looked at:
// a capture of the window, or a printed page.
vexgui::Shared* shared = nullptr;

void Check(bool ok, const wstring& what, const wstring& found) {
  std::wprintf(L"  %ls %ls%ls\n", ok ? L"ok  " : L"FAIL", what.c_str(),
               ok ? L"" : (L"  [found: " + found + L"]").c_str());
  failures += !ok;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  for (DWORD start = GetTickCount();; Sleep(5)) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

// The text of a window of the program; with set, sets it first.
wstring TextOf(HWND window, const wchar_t* set = nullptr) {
  wchar_t text[8192] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, set ? WM_SETTEXT : WM_GETTEXT, 8192,
                      reinterpret_cast<LPARAM>(set ? set : text), SMTO_NORMAL,
                      5000, &result);
  return set ? TextOf(window) : text;
}

// Presses the dialog's button and waits for the dialog to go.
bool Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  return WaitFor([&] { return !IsWindowVisible(dialog); }, 10000);
}

// Starts a program, with a show command other than maximised, which
// vexilon.exe must ignore.
bool Start(wstring commandLine, const wchar_t* folder,
           PROCESS_INFORMATION& process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder, &startup, &process);
}

// Some pixel within reach pixels of (dx, dy) off an origin has the colour.
struct Ink {
  int dx, dy;
  uint32_t color;
  int reach = 0;
};

bool Inked(POINT o, const std::vector<Ink>& inks) {
  return std::all_of(inks.begin(), inks.end(), [&](const Ink& ink) {
    for (int y = o.y + ink.dy - ink.reach; y <= o.y + ink.dy + ink.reach; ++y) {
      for (int x = o.x + ink.dx - ink.reach; x <= o.x + ink.dx + ink.reach;
           ++x) {
        bool in = x >= 0 && y >= 0 && x < shared->width && y < shared->height;
        uint32_t pixel = shared->pixels[in ? y * shared->width + x : 0];
        if (in && (pixel & 0xFFFFFF) == ink.color) return true;
      }
    }
    return false;
  });
}

// One started vexilon.exe, ended with the object.
struct Program {
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;
  HHOOK hook = nullptr;

  Program(const wstring& exe, const wstring& folder) {
    Start(L"\"" + exe + L"\"", folder.c_str(), process);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    PostMessageW(window, message, wParam, lParam);
  }

  // A visible top-level window of the program of the class, with the
  // caption unless that is nullptr.
  HWND Find(const wchar_t* windowClass, const wchar_t* caption) const {
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, windowClass, caption)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process.dwProcessId && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }

  HWND Dialog(const wchar_t* caption, DWORD timeoutMs = 10000) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(DIALOG, caption)) != nullptr; },
            timeoutMs);
    return found;
  }

  // The exit code, or -1 while the program still runs after timeoutMs.
  long Exit(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(process.hProcess, timeoutMs);
    GetExitCodeProcess(process.hProcess, &code);
    return code == STILL_ACTIVE ? -1 : long(code);
  }

  // Waits for the main window and hooks its thread.
  bool Started() {
    WaitFor(
        [&] { return (window = Find(L"Vexilon", nullptr)) || Exit(0) >= 0; },
        20000);
    hook = VexProbeAttach(GetWindowThreadProcessId(window, nullptr));
    return window != nullptr && hook != nullptr && Sync();
  }

  // Posts a marker with the flags; true once the window thread has taken it
  // from its queue.
  bool Sync(intptr_t flags = 0) const {
    static const UINT marker = RegisterWindowMessageW(vexgui::MARKER_MESSAGE);
    static int32_t sequence = 0;
    int32_t number = ++sequence;
    Post(marker, WPARAM(number), flags);
    return WaitFor([&] { return shared->seen == number; }, 10000);
  }

  // Dismisses the error box if one is up; its text, or "".
  wstring Error() const {
    HWND box = Find(DIALOG, ERROR_BOX);
    wstring text = box != nullptr ? TextOf(GetDlgItem(box, 0xFFFF)) : L"";
    return box != nullptr && Press(box, IDOK) ? text : L"";
  }

  // Opens the input dialog. Right after a run's value shows, its thread may
  // not have ended: 入力 then says that a program runs, and is chosen again.
  HWND Input() const {
    for (int attempt = 0; attempt < 20; ++attempt) {
      Post(WM_COMMAND, CMD_INPUT);
      wstring box;
      WaitFor(
          [&] { return Find(DIALOG, L"INPUT") || !(box = Error()).empty(); },
          10000);
      if (box != L"Lispプログラムの実行中です。") break;
    }
    return Find(DIALOG, L"INPUT");
  }

  // Types program into the input dialog, sets the title to SENTINEL and
  // presses 実行.
  bool Execute(const wstring& program) const {
    HWND dialog = Input();
    TextOf(GetDlgItem(dialog, ID_TEXT), program.c_str());
    TextOf(window, SENTINEL);
    return dialog != nullptr && Press(dialog, ID_EXECUTE);
  }

  // What the program comes to: the title with a run's value, or "エラー: "
  // and the text of the box it shows (dismissed), then any such title.
  wstring Outcome() const {
    wstring title, box;
    WaitFor(
        [&] {
          title = TextOf(window);
          box = Error();
          return !box.empty() || title.starts_with(VALUE);
        },
        30000);
    if (!title.starts_with(VALUE)) title.clear();
    return box.empty()
               ? title
               : L"エラー: " + box + (title.empty() ? L"" : L" " + title);
  }
};

// Rasterises the one PDF named after the document and newer than the mark
// file at dpi (a printer pixel to a pixel) into the shared block. Wine gives
// no handle to wait for a Unix program: the shell command leaves a file to
// wait for. pdftoppm fails until the PDF is complete.
bool PrintedPage(wstring pdfs, wstring mark, int dpi, DWORD timeoutMs) {
  wstring raster = mark + L".pgm";
  for (wstring* path : {&pdfs, &mark}) {  // drive Z: maps /
    std::replace(path->begin(), path->end(), L'\\', L'/');
    *path = path->substr(2);
  }
  wstring command =
      L"/bin/sh -c \"for i in $(seq " + std::to_wstring(timeoutMs / 300) +
      L"); do pdftoppm -gray -aa no -aaVector no -r " + std::to_wstring(dpi) +
      L" $(find " + pdfs + L" -name 'printout-*.pdf' -newer " + mark +
      L") </dev/null >" + mark + L".part 2>&- && mv " + mark + L".part " +
      mark + L".pgm && break; sleep 0.3; done\"";
  PROCESS_INFORMATION shell = {};
  if (!Start(command, nullptr, shell) ||
      !WaitFor([&] { return std::filesystem::exists(raster); }, timeoutMs)) {
    return false;
  }
  // "P5", width, height, 255, then a byte a pixel (0 black, 255 white) for
  // every page.
  std::ifstream in(std::filesystem::path(raster), std::ios::binary);
  std::string pgm{std::istreambuf_iterator<char>(in), {}};
  int depth = 0, header = 0;
  std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &shared->width, &shared->height,
              &depth, &header);
  size_t size = size_t(shared->width) * shared->height;
  if (pgm.size() != header + 1 + size || size > vexgui::MAX_CAPTURE_PIXELS) {
    return false;
  }
  for (size_t i = 0; i < size; ++i) {
    shared->pixels[i] = uint8_t(pgm[header + 1 + i]) * 0x010101u;
  }
  return true;
}

// What the driver does while a row's program runs, as the check names it.
constexpr wchar_t NO_THREAD[] = L" with no thread to be had";
constexpr wchar_t BREAK[] = L" and Ctrl+Break";
constexpr wchar_t KEY_A[] = L" with A down";
constexpr wchar_t FOCUS_LOST[] = L" with A down, then the focus lost";
constexpr wchar_t CORNER[] = L" after a press let go elsewhere; band, click";
constexpr wchar_t BOX_FIRST[] = L" behind the version box";
constexpr wchar_t PRINT[] = L" printed on one page";
constexpr wchar_t CANCEL[] = L" cancelled, printing nothing";

struct Row {
  wstring program;
  const wchar_t* step;
  wstring expect;             // the value, or "エラー: " and the message
  std::vector<Ink> ink = {};  // on the window, or on the printed page
};

// Does the row's step once its program runs; false when the step failed.
bool Step(const Program& p, POINT o, const Row& row) {
  auto post = [&](UINT message, WPARAM wParam = 0, int x = 0, int y = 0) {
    p.Post(message, wParam, MAKELPARAM(o.x + x, o.y + y));
  };
  HWND box = nullptr;
  if (row.step == BREAK) {
    post(WM_KEYDOWN, VK_CANCEL);
    post(WM_KEYUP, VK_CANCEL);
  } else if (row.step == KEY_A || row.step == FOCUS_LOST) {
    // Handled in turn: the key, the version box (which takes the focus),
    // the click that ends getpoint.
    post(WM_KEYDOWN, 'A');
    if (row.step == FOCUS_LOST) post(WM_COMMAND, CMD_VERSION);
    post(WM_RBUTTONDOWN, MK_RBUTTON);
    return row.step == KEY_A || Press(p.Dialog(VERSION_BOX), IDOK);
  } else if (row.step == CORNER) {
    // The rectangle from the origin to the pointer, drawn inverted.
    bool band = WaitFor(
        [&] {
          post(WM_MOUSEMOVE, 0, 50, 20);
          return p.Sync(vexgui::MARKER_CAPTURE) &&
                 Inked(o, {{25, 20, BLACK}, {50, 10, BLACK}, {25, 10, WHITE}});
        },
        10000);
    post(WM_LBUTTONDOWN, MK_LBUTTON, 50, 20);
    post(WM_LBUTTONUP, 0, 50, 20);
    return band;
  } else if (row.step == BOX_FIRST) {
    // The run fails while the version box is up: its message waits until
    // the box is closed, and the window takes no input until its own is.
    post(WM_COMMAND, CMD_VERSION);
    post(WM_RBUTTONDOWN, MK_RBUTTON);
    box = p.Dialog(VERSION_BOX);
    bool alone = p.Dialog(ERROR_BOX, 1000) == nullptr;
    return box && TextOf(GetDlgItem(box, 0xFFFF)) == L"Vexilon version 3.15" &&
           alone && Press(box, IDOK) && p.Dialog(ERROR_BOX) &&
           !IsWindowEnabled(p.window);
  } else if (row.step == PRINT || row.step == CANCEL) {
    box = p.Dialog(nullptr);
    return box && Press(box, row.step == PRINT ? IDOK : IDCANCEL);
  }
  return true;
}

// Programs typed into the input dialog one after another, table by table,
// and what the title, the message boxes, the window and the page show.
void TestRuns(const Program& p, const wstring& pdfs, const wstring& work) {
  RECT client;
  GetClientRect(p.window, &client);
  // The turtle origin: the centre at the first paint, and its pixel.
  float ox = 0.5f * float(client.right), oy = 0.5f * float(client.bottom);
  POINT o = {LONG(ox), LONG(oy)};
  wchar_t corner[64];
  swprintf(corner, 64, L"(%f %f )", o.x + 50 - ox, o.y + 20 - oy);
  const std::vector<Row> drawing = {
      {L"(fd 100)", L"", L"100.000000 ", {{0, -10, BLACK}, {0, -110, MAGENTA}}},
      {L"(print 'abc 10 20)", L"", L"abc ", {{25 - o.x, 28 - o.y, BLACK, 8}}},
      {L"(progn (st) (cs))", L"", L"T ", {{0, -50, WHITE}, {0, -10, MAGENTA}}},
      {L"(load 'examples\\koch)", L"", L"T ", {{-180, -100, BLUE, 2}}},
  };
  const std::vector<Row> running = {
      {L"(progn (defun deep (n) (deep n)) (deep 1))", L"",
       L"エラー: 評価の入れ子が深すぎます。実行を中止しました"},
      {L"(+ 1 2)", NO_THREAD, L"エラー: 実行を開始できませんでした"},
      {L"(writelc '((0 0 100 0)) NIL 'pic)", L"", L"T "},
      {L"(readlc 'pic)", L"",
       L"(((0.000000 0.000000 100.000000 0.000000 ))NIL )"},
  };
  const wstring stopped = L"エラー: 実行を中断しました";
  const std::vector<Row> breaking = {
      {L"(loop)", BREAK, stopped},
      {L"(loop (inkey))", BREAK, stopped},
      {L"(getpoint)", BREAK, stopped},
      {L"(sleep 60000)", BREAK, stopped},
  };
  const std::vector<Row> input = {
      {L"(progn (getpoint) (inkey))", KEY_A, L"65.000000 "},
      {L"(progn (getpoint) (inkey))", FOCUS_LOST, L"0.000000 "},
      {L"(progn (cs) (getcorner '(0 0)))", CORNER, corner, {{25, 20, WHITE}}},
      {L"(progn (getpoint) (undefined-thing))", BOX_FIRST,
       L"エラー: 未定義の関数です"},
  };
  // Two lines and the upper half of a circle with a red pen; a malformed
  // record, after which the rest is printed; no choice of printer.
  const std::vector<Ink> page1 = {
      {50, 0, BLACK, 1}, {98, 0, BLACK, 1},  {0, 50, BLACK, 1},
      {0, 98, BLACK, 1}, {0, -50, BLACK, 1}, {-35, -35, BLACK, 1},
      {50, 2, WHITE},    {50, -2, WHITE},    {103, 0, WHITE},
      {2, 50, WHITE},    {-35, 35, WHITE},   {-100, -100, WHITE}};
  const std::vector<Ink> rest = {{50, 0, BLACK, 1}, {50, 2, WHITE}};
  const std::vector<Row> printing = {
      {L"(progn (setpc 4) (printout '((0 0 100 0) (0 0 0 100)) "
       L"'((-50 -50 50 50 50 0 -50 0))))",
       PRINT, L"T ", page1},
      {L"(printout '((0 0 100 0) (1 2 3)) '((1 2)))", PRINT, L"NIL ", rest},
      {L"(printout '((0 0 100 0)) NIL)", CANCEL, L"NIL "},
  };
  wchar_t name[256];
  DWORD length = 256;
  HDC printer = GetDefaultPrinterW(name, &length)
                    ? CreateDCW(L"WINSPOOL", name, nullptr, nullptr)
                    : nullptr;
  // printout puts the turtle origin on the centre of the printable area,
  // which the even margins put on the page's centre, a turtle unit on a
  // printer pixel, and draws with a black pen one pixel wide whatever the
  // pen colour.
  int dpi = GetDeviceCaps(printer, LOGPIXELSX);
  POINT page = {GetDeviceCaps(printer, PHYSICALWIDTH) / 2,
                GetDeviceCaps(printer, PHYSICALHEIGHT) / 2};
  DeleteDC(printer);
  int number = 0;
  for (const auto* table : {&drawing, &running, &breaking, &input, &printing}) {
    for (const Row& row : *table) {
      wstring mark = work + L"\\printed" + std::to_wstring(++number);
      std::ofstream(std::filesystem::path(mark)).put('\n');
      if (row.step == NO_THREAD) p.Sync(vexgui::MARKER_REFUSE_THREAD);
      if (row.step == CORNER) {
        p.Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      }
      bool run = p.Execute(row.program), ok = run && Step(p, o, row);
      wstring outcome = run ? p.Outcome() : L"no run";
      wstring expect =
          row.expect.starts_with(L"エラー: ") ? row.expect : VALUE + row.expect;
      bool paper = row.step == PRINT || row.step == CANCEL;
      DWORD wait = row.step == PRINT ? 60000 : 3000;
      ok = ok && outcome == expect &&
           (paper ? PrintedPage(pdfs, mark, dpi, wait) == (row.step == PRINT)
                  : p.Sync(vexgui::MARKER_CAPTURE)) &&
           Inked(paper ? page : o, row.ink);
      Check(ok, row.program.substr(0, 50) + row.step + L" → " + expect,
            outcome);
    }
  }
}

// Closing the window ends the program within a second with code 0, whatever
// the run does, with a box up: 入力's (a program runs), one shown for the
// run (a message, the print dialog), or the version box as the run fails.
void TestClose(const wstring& exe, const wstring& folder) {
  const std::pair<const wchar_t*, UINT> cases[] = {
      {L"(loop)", CMD_INPUT},
      {L"(sleep 60000)", CMD_INPUT},
      {L"(getpoint)", CMD_INPUT},
      {L"(getcorner '(0 0))", CMD_INPUT},
      {L"(loop (inkey))", CMD_INPUT},
      {L"(readlc 'missing)", 0},
      {L"(printout NIL NIL)", 0},
      {L"(progn (sleep 300) (undefined-thing))", CMD_VERSION},
  };
  for (auto [program, command] : cases) {
    Program p(exe, folder);
    bool ready = p.Started() && p.Execute(program);
    if (command != 0) p.Post(WM_COMMAND, command);
    ready = ready && p.Dialog(command == CMD_VERSION ? VERSION_BOX : nullptr);
    if (command == CMD_VERSION) Sleep(600);
    p.Post(WM_CLOSE);
    wstring code = std::to_wstring(p.Exit(1000));
    Check(ready && code == L"0", L"closing in " + wstring(program), code);
  }
}

// A start-up library that fails shows its message and the load's failure,
// never shows the window, and ends with code 0.
void TestFailedStarts(const wstring& exe, const wstring& work) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L"ファイルを開くことができません"},  // no library
      {L"(setq a 1)\r\n(undefined-thing)\r\n", L"未定義の関数です"},
      {L"(defun deep (n) (deep n))\r\n(deep 1)\r\n",
       L"評価の入れ子が深すぎます。実行を中止しました"},
  };
  int number = 0;
  for (auto [library, first] : cases) {
    wstring folder = work + L"\\start" + std::to_wstring(++number);
    std::filesystem::create_directories(folder + L"\\src");
    // UTF-16 little-endian, as wchar_t is, with its byte-order mark.
    wstring text = L"\xFEFF" + wstring(library), path = folder + L"\\src\\";
    if (FILE* file = *library ? _wfopen((path + L"vexsys.LSP").c_str(), L"wb")
                              : nullptr) {
      std::fwrite(text.data(), sizeof(wchar_t), text.size(), file);
      std::fclose(file);
    }
    Program p(exe, folder);
    wstring shown = p.Outcome();
    shown += p.Find(L"Vexilon", nullptr) ? L", a window" : L"";
    shown += L", " + p.Outcome();
    shown += L", " + std::to_wstring(p.Exit(15000));
    Check(shown == L"エラー: " + wstring(first) +
                       L", エラー: vexsys.LSPの読み込みに失敗しました, 0",
          wstring(first) + L" at start-up", shown);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_U8TEXT);
  if (argc != 4) {
    std::wprintf(L"usage: vexilon-gui-test <vexilon.exe> <work> <PDFs>\n");
    return 2;
  }
  wstring exe = argv[1], work = argv[2];
  wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  shared = VexProbeShared();
  {
    Program p(exe, folder);
    bool started = p.Started() && IsZoomed(p.window);
    Check(started, L"the program starts in its folder, maximised", L"");
    // A 32-bit program's areas take some 630 MB and every run reserves a
    // large stack: another gigabyte fits beside them only in 4 GB.
    void* room = VirtualAllocEx(p.process.hProcess, nullptr, size_t(1) << 30,
                                MEM_RESERVE, PAGE_NOACCESS);
    Check(room != nullptr, L"the program has room for another gigabyte", L"");
    VirtualFreeEx(p.process.hProcess, room, 0, MEM_RELEASE);
    if (started) TestRuns(p, argv[3], work);
    PostMessageW(p.Input(), WM_COMMAND, IDCANCEL, 0);
    wstring code = std::to_wstring(p.Exit(15000));
    Check(code == L"0", L"cancelling the input dialog ends it, code 0", code);
  }
  TestClose(exe, folder);
  TestFailedStarts(exe, work);
  std::wprintf(L"GUI: %d failed\n", failures);
  return failures;  // the number of failed checks
}
