// The readers of the setup description files: st_menu.ini (product,
// registry keys, shortcuts, save folder, discs) and patcher.ini (a patch).
// One generic ini reader fills a two-level map; the derived classes add the
// check of their required keys. Parsed on the main thread, afterwards only
// read (main thread and setup worker, no lock); owned through SharedRef.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ns_SetupIni {

class IniParser {
 public:
  // Key to value of one section; names, keys and values are kept exactly as
  // written (case counts, nothing trimmed).
  using Section = std::map<std::u16string, std::u16string, std::less<>>;
  using SectionMap = std::map<std::u16string, Section, std::less<>>;

  // The largest file parse reads; real setup files are a few KB.
  static constexpr size_t kMaxFileBytes = 1 << 20;
  // Discs are numbered 0 to kMaxDiscIndex ("DISCID%04d", "DISCNAME%04d").
  static constexpr int32_t kMaxDiscIndex = 9999;

  IniParser() = default;
  virtual ~IniParser() = default;

  // Reads the file (CP932 text; a name that differs only in ASCII case is
  // found too) into the section map and answers validate. A file that
  // cannot be opened leaves the map empty, logs DEBUG
  // "iniファイルのオープンに失敗しました(%s)\n" and sets *error to
  // "ファイルオープンに失敗"; a file above kMaxFileBytes or one that cannot be
  // read fails the same way with messages of their own.
  bool parse(std::u16string_view path, std::u16string* error);
  // The same for text already read with "\n" line ends: replaces the map
  // with what the text holds and answers validate.
  bool parseText(std::string_view text, std::u16string* error);

  // True when the parsed values are usable; otherwise false with the reason
  // (no line feed) in *error. The generic reader accepts anything and leaves
  // *error alone.
  virtual bool validate(std::u16string* error) const;

  // The stored value (a stored empty value stays empty), or fallback when
  // the section or the key is missing.
  std::u16string getValue(std::u16string_view section, std::u16string_view key,
                          std::u16string_view fallback) const;
  // getValue in section "setup" and "media".
  std::u16string getSetupValue(std::u16string_view key, std::u16string_view fallback) const;
  std::u16string getMediaValue(std::u16string_view key, std::u16string_view fallback) const;

  // Values of section "setup"; empty when missing.
  std::u16string getAuthorName() const;
  std::u16string getAuthorKey() const;
  std::u16string getProductTitle() const;
  std::u16string getProductKey() const;
  std::u16string getVersionKey() const;
  std::u16string getRunApp() const;
  std::u16string getShortcutName() const;
  std::u16string getSaveFolder() const;
  std::u16string getExecLog() const;
  std::u16string getOldVersionKey() const;
  std::u16string getNewVersionKey() const;
  std::u16string getPatchRoot() const;

  // 0 or 1 when save_folder_location is exactly "0" or "1"; fallback for
  // any other text and when the key is missing.
  int32_t getSaveFolderLocation(int32_t fallback) const;
  // The identification file at the root of each disc: DISCIDFILENAME of
  // section "media", "DISCID" when missing.
  std::u16string getDiscIdFileName() const;
  // The identification text and the shown name of disc index. True when the
  // value is non-empty. An index outside 0..kMaxDiscIndex logs ERROR
  // "ディスクインデックス値が範囲外です(%d)\n" and gives false with *text
  // untouched.
  bool getDiscId(int32_t index, std::u16string* text) const;
  bool getDiscName(int32_t index, std::u16string* text) const;

 private:
  bool getDiscValue(std::u16string_view format, int32_t index, std::u16string* text) const;

  SectionMap sections_;
};

// st_menu.ini: the install and uninstall description.
class SetupIni : public IniParser {
 public:
  // Every required key of section "setup" and the disc list of "media".
  // The names that become one path component (author_name, product_title,
  // shortcutname, DISCIDFILENAME), the run application and the save folder
  // (relative paths) must be safe: "<key>が不正です" otherwise.
  bool validate(std::u16string* error) const override;
};

// patcher.ini: the patch description.
class PatcherIni : public IniParser {
 public:
  bool validate(std::u16string* error) const override;
};

}  // namespace ns_SetupIni
