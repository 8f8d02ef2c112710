// GameEnvironment: the one process-wide object that knows where the game's
// files are and how they are named: base folder, load paths, further
// command-line arguments, the configuration records, the naming rule of each
// resource kind, the system-script numbers and the save-folder rule. Also
// the file lookup (built-in files, the name as given, the load paths) and
// the whole-file loader that decodes encoded blocks. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/config_flowmode.h"
#include "app/config_parts.h"
#include "app/config_records.h"
#include "app/config_windows.h"
#include "script/ap_value.h"

class GameEnvironment {
 public:
  // Publishes itself as the process-wide environment.
  GameEnvironment(std::u16string baseFolder, std::vector<std::u16string> loadPaths,
                  std::vector<std::u16string> furtherArgs);
  ~GameEnvironment();
  GameEnvironment(const GameEnvironment&) = delete;
  GameEnvironment& operator=(const GameEnvironment&) = delete;

  // Reads the configuration file into the records and binds the parts that
  // menus and message windows name, then places the storage folder. False
  // when the file cannot be found, read or parsed, a section is malformed,
  // or checkSaveLocation fails.
  bool init(std::u16string_view configFile);
  // The settings file stays in its save folder: its name (and, under the
  // application-data folder, the author and product names) is one folder
  // entry, and a relative save folder never climbs above where it starts
  // with "..". False, with an ERROR naming the key, otherwise; true when
  // there is no settings file.
  bool checkSaveLocation() const;

  const std::u16string& baseFolder() const { return baseFolder_; }
  const std::vector<std::u16string>& loadPaths() const { return loadPaths_; }
  const std::vector<std::u16string>& furtherArgs() const { return furtherArgs_; }

  // The configuration records (filled by the configuration reader).
  Config::ProductInfo& productInfo() { return product_; }
  Config::SystemRecord& systemRecord() { return system_; }
  Config::ResourceRecord& resource() { return resource_; }
  Config::WindowRecord& window() { return window_; }
  // ":flag-constants" (system-script overrides live at type + 40) and
  // ":string-constants".
  std::map<int32_t, int32_t>& constants() { return constants_; }
  std::map<int32_t, std::u16string>& stringConstants() { return stringConstants_; }
  // ":key": virtual-key code -> system command id.
  std::map<int32_t, int32_t>& keyMap() { return keyMap_; }
  Config::ColorTable& colorTable() { return colorTable_; }
  Config::MenuTable& menuTable() { return menus_; }
  Config::MessageWindowTable& messageWindowTable() { return messageWindows_; }
  Config::SelectWindowTable& selectWindowTable() { return selectWindows_; }
  Config::PartsTable& partsTable() { return parts_; }
  // A new reference to the part configuration of that number; empty when
  // ":parts" does not define it.
  SharedRef<XGChipConfig::ConfigBase> findPartsConfig(int32_t number) const;
  Config::FlowmodeConfig& flowmode() { return flowmode_; }

  int32_t getSavedataUsage() const { return product_.savedataUsage; }
  int32_t getSavedataVersion() const { return product_.savedataVersion; }
  const std::u16string& getProductName() const { return product_.productName; }

  // The scenario number of system script type 0..12 (an override of 0 or
  // more from the constants wins). Any other type ends the process.
  int32_t getScriptNo(int32_t type) const;

  // Resolvers: a string is used as it stands, an integer of 0 or more names
  // the numbered file of the kind, anything else gives the empty string.
  std::u16string getScriptPath(int32_t number) const;
  std::u16string getImagePath(const APValue& value) const;
  std::u16string getStreamAnimePath(const APValue& value) const;
  std::u16string getCellImagePath(const APValue& value) const;
  std::u16string getMusicPath(const APValue& value) const;
  std::u16string getSoundPath(const APValue& value) const;
  std::u16string getPartsPath(const APValue& value) const;
  std::u16string getMoviePath(const APValue& value) const;
  std::u16string getStoragePath(const APValue& value) const;
  std::u16string getCursorPath(const APValue& value) const;
  // Storage files (captures and the like) are written and deleted in the
  // storage folder: the game folder, or the save folder when start-up found
  // the game folder not writable (a game installed where its player cannot
  // write). Paths of the naming rule are relative to it.
  const std::u16string& storageFolder() const { return storageFolder_; }
  // The file to read storage file `value` from: the save folder's when the
  // storage folder is the save folder and has it, else the naming rule's
  // path in the game folder (so files shipped with the game are found).
  std::u16string findStoragePath(const APValue& value) const;
  // The rule paths of the storage files in the storage folder whose numbers
  // lie in first..last, from one listing of the folder, by ascending number.
  std::vector<std::u16string> storageFilesInRange(int32_t first, int32_t last) const;
  // "folder/SSS/prefixSSSVVVV.ext": a sub-folder per scene number.
  std::u16string getVoicePath(int32_t scene, int32_t voice) const;
  // The system settings file. Under the application-data folder (created
  // when missing) when the save-folder location is 1, else relative to the
  // current folder. An application-data folder that cannot be had ends the
  // process.
  std::u16string getSysSavePath() const;
  std::u16string getSysSaveDefaultPath() const;

  // Lookup order: built-in files (when asked), the name as given (relative
  // to the current folder or absolute), then each load path joined with the
  // name. Each try also finds a file whose name differs only in ASCII case.
  bool findFile(std::u16string_view name, std::u16string* found, bool searchBuiltins, bool* isBuiltin) const;
  // findFile (when search is set) then LoadFileBytes.
  bool loadResource(std::vector<uint8_t>* bytes, std::u16string_view name, bool search, bool searchBuiltins,
                    size_t maxSize = kMaxLoadSize, bool* tooLarge = nullptr) const;

  // The largest file LoadFileBytes reads by default: 1 GiB.
  static constexpr size_t kMaxLoadSize = 0x40000000;

 private:
  // The storage folder's place, decided once: the save folder when the
  // game folder cannot be written.
  void placeStorage();

  std::u16string baseFolder_;
  std::u16string storageFolder_;
  std::vector<std::u16string> loadPaths_;
  std::vector<std::u16string> furtherArgs_;
  Config::ProductInfo product_;
  Config::SystemRecord system_;
  Config::ResourceRecord resource_;
  std::map<int32_t, int32_t> constants_;
  std::map<int32_t, std::u16string> stringConstants_;
  std::map<int32_t, int32_t> keyMap_;
  Config::WindowRecord window_;
  Config::ColorTable colorTable_;
  Config::MenuTable menus_;
  Config::MessageWindowTable messageWindows_;
  Config::SelectWindowTable selectWindows_;
  Config::PartsTable parts_;
  Config::FlowmodeConfig flowmode_;
};

// The process-wide environment, or null before it exists.
GameEnvironment* GetGameEnvironment();

// The table's value for key, or fallback when the table has none: how
// ":flag-constants" and the other integer tables are read.
int32_t LookupIntMap(const std::map<int32_t, int32_t>& table, int32_t key, int32_t fallback);

// Reads a whole file (or built-in file) of at most maxSize bytes (1 GiB
// unless given); an encoded block is decoded, other data are kept as they
// are. A block whose body does not decode is a failed load. A file, or a
// decoded block, above maxSize is a failed load that sets *tooLarge (a file
// on disk is refused before it is read). *encoded (when given) tells
// whether the data were an encoded block, *unread (when given) how many
// bytes after a compressed block's end were not read.
bool LoadFileBytes(std::vector<uint8_t>* bytes, std::u16string_view path, bool searchBuiltins,
                   size_t maxSize = GameEnvironment::kMaxLoadSize, bool* tooLarge = nullptr,
                   bool* encoded = nullptr, size_t* unread = nullptr);

// The path of an existing file or folder: the name as given, else one that
// differs only in ASCII case; empty when there is none.
std::u16string ExistingPath(std::u16string_view path);

// folder + "/" + name with exactly one "/" between them.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// Special folders by their Windows numbers (0x1a application data, 0x10
// desktop, 0x02 start-menu programs, 0x26 program files, and the all-users
// 0x19 desktop and 0x17 programs, which as root are the system's: no
// desktop, and the system's start menu).
bool GetSpecialFolderPath(int32_t csidl, std::u16string* path, int32_t* error);

// The extra search folder read from the registry at start-up.
void SetAltResourceSearchPath(std::u16string folder);
// The path when that file exists, else the extra folder joined with the
// path when that exists, else the empty string.
std::u16string ResolveWithAltSearchPath(std::u16string_view path);
