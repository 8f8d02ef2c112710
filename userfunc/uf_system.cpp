// Built-ins 2080-2081, 6004-6006, 6008-6010, 7000-7002, 8000-8002 and
// 30001-30005: the quit question, the settings file, screen modes, the
// command line, modal dialogs, the pointer and the desktop services. The
// handlers only read arguments, call the window and shell services and turn
// their outcome into answers; they never draw. Main thread.
#include <string>
#include <vector>

#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/input_box.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/os_util.h"
#include "gamestate/state_mgr.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"
#include "userfunc/full_width.h"
#include "userfunc/userfunc_impl.h"

namespace {

// The question of the quit confirmation: Yes and No, No the default.
constexpr uint32_t kQuitBoxFlags = platform::MB_YESNO | platform::MB_DEFBUTTON2;
// The largest document 7002 shows, in bytes.
constexpr int64_t kMaxRichTextBytes = 10485760;

std::u16string productName(const GameEnvironment* environment) {
  return environment ? environment->getProductName() : std::u16string();
}

// The quit question with the product name as caption ("確認" without one):
// 1 for Yes, else 0.
int32_t askQuit(const GameEnvironment* environment, const std::u16string& text) {
  std::u16string caption = productName(environment);
  if (caption.empty()) caption = u"確認";
  int32_t button = 0;
  ShowMessageBox(text, caption, kQuitBoxFlags, &button);
  return button == platform::IDYES ? 1 : 0;
}

// The whole file, when it is a plain file that can be read and holds at
// most kMaxRichTextBytes (checked before anything is read).
bool readDocument(const std::u16string& name, std::vector<uint8_t>* bytes) {
  const std::u16string path = ExistingPath(name);
  if (path.empty() || !platform::IsRegularFile(platform::ToUtf8(path))) return false;
  const std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
  const int64_t size = GetFileSize(file.get());
  if (size < 0 || size > kMaxRichTextBytes) return false;
  bytes->resize(static_cast<size_t>(size));
  return bytes->empty() || file->read(bytes->data(), 1, bytes->size()) == bytes->size();
}

}  // namespace

std::unique_ptr<UFResult> UserfuncImpl::uf_quit_confirm(const Args&) {
  return make_value_ufresult(askQuit(environment(), u"終了しますか？"));
}

// (question text)
std::unique_ptr<UFResult> UserfuncImpl::uf_quit_confirm_text(const Args& args) {
  return make_value_ufresult(askQuit(environment(), getStringArg(args, 0)));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_is_user_mode(const Args&) {
  return make_value_ufresult(isUserMode() ? 1 : 0);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_save_settings(const Args&) {
  stateMgr().saveSystemFile();
  return make_zero_ufresult();
}

// (mode: 0 windowed at the last size, 1 full screen, 10..19 windowed at
// window-size entry mode - 10): 0 when changed, 1 when refused (any other
// mode, or an entry the configuration lacks; the screen stays as it is).
std::unique_ptr<UFResult> UserfuncImpl::uf_change_screen_mode(const Args& args) {
  return make_value_ufresult(ChangeScreenMode(intArg(args, 0)) ? 0 : 1);
}

// (index, target string variable): the index-th argument after the
// configuration file on the command line, and its length; -1 past the list.
std::unique_ptr<UFResult> UserfuncImpl::uf_command_line_arg(const Args& args) {
  const int32_t index = intArg(args, 0);
  if (environment() == nullptr || index < 0 || static_cast<size_t>(index) >= environment()->furtherArgs().size()) {
    return make_value_ufresult(-1);
  }
  const std::u16string& arg = environment()->furtherArgs()[static_cast<size_t>(index)];
  LogWrite(LOG_DEBUG, u"argv[%d]=%s\n", index, arg);
  stateMgr().setPlayString(intArg(args, 1), arg);
  return make_value_ufresult(lengthOf(arg));
}

// (flag): the pointer stays inside the window while it has the focus.
std::unique_ptr<UFResult> UserfuncImpl::uf_cursor_clip(const Args& args) {
  cmd_setCursorClip(flagArg(args, 0));
  return make_zero_ufresult();
}

// 1 in full screen, else 10 + the window-size entry.
std::unique_ptr<UFResult> UserfuncImpl::uf_get_screen_mode(const Args&) {
  int32_t mode = 0;
  GetScreenMode(&mode);
  return make_value_ufresult(mode);
}

// (text, caption (empty: the product name), message-box type bits): the id
// of the button pressed (1 OK, 2 Cancel, ... 6 Yes, 7 No).
std::unique_ptr<UFResult> UserfuncImpl::uf_message_box(const Args& args) {
  std::u16string caption = getStringArg(args, 1);
  if (caption.empty()) caption = productName(environment());
  int32_t button = 0;
  ShowMessageBox(getStringArg(args, 0), caption, static_cast<uint32_t>(intArg(args, 2)), &button);
  return make_value_ufresult(button);
}

// (target string variable, initial text, maximum length, prompt, caption
// (empty: the product name), full-width flag): 1 with the target set when
// the player confirmed a text other than the initial one (made full-width
// when the flag is set); 0 with the target untouched otherwise, also when
// the box was cancelled.
std::unique_ptr<UFResult> UserfuncImpl::uf_input_box(const Args& args) {
  const std::u16string initial = getStringArg(args, 1);
  std::u16string caption = getStringArg(args, 4);
  if (caption.empty()) caption = productName(environment());
  std::u16string text;
  ShowInputBox(/*caption=*/caption, /*prompt=*/getStringArg(args, 3), /*initial=*/initial,
               /*maxLength=*/intArg(args, 2), &text);
  if (text == initial) return make_zero_ufresult();
  if (flagArg(args, 5)) toFullWidthString(text);
  stateMgr().setPlayString(intArg(args, 0), text);
  return make_value_ufresult(1);
}

// (caption (empty: "確認"), file name): the document in the rich-text
// viewer. 0 closed with OK, 1 cancelled (or no viewer here); -1 when the
// file cannot be read or is over 10 MiB.
std::unique_ptr<UFResult> UserfuncImpl::uf_rich_text_dialog(const Args& args) {
  std::u16string caption = getStringArg(args, 0);
  if (caption.empty()) caption = u"確認";
  std::vector<uint8_t> document;
  if (!readDocument(getStringArg(args, 1), &document)) return make_value_ufresult(-1);
  switch (ShowRichTextDialog(caption, document)) {
    case 2:
      return make_zero_ufresult();
    case 1:
      return make_value_ufresult(1);
    default:
      return make_value_ufresult(-1);
  }
}

// (mode: 0 hidden, 1 shown, 2 hidden after a while; 2 when not an
// integer): kept with the story and applied.
std::unique_ptr<UFResult> UserfuncImpl::uf_cursor_show(const Args& args) {
  const int32_t mode = intArg(args, 0, 2);
  stateMgr().setSavedMouseShow(mode);
  cmd_setCursorShowMode(mode);
  return make_zero_ufresult();
}

// (cursor: a number through the cursor naming rule, a string as given;
// none: the default pointer): kept with the story and applied.
std::unique_ptr<UFResult> UserfuncImpl::uf_cursor_file(const Args& args) {
  const APValue cursor = resourceArg(args, 0);
  stateMgr().setSavedMouseCursor(cursor);
  cmd_setCursorFile(environment() ? environment()->getCursorPath(cursor) : std::u16string());
  return make_zero_ufresult();
}

// The pointer in game coordinates: x in the high 16 bits, y in the low 16
// (both as 16-bit two's complement). Packed unsigned, so a large or
// negative x cannot overflow.
std::unique_ptr<UFResult> UserfuncImpl::uf_cursor_position(const Args&) {
  int32_t x = 0, y = 0;
  cmd_getMousePosition(&x, &y);
  return make_value_ufresult(packXY(x, y));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_window_to_front(const Args&) {
  BringMainWindowToFront();
  return make_zero_ufresult();
}

// 0 for the administrator (root), 1 otherwise.
std::unique_ptr<UFResult> UserfuncImpl::uf_is_administrator(const Args&) {
  int32_t admin = 0;
  IsAdministratorUF(&admin);
  return make_value_ufresult(admin != 0 ? 0 : 1);
}

// (title, option, initial folder, target string variable); the two texts
// are strings only. The chosen folder ("/" separators) and its length; 0
// when cancelled (target untouched); -1 when the dialog failed.
std::unique_ptr<UFResult> UserfuncImpl::uf_browse_folder(const Args& args) {
  std::u16string folder;
  if (!BrowseForFolder(stringOnlyArg(args, 0), intArg(args, 1), stringOnlyArg(args, 2), &folder)) {
    return make_value_ufresult(-1);
  }
  if (folder.empty()) return make_zero_ufresult();
  stateMgr().setPlayString(intArg(args, 3), folder);
  return make_value_ufresult(lengthOf(folder));
}

// (title)
std::unique_ptr<UFResult> UserfuncImpl::uf_window_title(const Args& args) {
  SetWindowTitle(getStringArg(args, 0));
  return make_zero_ufresult();
}

// (path or address): handed to the desktop's opener; 0 when it started, 1
// when it could not.
std::unique_ptr<UFResult> UserfuncImpl::uf_shell_open(const Args& args) {
  return make_value_ufresult(ShellOpen(getStringArg(args, 0)) ? 0 : 1);
}
