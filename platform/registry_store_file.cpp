// The file-backed registry store: the text form of a hive, its lookups, and
// the locked read and atomic rewrite of its file.
#include "platform/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>

#include "platform/file.h"
#include "platform/process.h"
#include "platform/utf8.h"

namespace platform {

namespace {

struct Entry {
  std::string name;  // UTF-8, as first written
  RegistryValue value;
};

struct Key {
  std::string path;  // normalised UTF-8, as first written
  std::vector<Entry> values;
  std::vector<std::string> unreadable;  // value lines kept as they were
};

// The keys of a hive as a tree of lower-cased names, so that a lookup walks
// its path once instead of comparing it with every key. A node exists for
// every key and every key on the way to one; no deeper than kMaxKeyDepth.
struct KeyNode {
  std::unordered_map<std::string, std::unique_ptr<KeyNode>> children;
  size_t key = SIZE_MAX;  // the key's index in Hive::keys; SIZE_MAX when not stored
};

struct Hive {
  std::vector<std::string> unreadable;  // lines outside any readable section
  std::vector<Key> keys;                // in file order
  KeyNode root;
};

std::mutex g_mutex;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool sameName(std::string_view a, std::string_view b) { return a.size() == b.size() && lower(a) == lower(b); }

// UTF-16 units of a UTF-8 name: one per character, two above U+FFFF.
size_t utf16Length(std::string_view utf8) {
  size_t n = 0;
  for (const char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u & 0xC0) != 0x80) ++n;
    if (u >= 0xF0) ++n;
  }
  return n;
}

// Calls fn(name, end) for each name of a normalised path, end being where
// the name ends in it; stops early when fn answers false.
template <class Fn>
void forEachName(const std::string& path, Fn fn) {
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (!fn(std::string_view(path).substr(start, end - start), end)) return;
    start = end + 1;
  }
}

std::string normaliseKey(std::u16string_view key) {
  std::string utf8 = ToUtf8(key);
  std::string out;
  size_t start = 0;
  while (start <= utf8.size()) {
    size_t end = utf8.find_first_of("/\\", start);
    if (end == std::string::npos) end = utf8.size();
    if (end > start) {
      if (!out.empty()) out.push_back('/');
      out.append(utf8, start, end - start);
    }
    start = end + 1;
  }
  return out;
}

// ---- lookup ----

// The node of a normalised path, or null when no key is at or below it.
KeyNode* findNode(Hive& hive, const std::string& path) {
  KeyNode* node = &hive.root;
  forEachName(path, [&](std::string_view name, size_t) {
    const auto it = node->children.find(lower(name));
    node = it == node->children.end() ? nullptr : it->second.get();
    return node != nullptr;
  });
  return node;
}

// Enters keys[i] into the tree; the first of two equal paths is the one
// found. A path past the limits (a file written by hand) enters only its
// part within them, so it still counts for the keys on its way.
void indexKey(Hive& hive, size_t i) {
  KeyNode* node = &hive.root;
  size_t depth = 0;
  bool whole = true;
  forEachName(hive.keys[i].path, [&](std::string_view name, size_t) {
    if (++depth > kMaxKeyDepth || utf16Length(name) > kMaxKeyNameLength) return whole = false;
    std::unique_ptr<KeyNode>& child = node->children[lower(name)];
    if (!child) child = std::make_unique<KeyNode>();
    node = child.get();
    return true;
  });
  if (whole && node->key == SIZE_MAX) node->key = i;
}

Key* findKey(Hive& hive, const std::string& path) {
  const KeyNode* node = findNode(hive, path);
  return node && node->key != SIZE_MAX ? &hive.keys[node->key] : nullptr;
}

// A key exists when it is stored or a key below it is.
bool keyExists(Hive& hive, const std::string& path) { return findNode(hive, path) != nullptr; }

Key& createKey(Hive& hive, const std::string& path) {
  // Parents first, so the file reads top-down.
  KeyNode* node = &hive.root;
  forEachName(path, [&](std::string_view name, size_t end) {
    std::unique_ptr<KeyNode>& child = node->children[lower(name)];
    if (!child) child = std::make_unique<KeyNode>();
    node = child.get();
    if (node->key == SIZE_MAX) {
      node->key = hive.keys.size();
      hive.keys.push_back({path.substr(0, end), {}, {}});
    }
    return true;
  });
  if (node->key == SIZE_MAX) {  // the empty path: values at the hive's top
    node->key = hive.keys.size();
    hive.keys.push_back({path, {}, {}});
  }
  return hive.keys[node->key];
}

// ---- text form ----

std::string escape(std::string_view s, bool bracket) {
  std::string out;
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"' || (bracket && c == ']')) {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (u < 0x20 || u == 0x7F) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Reads an escaped text up to an unescaped terminator; pos ends behind it.
bool unescape(const std::string& line, size_t& pos, char terminator, std::string& out) {
  out.clear();
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == terminator) return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size()) return false;
    const char e = line[pos++];
    if (e == 'n') {
      out.push_back('\n');
    } else if (e == 'r') {
      out.push_back('\r');
    } else if (e == 'x') {
      if (pos + 2 > line.size()) return false;
      out.push_back(static_cast<char>(strtol(line.substr(pos, 2).c_str(), nullptr, 16)));
      pos += 2;
    } else {
      out.push_back(e);
    }
  }
  return false;
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", bytes[i]);
    out += buf;
  }
  return out;
}

bool parseHexBytes(const std::string& text, std::vector<uint8_t>& out) {
  out.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(pos, end - pos);
    char* stop = nullptr;
    const long v = strtol(part.c_str(), &stop, 16);
    if (part.empty() || *stop != '\0' || v < 0 || v > 255) return false;
    out.push_back(static_cast<uint8_t>(v));
    pos = end + 1;
  }
  return true;
}

std::string serialise(const Hive& hive) {
  std::string out = "; zep registry store\n";
  for (const std::string& line : hive.unreadable) out += line + "\n";
  for (const Key& key : hive.keys) {
    out += "\n[" + escape(key.path, true) + "]\n";
    for (const Entry& e : key.values) {
      out += "\"" + escape(e.name, false) + "\"=";
      const RegistryValue& v = e.value;
      if (v.type == kRegDword) {
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", v.dword);
        out += buf;
      } else if (v.type == kRegSz) {
        out += "sz:\"" + escape(ToUtf8(v.text), false) + "\"";
      } else if (v.type == kRegBinary) {
        out += "hex:" + hexBytes(v.bytes);
      } else {
        out += "hex(" + std::to_string(v.type) + "):" + hexBytes(v.bytes);
      }
      out += "\n";
    }
    for (const std::string& line : key.unreadable) out += line + "\n";
  }
  return out;
}

// Reads one value line ("name"=type:data). False for a line it cannot read.
bool parseValueLine(const std::string& line, Entry* entry) {
  size_t pos = 1;
  if (line.empty() || line[0] != '"' || !unescape(line, pos, '"', entry->name)) return false;
  if (pos >= line.size() || line[pos] != '=') return false;
  const std::string rest = line.substr(pos + 1);
  RegistryValue& v = entry->value;
  if (rest.rfind("dword:", 0) == 0) {
    char* stop = nullptr;
    const unsigned long d = strtoul(rest.c_str() + 6, &stop, 16);
    if (rest.size() == 6 || *stop != '\0') return false;
    v.type = kRegDword;
    v.dword = static_cast<uint32_t>(d);
    return true;
  }
  if (rest.rfind("sz:\"", 0) == 0) {
    size_t p = 4;
    std::string s;
    if (!unescape(rest, p, '"', s) || p != rest.size()) return false;
    v.type = kRegSz;
    v.text = FromUtf8(s);
    return true;
  }
  if (rest.rfind("hex:", 0) == 0) {
    v.type = kRegBinary;
    return parseHexBytes(rest.substr(4), v.bytes);
  }
  if (rest.rfind("hex(", 0) != 0) return false;
  const size_t close = rest.find("):");
  if (close == std::string::npos) return false;
  const std::string typeText = rest.substr(4, close - 4);
  char* stop = nullptr;
  const unsigned long type = strtoul(typeText.c_str(), &stop, 10);
  if (close == 4 || *stop != '\0' || !parseHexBytes(rest.substr(close + 2), v.bytes)) return false;
  v.type = static_cast<uint32_t>(type);
  // Bytes of the two types the store keeps in their own form.
  if (v.type == kRegDword) {
    if (v.bytes.size() != 4) return false;
    v.dword = static_cast<uint32_t>(v.bytes[0]) | (static_cast<uint32_t>(v.bytes[1]) << 8) |
              (static_cast<uint32_t>(v.bytes[2]) << 16) | (static_cast<uint32_t>(v.bytes[3]) << 24);
    v.bytes.clear();
  } else if (v.type == kRegSz) {
    if (v.bytes.size() % 2 != 0) return false;
    for (size_t i = 0; i + 1 < v.bytes.size(); i += 2) v.text.push_back(static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8)));
    while (!v.text.empty() && v.text.back() == u'\0') v.text.pop_back();
    v.bytes.clear();
  }
  return true;
}

// Lines that cannot be read are kept as they were and written back, so a
// damaged or newer line is never lost by another process's write.
Hive parse(const std::string& text) {
  Hive hive;
  std::istringstream in(text);
  std::string line;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    // Every "\r" before the line end goes: a kept line that ended in one
    // would read back shorter after each write.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t pos = 1;
      std::string path;
      if (!unescape(line, pos, ']', path)) {
        hive.unreadable.push_back(line);
        current = nullptr;
        continue;
      }
      hive.keys.push_back({normaliseKey(FromUtf8(path)), {}, {}});
      indexKey(hive, hive.keys.size() - 1);
      current = &hive.keys.back();
      continue;
    }
    Entry entry;
    if (current && parseValueLine(line, &entry)) {
      current->values.push_back(std::move(entry));
    } else if (current) {
      current->unreadable.push_back(line);
    } else {
      hive.unreadable.push_back(line);
    }
  }
  return hive;
}

// ---- the file and its lock ----

// A larger hive is taken for damage: it is neither read nor rewritten.
constexpr size_t kMaxHiveBytes = 16u << 20;

// The machine hive, its lock file and the folders made for them are for
// every user to read, as installed files are, whatever the umask (a root
// install under umask 077 would otherwise hide what it registered); the
// user's hive keeps the user's umask.
constexpr int kMachineFileMode = 0644;
constexpr mode_t kMachineFolderMode = 0755;

// Makes the folder and its missing parents: with `mode` whatever the umask,
// or (mode 0) as the umask has it. True when the folder is there.
bool makeFolders(const std::filesystem::path& folder, mode_t mode) {
  std::error_code ec;
  if (mode == 0) {
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
  }
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path p = folder; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), mode) == 0) {
      [[maybe_unused]] const int changed = ::chmod(it->c_str(), mode);
    }
  }
  return std::filesystem::is_directory(folder, ec);
}

// Opens the lock file for writing, made when missing: with `mode` whatever
// the umask, or (mode -1) 0644 less the umask. -1 when it cannot be had.
int openLockForWrite(const std::string& lock, int mode) {
  for (;;) {
    const int fd = open(lock.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int made = open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode >= 0 ? mode : 0644);
    if (made >= 0) {
      if (mode >= 0) {
        [[maybe_unused]] const int changed = fchmod(made, static_cast<mode_t>(mode));
      }
      return made;
    }
    if (errno != EEXIST) return -1;  // else another process made it first: open that
  }
}

// One call's view of a hive. Writers hold an exclusive lock on the lock file
// beside the hive (made when missing); readers a shared one where the lock
// file opens for reading, and none where it does not (a read-only folder):
// the hive is only ever replaced by one rename, so even an unlocked read
// sees one whole version.
class LockedHive {
 public:
  LockedHive(RegistryHive which, bool write)
      : file_(RegistryHiveFile(which)), fileMode_(which == RegistryHive::kLocalMachine ? kMachineFileMode : -1) {
    if (file_.empty()) {
      status_ = write ? kRegAccessDenied : kRegOk;
      return;
    }
    const std::filesystem::path folder = std::filesystem::path(file_).parent_path();
    std::error_code ec;
    if (write) makeFolders(folder, fileMode_ >= 0 ? kMachineFolderMode : 0);
    if (!std::filesystem::is_directory(folder, ec)) {
      status_ = write ? kRegAccessDenied : kRegOk;  // nothing stored yet
      return;
    }
    const std::string lock = file_ + ".lock";
    lockFd_ = write ? openLockForWrite(lock, fileMode_) : open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    while (lockFd_ >= 0 && flock(lockFd_, write ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        close(lockFd_);
        lockFd_ = -1;
      }
    }
    if (write && lockFd_ < 0) {
      status_ = kRegAccessDenied;
      return;
    }
    // Only a hive that does not exist yet reads as empty: one that exists
    // but cannot be read (or is too large) is an error, and is never
    // replaced by what a write would make of it.
    std::string text;
    if (!readHive(&text)) {
      status_ = kRegAccessDenied;
      return;
    }
    hive_ = parse(text);
  }
  ~LockedHive() {
    if (lockFd_ >= 0) close(lockFd_);  // releases the lock
  }
  LockedHive(const LockedHive&) = delete;
  LockedHive& operator=(const LockedHive&) = delete;

  // kRegOk when the hive was read (and, for a write, locked), else the
  // code to answer with.
  int status() const { return status_; }
  Hive& hive() { return hive_; }

  // The one atomic replace: a failure leaves the old file. False too for a
  // hive that would grow past the size a read accepts.
  bool save() {
    if (status_ != kRegOk || lockFd_ < 0) return false;
    const std::string text = serialise(hive_);
    return text.size() <= kMaxHiveBytes && ReplaceFileAtomically(file_, text, nullptr, fileMode_) == 0;
  }

 private:
  // False for a hive that exists but cannot be read whole.
  bool readHive(std::string* text) const {
    const int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= kMaxHiveBytes;
    char buffer[65536];
    while (ok) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        text->append(buffer, static_cast<size_t>(n));
        ok = text->size() <= kMaxHiveBytes;
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        ok = false;
      }
    }
    close(fd);
    return ok;
  }

  std::string file_;
  int fileMode_;  // the hive's and lock file's mode, or -1: the umask's
  int lockFd_ = -1;
  int status_ = kRegOk;
  Hive hive_;
};

}  // namespace

// Whether a key path keeps to the limits; checked on the caller's text, so
// a path that could never be stored costs no more than reading it.
bool RegistryKeyWithinLimits(std::u16string_view key) {
  size_t depth = 0;
  size_t length = 0;
  for (const char16_t c : key) {
    if (c == u'/' || c == u'\\') {
      length = 0;
      continue;
    }
    if (length++ == 0 && ++depth > kMaxKeyDepth) return false;
    if (length > kMaxKeyNameLength) return false;
  }
  return true;
}

std::string RegistryHiveFile(RegistryHive hive) {
  const std::string name = hive == RegistryHive::kCurrentUser ? "HKCU.reg" : "HKLM.reg";
  const char* dir = getenv("ZEP_REGISTRY_DIR");
  if (dir && *dir) return std::string(dir) + "/" + name;
  const char* home = getenv("HOME");
  auto xdg = [&](const char* var, const char* fallback) -> std::string {
    const char* v = getenv(var);
    if (v && *v == '/') return v;
    return home && *home ? std::string(home) + fallback : std::string();
  };
  std::string base;
  if (hive == RegistryHive::kCurrentUser) {
    base = xdg("XDG_CONFIG_HOME", "/.config");
    return base.empty() ? base : base + "/zep/registry/" + name;
  }
  if (IsEffectiveRoot()) return "/var/lib/zep/registry/" + name;
  base = xdg("XDG_DATA_HOME", "/.local/share");
  return base.empty() ? base : base + "/zep/registry/" + name;
}

int RegistryReadValue(RegistryHive which, std::u16string_view key, std::u16string_view name,
                      RegistryValue* out) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, false);
  if (store.status() != kRegOk) return store.status();
  Key* k = findKey(store.hive(), normaliseKey(key));
  if (!k) return kRegNotFound;
  const std::string wanted = ToUtf8(name);
  for (const Entry& e : k->values) {
    if (sameName(e.name, wanted)) {
      if (out) *out = e.value;
      return kRegOk;
    }
  }
  return kRegNotFound;
}

int RegistryKeyExists(RegistryHive which, std::u16string_view key) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, false);
  if (store.status() != kRegOk) return store.status();
  return keyExists(store.hive(), normaliseKey(key)) ? kRegOk : kRegNotFound;
}

int RegistryWriteValue(RegistryHive which, std::u16string_view key, std::u16string_view name,
                       const RegistryValue& value) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, true);
  if (store.status() != kRegOk) return store.status();
  Key& k = createKey(store.hive(), normaliseKey(key));
  const std::string utf8Name = ToUtf8(name);
  bool replaced = false;
  for (Entry& e : k.values) {
    if (sameName(e.name, utf8Name)) {
      e.value = value;
      replaced = true;
      break;
    }
  }
  if (!replaced) k.values.push_back({utf8Name, value});
  return store.save() ? kRegOk : kRegAccessDenied;
}

int RegistryDeleteValue(RegistryHive which, std::u16string_view key, std::u16string_view name) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, true);
  if (store.status() != kRegOk) return store.status();
  Key* k = findKey(store.hive(), normaliseKey(key));
  if (!k) return kRegNotFound;
  const std::string utf8Name = ToUtf8(name);
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (sameName(it->name, utf8Name)) {
      k->values.erase(it);
      return store.save() ? kRegOk : kRegAccessDenied;
    }
  }
  return kRegNotFound;
}

int RegistryCreateKey(RegistryHive which, std::u16string_view key) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, true);
  if (store.status() != kRegOk) return store.status();
  createKey(store.hive(), normaliseKey(key));
  return store.save() ? kRegOk : kRegAccessDenied;
}

int RegistryDeleteKey(RegistryHive which, std::u16string_view key, bool onlyWhenEmpty) {
  if (!RegistryKeyWithinLimits(key)) return kRegInvalidParameter;
  std::lock_guard<std::mutex> lock(g_mutex);
  LockedHive store(which, true);
  if (store.status() != kRegOk) return store.status();
  const std::string path = normaliseKey(key);
  Hive& hive = store.hive();
  const KeyNode* node = path.empty() ? nullptr : findNode(hive, path);
  if (!node) return kRegNotFound;
  if (!node->children.empty() ||
      (onlyWhenEmpty && node->key != SIZE_MAX && !hive.keys[node->key].values.empty())) {
    return kRegAccessDenied;
  }
  std::erase_if(hive.keys, [&](const Key& k) { return sameName(k.path, path); });
  return store.save() ? kRegOk : kRegAccessDenied;
}

}  // namespace platform
