// The InputDialog; see input_dialog.h. The dialog keeps a pointer to the
// caller's text in its DWLP_USER slot for the length of the dialog.
#include "shell/input_dialog.h"

#include "shell/resource.h"

namespace vexshell {

namespace {

std::u16string& TextOf(HWND dialog) {
  return *reinterpret_cast<std::u16string*>(
      GetWindowLongPtrW(dialog, DWLP_USER));
}

void ShowText(HWND dialog, const std::u16string& text) {
  SetDlgItemTextW(dialog, ID_TEXT, WideChars(text.c_str()));
}

// "実行": the edit box's text, cut to the limit, becomes the text.
void TakeText(HWND dialog) {
  wchar_t buffer[INPUT_TEXT_LIMIT + 1] = {};
  int units = GetDlgItemTextW(dialog, ID_TEXT, buffer, INPUT_TEXT_LIMIT + 1);
  TextOf(dialog).assign(reinterpret_cast<const char16_t*>(buffer),
                        static_cast<size_t>(units));
}

// Every command is handled; only cancel, clear and execute do something.
void OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case ID_CLEAR:
      TextOf(dialog).clear();
      ShowText(dialog, TextOf(dialog));
      break;
    case ID_EXECUTE:
      TakeText(dialog);
      EndDialog(dialog, 1);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      ShowText(dialog, TextOf(dialog));
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunInputDialog(HINSTANCE instance, HWND owner, std::u16string& text) {
  return DialogBoxParamW(instance, L"MYDB", owner, DialogProc,
                         reinterpret_cast<LPARAM>(&text));
}

}  // namespace vexshell
