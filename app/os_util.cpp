#include "app/os_util.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/input_box.h"
#include "app/log.h"
#include "app/string_util.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/quit_signals.h"
#include "platform/utf8.h"

namespace {

// Each of these WARNs is written once per process.
bool warnedNoZenity = false;
bool warnedNoDisplay = false;

// zenity, when it is installed and there is a display. Without it the
// caller falls back or answers as cancelled; the first time, a WARN says
// why.
bool zenityUsable() {
  if (!platform::ProgramOnPath("zenity")) {
    if (!warnedNoZenity) {
      warnedNoZenity = true;
      LogWrite(LOG_WARN, u"ダイアログに使うzenityが見つかりません\n");
    }
    return false;
  }
  if (!platform::DialogsHaveDisplay()) {
    if (!warnedNoDisplay) {
      warnedNoDisplay = true;
      LogWrite(LOG_WARN, u"ディスプレイがないのでダイアログを表示できません\n");
    }
    return false;
  }
  return true;
}

// True when the locale the environment gives reads UTF-8 (LC_ALL, else
// LC_CTYPE, else LANG, as the C library picks it).
bool environmentLocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string text(value);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find("utf-8") != std::string::npos || text.find("utf8") != std::string::npos;
  }
  return false;
}

// Runs zenity with a UTF-8 locale (it reads and writes its texts in the
// locale's encoding, and the engine speaks UTF-8), until it ends or the
// engine is asked to quit.
platform::ProcessResult runZenity(const std::vector<std::string>& argv, bool captureOutput) {
  platform::ProcessOptions options;
  if (!environmentLocaleIsUtf8()) options.environment.push_back("LC_ALL=C.UTF-8");
  options.cancel = &platform::QuitEventPending;
  return platform::RunProcess(argv, captureOutput, options);
}

}  // namespace

int32_t GetOsVersionClass(std::u16string* servicePackText) {
  if (servicePackText) servicePackText->clear();
  return 6;
}

bool IsUserAdmin() { return platform::IsEffectiveRoot(); }

bool IsAdministratorUF(int32_t* result) {
  *result = IsUserAdmin() ? 1 : 0;
  return true;
}

namespace {
void (*messageBoxPointerHook)(bool) = nullptr;
}  // namespace

void SetMessageBoxPointerHook(void (*hook)(bool boxOpening)) { messageBoxPointerHook = hook; }

bool ShowMessageBox(std::u16string_view text, std::u16string_view caption, uint32_t flags, int32_t* button) {
  if (messageBoxPointerHook) messageBoxPointerHook(true);
  const int pressed = platform::ShowMessageBox(text, caption, flags);
  if (messageBoxPointerHook) messageBoxPointerHook(false);
  if (button) *button = pressed;
  return true;
}

bool ShellOpen(std::u16string_view path) {
  const int rc = platform::StartDetachedProcess({"xdg-open", platform::ToUtf8(path)});
  if (rc != 0) {
    LogWrite(LOG_TRACE, u"shellexecute : 失敗(%d)\n", rc);
    return false;
  }
  return true;
}

bool BrowseForFolder(std::u16string_view title, int32_t mode, std::u16string_view initialFolder,
                     std::u16string* folder) {
  folder->clear();
  if (!zenityUsable()) {
    // Without zenity the engine's own input box asks for the folder's path,
    // where there is a display to show it on.
    if (!platform::ProgramOnPath("zenity") && platform::DialogsHaveDisplay()) {
      std::u16string typed;
      if (ShowInputBox(title, u"フォルダのパスを入力してください", initialFolder, 0, &typed)) {
        *folder = ToSlashPath(typed);
      }
    }
    return true;
  }
  (void)mode;  // zenity's folder dialog has no new-folder button to take away
  std::vector<std::string> argv = {"zenity", "--file-selection", "--directory",
                                   "--title=" + platform::ToUtf8(title)};
  if (!initialFolder.empty()) argv.push_back("--filename=" + platform::ToUtf8(ToSlashPath(initialFolder)) + "/");
  const platform::ProcessResult result = runZenity(argv, true);
  // The engine is ending: the dialog was put away, as if cancelled.
  if (result.cancelled) return true;
  // 0: chosen, 1: cancelled; anything else (an error, a time-out, a crash)
  // is a dialog that failed.
  if (result.spawnError != 0 || (result.exitCode != 0 && result.exitCode != 1)) {
    LogWrite(LOG_WARN, u"フォルダ選択ダイアログ(zenity)が失敗しました(%d)\n",
             result.spawnError != 0 ? -1 : result.exitCode);
    return false;
  }
  if (result.exitCode == 1) return true;
  std::string chosen = result.output;
  while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
  *folder = ToSlashPath(platform::FromUtf8(chosen));
  return true;
}

int32_t ShowRichTextDialog(std::u16string_view title, const std::vector<uint8_t>& rtfBytes) {
  if (!zenityUsable()) return 1;
  // zenity reads the text to show from its standard input, which RunProcess
  // does not feed: hand it over through a file instead.
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::temp_directory_path(ec) /
                                     ("zep-rtf-" + std::to_string(std::random_device()()) + ".txt");
  if (ec) return 1;
  {
    // Created exclusively: never through a file or link someone else made.
    FILE* out = std::fopen(path.c_str(), "wx");
    if (!out) return 1;
    const std::string text = platform::ToUtf8(RtfToPlainText(rtfBytes));
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
      std::filesystem::remove(path, ec);
      return 1;
    }
  }
  const platform::ProcessResult result =
      runZenity({"zenity", "--text-info", "--title=" + platform::ToUtf8(title), "--filename=" + path.string()}, false);
  std::filesystem::remove(path, ec);
  return result.spawnError == 0 && result.exitCode == 0 ? 2 : 1;
}

std::u16string RtfToPlainText(const std::vector<uint8_t>& rtf) {
  std::u16string out;
  std::string pendingBytes;  // code-page bytes of \'hh escapes, decoded together
  auto flushBytes = [&] {
    if (!pendingBytes.empty()) {
      out += MultiByteToWString(pendingBytes.data(), pendingBytes.size());
      pendingBytes.clear();
    }
  };
  // Groups whose text is not part of the document.
  auto isHiddenDestination = [](const std::string& word) {
    return word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" ||
           word == "pict" || word == "header" || word == "footer" || word == "listtable" ||
           word == "listoverridetable" || word == "generator";
  };
  std::vector<bool> hidden{false};  // one entry per open group
  size_t i = 0;
  size_t skipAfterUnicode = 0;
  const size_t n = rtf.size();
  while (i < n) {
    const char c = static_cast<char>(rtf[i]);
    if (c == '{') {
      flushBytes();
      hidden.push_back(hidden.back());
      ++i;
      continue;
    }
    if (c == '}') {
      flushBytes();
      if (hidden.size() > 1) hidden.pop_back();
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '\\') {
      if (skipAfterUnicode > 0) {
        --skipAfterUnicode;
      } else if (!hidden.back()) {
        pendingBytes.push_back(c);  // a double-byte character may span an escape and a plain byte
      }
      ++i;
      continue;
    }
    // A control symbol or control word.
    ++i;
    if (i >= n) break;
    const char d = static_cast<char>(rtf[i]);
    if (d == '\\' || d == '{' || d == '}') {
      if (!hidden.back()) pendingBytes.push_back(d);
      ++i;
      continue;
    }
    if (d == '\'') {
      if (i + 2 < n) {
        const std::string hex(reinterpret_cast<const char*>(&rtf[i + 1]), 2);
        char* stop = nullptr;
        const long v = strtol(hex.c_str(), &stop, 16);
        if (*stop == '\0' && !hidden.back()) {
          if (skipAfterUnicode > 0) {
            --skipAfterUnicode;
          } else {
            pendingBytes.push_back(static_cast<char>(v));
          }
        }
      }
      i += 3;
      continue;
    }
    if (d == '*') {
      hidden.back() = true;
      ++i;
      continue;
    }
    if (!((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z'))) {
      if (d == '~' && !hidden.back()) pendingBytes.push_back(' ');
      ++i;
      continue;
    }
    std::string word;
    while (i < n && ((rtf[i] >= 'a' && rtf[i] <= 'z') || (rtf[i] >= 'A' && rtf[i] <= 'Z'))) {
      word.push_back(static_cast<char>(rtf[i++]));
    }
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (i < n && rtf[i] == '-') {
      negative = true;
      ++i;
    }
    while (i < n && rtf[i] >= '0' && rtf[i] <= '9') {
      hasParam = true;
      if (param < 1000000) param = param * 10 + (rtf[i] - '0');
      ++i;
    }
    if (negative) param = -param;
    if (i < n && rtf[i] == ' ') ++i;  // the delimiter belongs to the word
    if (isHiddenDestination(word)) {
      hidden.back() = true;
      continue;
    }
    if (hidden.back()) continue;
    if (word == "par" || word == "line") {
      flushBytes();
      out.push_back(u'\n');
    } else if (word == "tab") {
      flushBytes();
      out.push_back(u'\t');
    } else if (word == "u" && hasParam) {
      flushBytes();
      out.push_back(static_cast<char16_t>(param < 0 ? param + 65536 : param));
      skipAfterUnicode = 1;
    }
  }
  flushBytes();
  return out;
}

bool ShowInputDialog(std::u16string* text, std::u16string_view initial, int32_t maxLength,
                     std::u16string_view prompt, std::u16string_view caption) {
  return ShowInputBox(caption, prompt, initial, maxLength, text);
}
