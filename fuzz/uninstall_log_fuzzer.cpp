// Fuzzes the "uninst.log" reader: arbitrary bytes go through the decoding of
// an encoded block, the text decoding, the parse and the record's reader; a
// record that reads must print and read back equal, every path in it goes
// through the uninstall's place check, and the bytes are read as a launcher
// whose maker is asked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"
#include "setup/desktop_shortcut.h"
#include "setup/uninstall_log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The reader's warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DesktopEntryMadeBy(std::string_view(reinterpret_cast<const char*>(data), size), u"/opt/game");
  std::vector<uint8_t> bytes(data, data + size);
  decodeMaybeEncoded(&bytes);
  UninstallLog log;
  if (!readUninstallLogBytes(bytes, u"uninst.log", &log)) return 0;

  tokenizer::Tokenizer tk;
  const std::string text = platform::ToUtf8(tokenizer::toText(log.toCells(tk)));
  UninstallLog back;
  if (!readUninstallLogBytes(std::vector<uint8_t>(text.begin(), text.end()), u"uninst.log", &back) ||
      back.files() != log.files() || back.folders() != log.folders() || back.regValues() != log.regValues() ||
      back.regSubKeys() != log.regSubKeys()) {
    __builtin_trap();
  }

  // What may go lies below the folder its removal walks from (paths are
  // checked as the uninstall checks them: repeated and final "/" folded).
  UninstallScope scope;
  scope.installFolder = u"/opt/game";
  scope.programsFolder = u"/home/u/.local/share/applications";
  scope.menuFolder = u"/home/u/.local/share/applications/Maker/Game";
  scope.desktopFile = u"/home/u/Desktop/Play.desktop";
  const auto check = [&scope](UninstallKind kind, const std::u16string& logged) {
    std::u16string path;
    for (const char16_t c : logged) {
      if (c != u'/' || path.empty() || path.back() != u'/') path += c;
    }
    if (path.size() > 1 && path.back() == u'/') path.pop_back();
    std::u16string base;
    if (IsUninstallable(kind, path, scope, &base) && !base.empty() &&
        (path.size() <= base.size() || path.compare(0, base.size(), base) != 0 || path[base.size()] != u'/')) {
      __builtin_trap();
    }
  };
  for (const std::u16string& file : log.files()) check(UninstallKind::kFile, file);
  for (const std::u16string& folder : log.folders()) check(UninstallKind::kFolder, folder);
  return 0;
}
