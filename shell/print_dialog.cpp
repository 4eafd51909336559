// Printing through the print dialog and the printer's device context.
//
// Design note. The dialog is asked for a device context only; the device
// mode and device names it hands back are freed at once, so nothing is left
// behind per print. The page owns the printer DC and deletes it when the
// print routine is done with it.
#include "shell/print_dialog.h"

#include <commdlg.h>

#include <string>

namespace vexshell {

namespace {

// PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION |
// PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE.
constexpr DWORD PRINT_DIALOG_FLAGS = 0x0014010C;
static_assert(PRINT_DIALOG_FLAGS ==
              (PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION |
               PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE));
// The 32-bit records are packed: 66 and 20 bytes.
static_assert(sizeof(void*) != 4 || sizeof(PRINTDLGW) == 66);
static_assert(sizeof(void*) != 4 || sizeof(DOCINFOW) == 20);

class WinPrinterPage final : public vex::PrinterPage {
 public:
  explicit WinPrinterPage(HDC dc) : dc_(dc) {}
  WinPrinterPage(const WinPrinterPage&) = delete;
  WinPrinterPage& operator=(const WinPrinterPage&) = delete;
  ~WinPrinterPage() override { DeleteDC(dc_); }

  vex::PageGeometry Geometry() override {
    return {GetDeviceCaps(dc_, PHYSICALWIDTH),
            GetDeviceCaps(dc_, PHYSICALHEIGHT),
            GetDeviceCaps(dc_, PHYSICALOFFSETX),
            GetDeviceCaps(dc_, PHYSICALOFFSETY)};
  }
  void StartDocument(std::u16string_view name) override {
    std::wstring text = WideString(name);
    DOCINFOW doc = {};
    doc.cbSize = sizeof(doc);
    doc.lpszDocName = text.c_str();
    StartDocW(dc_, &doc);
  }
  void StartPage() override { ::StartPage(dc_); }
  void MoveTo(int x, int y) override { MoveToEx(dc_, x, y, nullptr); }
  void LineTo(int x, int y) override { ::LineTo(dc_, x, y); }
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe,
           int ye) override {
    ::Arc(dc_, left, top, right, bottom, xs, ys, xe, ye);
  }
  void EndPage() override { ::EndPage(dc_); }
  void EndDocument() override { EndDoc(dc_); }

 private:
  HDC dc_;
};

}  // namespace

std::unique_ptr<vex::PrinterPage> ChoosePrinterPage(HWND owner) {
  PRINTDLGW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.Flags = PRINT_DIALOG_FLAGS;
  dialog.nFromPage = 1;
  dialog.nToPage = 1;
  dialog.nMinPage = 1;
  dialog.nMaxPage = 1;
  dialog.nCopies = 1;
  BOOL chosen = PrintDlgW(&dialog);
  if (dialog.hDevMode != nullptr) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames != nullptr) GlobalFree(dialog.hDevNames);
  if (!chosen || dialog.hDC == nullptr) {
    if (dialog.hDC != nullptr) DeleteDC(dialog.hDC);
    return nullptr;
  }
  return std::make_unique<WinPrinterPage>(dialog.hDC);
}

}  // namespace vexshell
