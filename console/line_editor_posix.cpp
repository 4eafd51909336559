// The line editor at a POSIX terminal, on libedit.
//
// Design note. libedit edits in the emacs style, character by character in
// UTF-8 (the C library's character type is set to UTF-8, which the console
// speaks whatever the locale). Ctrl-C reaches the editor as a key: the
// terminal's interrupt character is off while a line is edited, and only
// then, so at the prompt Ctrl-C drops the line, while during a run it is
// the signal that stops the run. Each complete input is one history entry;
// the history file is rewritten whole after each one, through a new file
// put in place by a rename, so a session that is killed keeps what it had
// and never leaves half a file.
#include <fcntl.h>
#include <histedit.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/line_input.h"
#include "console/utf.h"

namespace vex {

namespace {

constexpr int HISTORY_ENTRIES = 1000;
// What ends the name being completed: the reader's delimiters and the quote.
constexpr char NAME_ENDS[] = " ()'";

class EditLineInput final : public LineInput {
 public:
  explicit EditLineInput(NameSource names);
  ~EditLineInput() override;
  EditLineInput(const EditLineInput&) = delete;
  EditLineInput& operator=(const EditLineInput&) = delete;

  Result Read(bool continued, std::string& line) override;
  void Remember(const std::string& entry) override;

 private:
  static EditLineInput& Of(EditLine* el);
  static const char* Prompt(EditLine* el);
  static unsigned char Complete(EditLine* el, int key);
  static unsigned char Cancel(EditLine* el, int key);
  void List(const std::vector<std::string>& names) const;
  void SaveHistory();

  NameSource names_;
  EditLine* el_;
  History* history_;
  HistEvent event_{};
  std::string historyPath_;
  bool historyFailed_ = false;
  bool continued_ = false;
  bool cancelled_ = false;
  std::string lastTab_;  // the line as the last Tab left it
};

EditLineInput::EditLineInput(NameSource names) : names_(std::move(names)) {
  if (std::setlocale(LC_CTYPE, "") == nullptr ||
      std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
    std::setlocale(LC_CTYPE, "C.UTF-8");
  history_ = history_init();
  history(history_, &event_, H_SETSIZE, HISTORY_ENTRIES);
  history(history_, &event_, H_SETUNIQUE, 1);
  if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    historyPath_ = std::string(home) + "/.vexilon_history";
    history(history_, &event_, H_LOAD, historyPath_.c_str());
  }
  el_ = el_init("vexilon-cli", stdin, stdout, stderr);
  el_set(el_, EL_CLIENTDATA, this);
  el_set(el_, EL_EDITOR, "emacs");
  el_set(el_, EL_SIGNAL, 1);
  el_set(el_, EL_PROMPT, Prompt);
  el_set(el_, EL_HIST, history, history_);
  el_set(el_, EL_SETTY, "-d", "-isig", nullptr);
  // The wide form: libedit keeps the narrow form's converted names for ever.
  el_wset(el_, EL_ADDFN, L"vex-complete",
          L"Complete the name before the cursor", Complete);
  el_wset(el_, EL_ADDFN, L"vex-cancel", L"Drop the line", Cancel);
  el_set(el_, EL_BIND, "^I", "vex-complete", nullptr);
  el_set(el_, EL_BIND, "^C", "vex-cancel", nullptr);
  // As shells have them: a search back through the history, and the word or
  // the line before the cursor deleted.
  el_set(el_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
  el_set(el_, EL_BIND, "^W", "ed-delete-prev-word", nullptr);
  el_set(el_, EL_BIND, "^U", "vi-kill-line-prev", nullptr);
  // Home and End as the Linux console and terminal multiplexers send them.
  el_set(el_, EL_BIND, "\033[1~", "ed-move-to-beg", nullptr);
  el_set(el_, EL_BIND, "\033[4~", "ed-move-to-end", nullptr);
  el_source(el_, nullptr);
}

EditLineInput::~EditLineInput() {
  el_end(el_);
  history_end(history_);
}

EditLineInput& EditLineInput::Of(EditLine* el) {
  void* self = nullptr;
  el_get(el, EL_CLIENTDATA, &self);
  return *static_cast<EditLineInput*>(self);
}

const char* EditLineInput::Prompt(EditLine* el) {
  return Of(el).continued_ ? "  " : "> ";
}

LineInput::Result EditLineInput::Read(bool continued, std::string& line) {
  continued_ = continued;
  cancelled_ = false;
  int count = 0;
  const char* text = el_gets(el_, &count);
  if (cancelled_) return Result::Cancelled;
  if (text == nullptr || count <= 0) {
    WriteUtf8(stdout, "\n");
    return Result::End;
  }
  line.assign(text, size_t(count));
  if (line.back() == '\n') line.pop_back();
  return Result::Line;
}

void EditLineInput::Remember(const std::string& entry) {
  history(history_, &event_, H_ENTER, entry.c_str());
  SaveHistory();
}

void EditLineInput::SaveHistory() {
  if (historyPath_.empty() || historyFailed_) return;
  std::string fresh = historyPath_ + ".new";
  int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::FILE* f = fd < 0 ? nullptr : fdopen(fd, "w");
  bool saved = f != nullptr && history(history_, &event_, H_SAVE_FP, f) >= 0;
  if (f != nullptr) saved = std::fclose(f) == 0 && saved;
  if (saved && std::rename(fresh.c_str(), historyPath_.c_str()) == 0) return;
  historyFailed_ = true;
  std::remove(fresh.c_str());
  WriteUtf8(stderr, "\nvexilon-cli: cannot write the history to " +
                        historyPath_ + "\n");
}

// Tab: the longest common prefix of the names that begin with what stands
// before the cursor; a second Tab that adds nothing lists them.
unsigned char EditLineInput::Complete(EditLine* el, int) {
  EditLineInput& self = Of(el);
  const LineInfo* line = el_line(el);
  std::string before(line->buffer, line->cursor);
  size_t end = before.find_last_of(NAME_ENDS);
  std::string prefix = before.substr(end == std::string::npos ? 0 : end + 1);
  std::vector<std::string> found;
  for (std::string& name : self.names_())
    if (name.starts_with(prefix)) found.push_back(std::move(name));
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  if (found.empty()) return CC_ERROR;
  // Sorted, the names share what the first and the last share.
  const std::string& first = found.front();
  const std::string& last = found.back();
  size_t common =
      size_t(std::mismatch(first.begin(), first.end(), last.begin(), last.end())
                 .first -
             first.begin());
  // Never half a character.
  while (common > prefix.size() && (found.front()[common] & 0xC0) == 0x80)
    --common;
  if (common > prefix.size()) {
    std::string more =
        found.front().substr(prefix.size(), common - prefix.size());
    el_insertstr(el, more.c_str());
    line = el_line(el);
    self.lastTab_.assign(line->buffer, line->lastchar);
    return CC_REFRESH;
  }
  std::string now(line->buffer, line->lastchar);
  if (found.size() == 1) return CC_NORM;
  if (now == self.lastTab_) {
    self.List(found);
    return CC_REDISPLAY;
  }
  self.lastTab_ = now;
  return CC_ERROR;
}

// The names in columns across the terminal, below the line being edited.
void EditLineInput::List(const std::vector<std::string>& names) const {
  winsize size{};
  int columns =
      ioctl(1, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  size_t width = 0;
  for (const std::string& name : names)
    width = std::max(width, FromUtf8(name).size());
  width += 2;
  size_t perLine = std::max<size_t>(1, size_t(columns) / width);
  std::string out = "\n";
  for (size_t i = 0; i < names.size(); ++i) {
    out += names[i];
    bool last = (i + 1) % perLine == 0 || i + 1 == names.size();
    out += last ? "\n" : std::string(width - FromUtf8(names[i]).size(), ' ');
  }
  WriteUtf8(stdout, out);
}

// Ctrl-C: "^C" at the end of the line, which then ends as Enter would end
// it, and is dropped.
unsigned char EditLineInput::Cancel(EditLine* el, int) {
  const LineInfo* line = el_line(el);
  el_cursor(el, int(line->lastchar - line->cursor));
  el_insertstr(el, "^C");
  Of(el).cancelled_ = true;
  el_push(el, "\n");
  return CC_REFRESH;
}

}  // namespace

std::unique_ptr<LineInput> OpenLineEditor(NameSource names) {
  return std::make_unique<EditLineInput>(std::move(names));
}

}  // namespace vex
