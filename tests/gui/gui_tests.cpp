// GUI tests of vexilon.exe, driven through its window like a user would.
//
// Usage: vexilon-gui-test <vexilon.exe> <start-up library> <work folder>
//                         [<PDF folder>]
//        vexilon-gui-test --release <folder of an unpacked release>
// The driver prepares folders under the work folder (one with the library
// as src\vexsys.LSP, one without it, some with failing libraries), starts
// the program in them and checks what it shows. With a PDF folder (on
// Wine's drive Z:) the default printer is taken for a queue that writes its
// PDF files there, and printed pages are rasterised with pdftoppm. With
// --release it starts the program of an unpacked release in its own folder and
// draws an example. The exit code is the number of failed checks. The probe DLL
// is expected next to the driver.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/gui/automation.h"

namespace {

using vexgui::Session;

int failures = 0;
int passes = 0;

void Print(const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0,
                                  nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr,
                      nullptr);
  std::fputs(utf8.c_str(), stdout);
  std::fflush(stdout);
}

// Records one check; on failure prints what was found.
bool Check(bool ok, const wchar_t* what, const std::wstring& found = L"") {
  Print(std::wstring(ok ? L"  ok   " : L"  FAIL ") + what +
        (ok || found.empty() ? L"" : L"  [found: " + found + L"]") + L"\n");
  ++(ok ? passes : failures);
  return ok;
}

std::wstring Hex(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%06X", value);
  return text;
}

// The printed form of a number: "%f" and the blank after every atom.
std::wstring Number(double value) {
  wchar_t text[64];
  swprintf(text, 64, L"%f ", value);
  return text;
}

bool WriteFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string ReadFile(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return "<missing>";
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(char(c));
  std::fclose(file);
  return bytes;
}

// A source file: UTF-16 little-endian with its byte-order mark.
std::string SourceFile(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes.push_back(char(c & 0xFF));
    bytes.push_back(char(c >> 8));
  }
  return bytes;
}

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;
constexpr uint32_t MAGENTA = 0xFF00FF;  // the green sprite XOR white

// Where the turtle's origin is: the centre of the client area at the first
// paint, which nothing has resized since.
struct Origin {
  float x, y;
  int px, py;  // its pixel
};

Origin OriginOf(Session& s) {
  RECT client;
  GetClientRect(s.Window(), &client);
  Origin o;
  o.x = static_cast<float>(0.5 * client.right);
  o.y = static_cast<float>(0.5 * client.bottom);
  o.px = static_cast<int>(o.x);
  o.py = static_cast<int>(o.y);
  return o;
}

void TestWindow(Session& s) {
  Print(L"window\n");
  Check(IsZoomed(s.Window()) != 0,
        L"shown maximised whatever the show command");
  std::wstring title = s.Title();
  Check(title == L"src\\vexsys.LSPを読み込みます",
        L"title is the start-up load's progress line", title);

  s.Post(WM_COMMAND, 105, 0);
  HWND box = s.WaitDialog(L"バージョン情報");
  Check(box != nullptr && Session::MessageText(box) == L"Vexilon version 3.15",
        L"ヘルプ shows the version box",
        box ? Session::MessageText(box) : L"no box");
  if (box != nullptr) s.Press(box, IDOK);

  s.Post(WM_COMMAND, 104, 0);
  s.Post(WM_COMMAND, 107, 0);
  s.Post(WM_COMMAND, 0x7FFF, 0);
  s.Sync();
  Check(s.FindOtherDialog(L"", L"") == nullptr && s.Title() == title,
        L"commands 104, 107 and unknown ids do nothing");
}

void TestInputDialog(Session& s) {
  Print(L"input dialog\n");
  HWND dialog = s.OpenInput();
  if (!Check(dialog != nullptr, L"入力 opens the dialog")) return;
  Check(Session::EditText(dialog).empty(), L"the first opening is empty");

  // Blank text: the dialog opens again at once, with no message.
  Session::SetEditText(dialog, L"  \r\n  ");
  s.Press(dialog, 102);
  dialog = s.WaitDialog(L"INPUT");
  Check(dialog != nullptr && s.FindOtherDialog(L"INPUT", L"") == nullptr &&
            Session::EditText(dialog) == L"  \r\n  ",
        L"a blank text reopens the dialog without a message");
  if (dialog == nullptr) return;

  Session::SetEditText(dialog, L")");
  s.Press(dialog, 102);
  Check(s.ExpectError(L")が多すぎます"), L"')' shows the reader's message");
  dialog = s.WaitDialog(L"INPUT");
  Check(dialog != nullptr && Session::EditText(dialog) == L")",
        L"and the dialog opens again with the text");
  if (dialog == nullptr) return;

  PostMessageW(dialog, WM_COMMAND, 101, 0);
  s.Sync();
  Check(IsWindowVisible(dialog) && Session::EditText(dialog).empty(),
        L"クリア empties the box and the dialog stays");

  // A failing run leaves the title alone.
  Session::SetEditText(dialog, L"(undefined-thing)");
  SendMessageW(s.Window(), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(vexgui::SENTINEL_TITLE));
  s.Press(dialog, 102);
  Check(s.ExpectError(L"未定義の関数です"), L"an error shows its message");
  s.Sync();
  Check(s.Title() == vexgui::SENTINEL_TITLE, L"and leaves the title",
        s.Title());
}

void TestRuns(Session& s) {
  Print(L"runs\n");
  Check(s.Evaluate(L"(list 1\r\n2)", L"(1.000000 2.000000 )"),
        L"line breaks separate tokens; the value shows in the title",
        s.Title());
  HWND dialog = s.OpenInput();
  if (dialog == nullptr) return;
  Check(Session::EditText(dialog) == L"(list 1\r\n2)",
        L"the dialog shows the last text, line breaks included",
        Session::EditText(dialog));
  Session::SetEditText(dialog, L"(list 1) (list 2)");
  s.Press(dialog, 102);
  Check(s.WaitTitle(L"Vexilon - (1.000000 )"),
        L"only the first expression runs", s.Title());
  Check(s.Evaluate(L"T", L"T "), L"T prints with its blank", s.Title());

  // The dialog takes at most 3,998 units: one more cuts the ")" off.
  Check(
      s.Evaluate(L"(list 1" + std::wstring(3990, L' ') + L")", L"(1.000000 )"),
      L"a text of 3,998 units runs whole", s.Title());
  dialog = s.OpenInput();
  if (dialog == nullptr) return;
  Session::SetEditText(dialog, L"(list 1" + std::wstring(3991, L' ') + L")");
  s.Press(dialog, 102);
  Check(s.ExpectError(L")が足りません"),
        L"of a longer text only the first 3,998 units are taken");
  dialog = s.WaitDialog(L"INPUT");
  if (dialog == nullptr) return;
  Session::SetEditText(dialog, L"(+ 2 2)");
  s.Press(dialog, 102);
  s.WaitTitle(L"Vexilon - 4.000000 ");

  // Deep recursion ends in an orderly way on the run's own stack.
  Check(
      s.Execute(L"(progn (defun deep (n) (deep n)) (deep 1))") &&
          s.ExpectError(L"評価の入れ子が深すぎます。実行を中止しました", 60000),
      L"endless recursion stops with a message");
  Check(s.Evaluate(L"(+ 1 2)", L"3.000000 "), L"and the next run works",
        s.Title());
}

void TestDrawing(Session& s) {
  Print(L"drawing\n");
  Origin o = OriginOf(s);
  Check(s.Evaluate(L"(list (xcenter) (ycenter))",
                   L"(" + Number(o.x) + Number(o.y) + L")"),
        L"the first paint put the origin at the centre", s.Title());

  s.Evaluate(L"(cs)", L"T ");
  s.Sync(true);
  auto clean = s.Capture();
  Check(s.Pixel(o.px, o.py - 10) == MAGENTA, L"the sprite shows after cs",
        Hex(s.Pixel(o.px, o.py - 10)));

  Check(s.Evaluate(L"(fd 100)", L"100.000000 "), L"(fd 100) runs", s.Title());
  s.Sync(true);
  Check(s.Pixel(o.px, o.py - 50) == BLACK, L"(fd 100) draws a black line",
        Hex(s.Pixel(o.px, o.py - 50)));
  Check(
      s.Pixel(o.px, o.py - 110) == MAGENTA && s.Pixel(o.px, o.py - 10) == BLACK,
      L"the sprite moved with the turtle");

  s.Evaluate(L"(ht)", L"T ");
  s.Sync(true);
  Check(s.Pixel(o.px, o.py - 110) == WHITE && s.Pixel(o.px, o.py - 50) == BLACK,
        L"ht erases the sprite and leaves the line",
        Hex(s.Pixel(o.px, o.py - 110)));

  s.Evaluate(L"(progn (setpc 7) (bk 100))", L"100.000000 ");
  s.Sync(true);
  Check(s.Pixel(o.px, o.py - 50) == WHITE, L"a white line erases",
        Hex(s.Pixel(o.px, o.py - 50)));

  s.Evaluate(L"(progn (print 'abc 10 20) (setpc 0))", L"T ");
  s.Sync(true);
  bool inked = false;
  for (int y = 20; y < 36; ++y) {
    for (int x = 10; x < 40; ++x) inked = inked || s.Pixel(x, y) == BLACK;
  }
  Check(inked, L"print writes text at a client pixel");

  s.Evaluate(L"(progn (st) (cs))", L"T ");
  s.Sync(true);
  Check(s.Capture() == clean, L"cs restores the clean surface and sprite");
}

// Opens the version box and closes it again, which takes the keyboard focus
// from the main window and gives it back.
void VersionBoxOpenAndClosed(Session& s) {
  s.Post(WM_COMMAND, 105, 0);
  if (HWND box = s.WaitDialog(L"バージョン情報")) s.Press(box, IDOK);
}

void TestKeys(Session& s) {
  Print(L"keys\n");
  // Each row presses and releases its keys while the program sleeps, then
  // the program answers inkey.
  struct Row {
    std::vector<std::pair<UINT, int>> keys;
    bool focusLost;
    const wchar_t* value;
    const wchar_t* what;
  };
  const Row rows[] = {
      {{{WM_KEYDOWN, 'A'}}, false, L"65.000000 ", L"inkey with A held is 65"},
      {{{WM_KEYDOWN, 'B'}, {WM_KEYUP, 'A'}},
       false,
       L"0.000000 ",
       L"any key-up makes inkey 0, even with another key held"},
      {{{WM_KEYDOWN, 'A'}},
       true,
       L"0.000000 ",
       L"a key held while the window loses the focus is let go"},
  };
  for (const Row& row : rows) {
    s.Execute(L"(progn (sleep 1500) (inkey))");
    for (auto [message, key] : row.keys) s.PostKey(message, key);
    if (row.focusLost) VersionBoxOpenAndClosed(s);
    Check(s.WaitTitle(L"Vexilon - " + std::wstring(row.value)), row.what,
          s.Title());
  }
}

// Clicks at (x, y) until the title shows value. A press that arrives before
// getpoint waits is taken for one held from earlier, whose release it then
// waits for; the next press is then the click.
bool ClickFor(Session& s, int x, int y, const std::wstring& value) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    s.PostMouse(WM_LBUTTONDOWN, x, y);
    bool done = s.WaitTitle(L"Vexilon - " + value, 500);
    s.PostMouse(WM_LBUTTONUP, x, y);
    if (done) return true;
  }
  return false;
}

void TestMouse(Session& s) {
  Print(L"mouse\n");
  Origin o = OriginOf(s);
  if (!Check(s.Execute(L"(getpoint)"), L"getpoint starts")) return;
  s.Post(WM_COMMAND, 103, 0);
  Check(s.ExpectError(L"Lispプログラムの実行中です。"),
        L"入力 during a run says a program is running");
  s.Post(WM_COMMAND, 105, 0);
  HWND box = s.WaitDialog(L"バージョン情報");
  Check(box != nullptr, L"ヘルプ works during a run");
  if (box != nullptr) s.Press(box, IDOK);
  Check(
      ClickFor(s, o.px + 30, o.py + 40,
               L"(" + Number(o.px + 30 - o.x) + Number(o.py + 40 - o.y) + L")"),
      L"getpoint answers the click in turtle coordinates", s.Title());

  s.Execute(L"(getpoint)");
  s.PostMouse(WM_RBUTTONDOWN, 5, 5);
  s.PostMouse(WM_RBUTTONUP, 5, 5);
  Check(s.WaitTitle(L"Vexilon - NIL "), L"a right click makes getpoint NIL",
        s.Title());

  // getcorner: one rectangle follows the pointer; the click ends it. A press
  // whose release goes to another window (the dialog takes the mouse) must
  // not count as held, or the rectangle would wait for its release.
  s.Sync(true);
  auto before = s.Capture();
  s.PostMouse(WM_LBUTTONDOWN, 5, 5);
  s.Execute(L"(getcorner '(0 0))");
  int cx = o.px + 50, cy = o.py + 20;
  bool band = vexgui::WaitFor(
      [&] {
        s.PostMouse(WM_MOUSEMOVE, cx, cy);
        s.Sync(true);
        return s.Pixel(o.px + 25, cy) == BLACK;
      },
      10000);
  Check(band && s.Pixel(cx, o.py + 10) == BLACK &&
            s.Pixel(o.px + 25, o.py + 10) == WHITE,
        L"getcorner draws the rubber band to the pointer");
  s.PostMouse(WM_LBUTTONDOWN, cx, cy);
  s.PostMouse(WM_LBUTTONUP, cx, cy);
  Check(
      s.WaitTitle(L"Vexilon - (" + Number(cx - o.x) + Number(cy - o.y) + L")"),
      L"getcorner answers the corner", s.Title());
  s.Sync(true);
  Check(s.Capture() == before, L"and leaves the surface as it was");
}

// A run's message waits while a box of the window is open, so the window
// takes no input until the last box is closed.
void TestBoxes(Session& s) {
  Print(L"message boxes\n");
  s.Execute(L"(progn (sleep 300) (undefined-thing))");
  s.Post(WM_COMMAND, 105, 0);
  HWND version = s.WaitDialog(L"バージョン情報");
  bool together = s.WaitDialog(L"エラー", 1500) != nullptr;
  if (version != nullptr) s.Press(version, IDOK);
  HWND error = s.WaitDialog(L"エラー");
  bool held = error != nullptr && !IsWindowEnabled(s.Window());
  Check(!together && held && s.ExpectError(L"未定義の関数です") &&
            IsWindowEnabled(s.Window()),
        L"a run's message waits for the version box; the window stays "
        L"disabled until both are closed");
}

// Ctrl+Break stops a run as Ctrl-C does in the console: its message, no
// value, the title left alone.
void TestBreak(Session& s) {
  Print(L"Ctrl+Break\n");
  for (const wchar_t* program :
       {L"(loop)", L"(loop (inkey))", L"(getpoint)", L"(sleep 60000)"}) {
    s.Execute(program);
    s.PostKey(WM_KEYDOWN, VK_CANCEL);
    s.PostKey(WM_KEYUP, VK_CANCEL);
    Check(s.ExpectError(L"実行を中断しました") &&
              s.Title() == vexgui::SENTINEL_TITLE,
          (L"Ctrl+Break stops " + std::wstring(program)).c_str(), s.Title());
  }
  Check(s.Evaluate(L"(+ 1 2)", L"3.000000 "), L"and the next run works",
        s.Title());
}

// A 32-bit program must have more than 2 GB of address space: its areas
// alone take some 630 MB and every run reserves a large stack. A second
// gigabyte still fits beside them only in a larger address space.
void TestAddressSpace(Session& s) {
  Print(L"address space\n");
  void* room = VirtualAllocEx(s.Process(), nullptr, size_t(1) << 30,
                              MEM_RESERVE, PAGE_NOACCESS);
  Check(room != nullptr, L"the program has room for another gigabyte");
  if (room != nullptr) VirtualFreeEx(s.Process(), room, 0, MEM_RELEASE);
}

// A run that the system refuses a thread says so and leaves the program
// idle.
void TestThreadRefused(Session& s) {
  Print(L"thread refused\n");
  s.RefuseThreads(true);
  bool refused = s.Execute(L"(+ 1 2)") &&
                 s.ExpectError(L"実行を開始できませんでした") &&
                 s.Title() == vexgui::SENTINEL_TITLE;
  s.RefuseThreads(false);
  Check(refused && s.Evaluate(L"(+ 1 2)", L"3.000000 "),
        L"a run that gets no thread says so, and the next run works",
        s.Title());
}

void TestLineFiles(Session& s, const std::wstring& folder) {
  Print(L"line files\n");
  Check(s.Evaluate(L"(writelc '((0 0 100 0) (100 0 100 100)) NIL 'pic)", L"T "),
        L"writelc answers T", s.Title());
  Check(ReadFile(folder + L"\\pic.lin") ==
                "0.000000 0.000000 100.000000 0.000000 100.000000 0.000000 "
                "100.000000 100.000000 " &&
            ReadFile(folder + L"\\pic.ar").empty(),
        L"writelc writes the .lin and .ar files");
  Check(s.Evaluate(L"(readlc 'pic)",
                   L"(((100.000000 0.000000 100.000000 100.000000 )"
                   L"(0.000000 0.000000 100.000000 0.000000 ))NIL )"),
        L"readlc reads them back, records reversed", s.Title());
  Check(s.Execute(L"(readlc 'missing)") &&
            s.ExpectError(L"ファイルを開くことができません"),
        L"readlc of a missing pair shows its message");
}

// The Unix path of a path on Wine's drive Z:, which maps /.
std::wstring UnixPath(const std::wstring& path) {
  std::wstring unix = path.substr(2);
  for (wchar_t& c : unix) c = c == L'\\' ? L'/' : c;
  return unix;
}

// Starts a shell command of the Unix side. Wine starts Unix programs but
// gives no handle to wait for, so the command leaves a file to wait for.
bool StartUnix(const std::wstring& command) {
  std::wstring commandLine = L"/bin/sh -c \"" + command + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  return true;
}

// The names of the files in folder that match pattern.
std::vector<std::wstring> FilesIn(const std::wstring& folder,
                                  const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A page as pdftoppm writes it in gray: "P5", width, height, 255, a byte
// per pixel (0 black, 255 white).
struct Page {
  int width = 0, height = 0;
  std::string gray;
  // The darkest pixel within reach pixels of (x, y); 255 off the page.
  int Darkest(int x, int y, int reach) const {
    int darkest = 255;
    for (int v = y - reach; v <= y + reach; ++v) {
      for (int u = x - reach; u <= x + reach; ++u) {
        if (u < 0 || v < 0 || u >= width || v >= height) continue;
        darkest = std::min(darkest, int(uint8_t(gray[size_t(v) * width + u])));
      }
    }
    return darkest;
  }
};

Page ReadPage(const std::wstring& path) {
  Page page;
  std::string bytes = ReadFile(path);
  int depth = 0, used = 0;
  if (std::sscanf(bytes.c_str(), "P5 %d %d %d%n", &page.width, &page.height,
                  &depth, &used) == 3) {
    page.gray = bytes.substr(size_t(used) + 1);
  }
  if (page.gray.size() != size_t(page.width) * page.height) page = Page();
  return page;
}

// Printing on the default printer, a queue that writes PDF files into
// pdfs: the page is rasterised at the printer's resolution, one printer
// pixel to a raster pixel, and looked at where printout puts its ink: the
// turtle origin on the centre of the printable area, one turtle unit to a
// printer pixel, a black pen one pixel wide whatever the pen colour. Without
// pdfs only the cancelled dialog is tried (whatever Wine shows without a
// printer is cancelled).
void TestPrint(Session& s, const std::wstring& pdfs, const std::wstring& work) {
  Print(L"printing\n");
  struct Row {
    const wchar_t* program;
    bool confirm;
    const wchar_t* value;
    std::vector<POINT> ink;    // turtle points with black ink within a pixel
    std::vector<POINT> blank;  // turtle points left white
    const wchar_t* what;
  };
  const Row rows[] = {
      // A red pen, two lines and the upper half of a circle.
      {L"(progn (setpc 4) (printout '((0 0 100 0) (0 0 0 100)) "
       L"'((-50 -50 50 50 50 0 -50 0))))",
       true,
       L"T ",
       {{50, 0}, {98, 0}, {0, 50}, {0, 98}, {0, -50}, {-35, -35}},
       {{50, 2}, {50, -2}, {103, 0}, {2, 50}, {-35, 35}, {-100, -100}},
       L"printout puts black lines and arcs one pixel wide around the centre "
       L"of the printable area, on one page named printout"},
      {L"(printout '((0 0 100 0) (1 2 3)) '((1 2)))",
       true,
       L"NIL ",
       {{50, 0}},
       {{50, 2}},
       L"a malformed record makes printout NIL and the rest is printed"},
      {L"(printout '((0 0 100 0)) NIL)",
       false,
       L"NIL ",
       {},
       {},
       L"a cancelled print dialog makes printout NIL and prints nothing"},
  };
  wchar_t name[256];
  DWORD length = 256;
  HDC printer = !pdfs.empty() && GetDefaultPrinterW(name, &length)
                    ? CreateDCW(L"WINSPOOL", name, nullptr, nullptr)
                    : nullptr;
  if (!pdfs.empty() && !Check(printer != nullptr, L"a default printer")) return;
  for (const Row& row : rows) {
    if (printer == nullptr && row.confirm) continue;
    std::vector<std::wstring> before = FilesIn(pdfs, L"*.pdf");
    bool answered =
        s.Execute(row.program) &&
        vexgui::WaitFor(
            [&] {
              if (HWND d = s.FindOtherDialog(L"INPUT", L"")) {
                PostMessageW(d, WM_COMMAND, row.confirm ? IDOK : IDCANCEL, 0);
              }
              return s.Title() == L"Vexilon - " + std::wstring(row.value);
            },
            20000);
    std::wstring pdf;
    auto fresh = [&] {
      for (const std::wstring& file : FilesIn(pdfs, L"*.pdf")) {
        if (std::find(before.begin(), before.end(), file) == before.end()) {
          pdf = file;
        }
      }
      return !pdf.empty();
    };
    if (!row.confirm) {
      Sleep(pdfs.empty() ? 0 : 3000);  // time for a job, were there one
      Check(answered && !fresh(), row.what, s.Title());
      continue;
    }
    // The new PDF at the printer's resolution (pdftoppm fails while the
    // PDF is still being written), then pdfinfo's report of it.
    std::wstring raster = work + L"\\page";
    bool printed = answered && vexgui::WaitFor(fresh, 30000);
    std::wstring file = UnixPath(pdfs + L"\\" + pdf);
    std::wstring dpi = std::to_wstring(GetDeviceCaps(printer, LOGPIXELSX));
    DeleteFileW((raster + L".info").c_str());
    printed = printed &&
              StartUnix(
                  L"for i in $(seq 100); do pdftoppm -gray -aa no "
                  L"-aaVector no -r " +
                  dpi + L" " + file + L" " + UnixPath(raster) +
                  L" 2>/dev/null && break; sleep 0.3; done; pdfinfo " + file +
                  L" > " + UnixPath(raster) + L".info") &&
              vexgui::WaitFor(
                  [&] {
                    return ReadFile(raster + L".info").find("Pages:") !=
                           std::string::npos;
                  },
                  60000);
    std::string info = ReadFile(raster + L".info");
    Page page = ReadPage(raster + L"-1.pgm");
    // The turtle origin's printer pixel, as printout computes it.
    int offX = GetDeviceCaps(printer, PHYSICALOFFSETX);
    int offY = GetDeviceCaps(printer, PHYSICALOFFSETY);
    float ox = (GetDeviceCaps(printer, PHYSICALWIDTH) - 2 * offX) * 0.5f;
    float oy = (GetDeviceCaps(printer, PHYSICALHEIGHT) - 2 * offY) * 0.5f;
    bool inked = page.width > 0;
    for (POINT p : row.ink) {
      inked = inked &&
              page.Darkest(offX + int(ox + p.x), offY + int(oy + p.y), 1) <= 32;
    }
    for (POINT p : row.blank) {
      inked = inked && page.Darkest(offX + int(ox + p.x), offY + int(oy + p.y),
                                    0) == 255;
    }
    Check(printed && std::regex_search(info, std::regex("Pages: +1\n")) &&
              std::regex_search(info, std::regex("Title: +printout\n")) &&
              inked,
          row.what, pdf + L" " + s.Title());
  }
  if (printer != nullptr) DeleteDC(printer);
}

void TestCancelEnds(Session& s) {
  Print(L"end\n");
  HWND dialog = s.OpenInput();
  if (dialog != nullptr) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  long code = s.WaitExit();
  Check(code == 0, L"cancelling the dialog ends the program with code 0",
        std::to_wstring(code));
}

// Closing the window ends the program at once with code 0, whatever the run
// is doing and whatever box is open.
void TestClose(vexgui::Probe& probe, const std::wstring& exe,
               const std::wstring& folder) {
  Print(L"closing\n");
  // open: the caption of the box the run opens (L"": any dialog but the
  // input dialog; nullptr: none). version: the version box is up while the
  // run fails.
  struct Row {
    const wchar_t* program;
    const wchar_t* open;
    bool version;
  };
  const Row rows[] = {
      {L"(loop)", nullptr, false},
      {L"(sleep 60000)", nullptr, false},
      {L"(getpoint)", nullptr, false},
      {L"(getcorner '(0 0))", nullptr, false},
      {L"(loop (inkey))", nullptr, false},
      {L"(readlc 'missing)", L"エラー", false},
      {L"(printout NIL NIL)", L"", false},
      {L"(progn (sleep 300) (undefined-thing))", nullptr, true},
  };
  for (const Row& row : rows) {
    Session s(probe, exe, folder);
    bool ready = s.Launch() && s.WaitForMainWindow() && s.Execute(row.program);
    if (row.version) {
      s.Post(WM_COMMAND, 105, 0);
      ready = ready && s.WaitDialog(L"バージョン情報") != nullptr;
      Sleep(600);  // the run fails meanwhile
    } else if (row.open == nullptr) {
      s.Post(WM_COMMAND, 103, 0);
      ready = ready && s.ExpectError(L"Lispプログラムの実行中です。");
    } else {
      ready = ready && vexgui::WaitFor(
                           [&] {
                             return *row.open
                                        ? s.WaitDialog(row.open, 0)
                                        : s.FindOtherDialog(L"INPUT", L"");
                           },
                           10000);
    }
    s.Post(WM_CLOSE, 0, 0);
    long code = s.WaitExit(1000);
    Check(ready && code == 0,
          (L"closing during " + std::wstring(row.program) +
           (row.version ? L" with the version box up" : L"") +
           L" ends with code 0 within a second")
              .c_str(),
          std::to_wstring(code));
  }
}

// A start-up that fails shows its messages, never shows the window and ends
// with code 0.
void TestFailedStarts(vexgui::Probe& probe, const std::wstring& exe,
                      const std::wstring& work) {
  Print(L"start-up failures\n");
  struct Row {
    const wchar_t* folder;
    const wchar_t* library;  // nullptr: none
    const wchar_t* first;
  };
  const Row rows[] = {
      {L"bare", nullptr, L"ファイルを開くことができません"},
      {L"broken", L"(setq a 1)\r\n(undefined-thing)\r\n", L"未定義の関数です"},
      {L"deep", L"(defun deep (n) (deep n))\r\n(deep 1)\r\n",
       L"評価の入れ子が深すぎます。実行を中止しました"},
  };
  for (const Row& row : rows) {
    std::wstring folder = work + L"\\" + row.folder;
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\src").c_str(), nullptr);
    if (row.library != nullptr) {
      WriteFile(folder + L"\\src\\vexsys.LSP", SourceFile(row.library));
    }
    Session s(probe, exe, folder);
    bool messages = s.Launch() && s.ExpectError(row.first, 30000) &&
                    !s.MainWindowVisible() &&
                    s.ExpectError(L"vexsys.LSPの読み込みに失敗しました");
    long code = s.WaitExit();
    Check(messages && code == 0,
          (std::wstring(row.folder) + L" start-up library: " + row.first +
           L", then the load's failure, no window, code 0")
              .c_str(),
          std::to_wstring(code));
  }
}

// The program of an unpacked release, started in its own folder, draws an
// example.
void TestRelease(vexgui::Probe& probe, const std::wstring& folder) {
  Print(L"release\n");
  Session s(probe, folder + L"\\vexilon.exe", folder);
  if (!Check(s.Launch() && s.WaitForMainWindow(),
             L"the release's program starts in its folder")) {
    return;
  }
  Check(s.Evaluate(L"(load 'examples\\koch)", L"T "),
        L"(load 'examples\\koch) runs", s.Title());
  s.Sync(true);
  bool blue = false;
  for (uint32_t pixel : s.Capture()) blue = blue || (pixel & 0xFFFFFF) == 0xFF;
  Check(blue, L"and draws the snowflake in blue");
  TestCancelEnds(s);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool release = argc == 3 && std::wstring(argv[1]) == L"--release";
  if ((argc < 4 || argc > 5) && !release) {
    Print(
        L"usage: vexilon-gui-test <vexilon.exe> <vexsys.LSP> <work folder> "
        L"[<PDF folder>]\n"
        L"       vexilon-gui-test --release <unpacked release folder>\n");
    return 2;
  }
  std::wstring self = argv[0];
  vexgui::Probe probe;
  if (!probe.Load(self.substr(0, self.find_last_of(L"\\/") + 1) +
                  L"vexprobe.dll")) {
    Print(L"cannot load vexprobe.dll\n");
    return 2;
  }
  if (release) {
    TestRelease(probe, argv[2]);
  } else {
    std::wstring exe = argv[1];
    std::wstring work = argv[3];
    std::wstring pdfs = argc == 5 ? argv[4] : L"";
    std::wstring main = work + L"\\main";
    for (const std::wstring& dir : {work, main, main + L"\\src"}) {
      CreateDirectoryW(dir.c_str(), nullptr);
    }
    if (!WriteFile(main + L"\\src\\vexsys.LSP", ReadFile(argv[2]))) {
      Print(L"cannot prepare the folders\n");
      return 2;
    }
    {
      Session s(probe, exe, main);
      if (Check(s.Launch() && s.WaitForMainWindow(),
                L"the program starts with its main window")) {
        TestWindow(s);
        TestInputDialog(s);
        TestRuns(s);
        TestAddressSpace(s);
        TestThreadRefused(s);
        TestDrawing(s);
        TestKeys(s);
        TestMouse(s);
        TestBoxes(s);
        TestBreak(s);
        TestLineFiles(s, main);
        TestPrint(s, pdfs, work);
        TestCancelEnds(s);
      }
    }
    TestClose(probe, exe, main);
    TestFailedStarts(probe, exe, work);
  }
  Print(L"GUI: " + std::to_wstring(passes) + L" passed, " +
        std::to_wstring(failures) + L" failed\n");
  return failures;
}
