// Fuzzes the "uninst.log" reader: arbitrary bytes go through the decoding of
// an encoded block, the text decoding, the parse and the record's reader; a
// record that reads must print and read back equal, and every path in it
// goes through the uninstall's place check.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/log.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"
#include "setup/uninstall_log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The reader's warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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

  UninstallScope scope;
  scope.installFolder = u"/opt/game";
  scope.startMenuFolder = u"/home/u/.local/share/applications";
  scope.desktopFolder = u"/home/u/Desktop";
  for (const std::u16string& file : log.files()) IsUninstallable(UninstallKind::kFile, file, scope);
  for (const std::u16string& folder : log.folders()) IsUninstallable(UninstallKind::kFolder, folder, scope);
  return 0;
}
