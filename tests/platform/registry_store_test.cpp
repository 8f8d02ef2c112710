// The file-backed registry store: typed round trips, names that ignore ASCII
// case, key creation and deletion, damaged, unreadable and read-only hive
// files, and writers in other processes, also killed in mid-write.
#include "platform/registry_store.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;

constexpr RegistryHive kCU = RegistryHive::kCurrentUser;
constexpr RegistryHive kLM = RegistryHive::kLocalMachine;

RegistryValue Dword(uint32_t v) { return {kRegDword, v, {}, {}}; }
RegistryValue Sz(std::u16string text) { return {kRegSz, 0, std::move(text), {}}; }
RegistryValue Bytes(uint32_t type, std::vector<uint8_t> bytes) { return {type, 0, {}, std::move(bytes)}; }

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The DWORD stored under the name, or -1 when it cannot be read as one.
int64_t ReadDword(RegistryHive hive, std::u16string_view key, std::u16string_view name) {
  RegistryValue v;
  if (RegistryReadValue(hive, key, name, &v) != kRegOk || v.type != kRegDword) return -1;
  return v.dword;
}

// Every test has a hive folder of its own, which does not exist yet.
class RegistryStoreTest : public testing::Test {
 protected:
  std::filesystem::path folder() const { return dir_.path() / "registry"; }

  TempDir dir_;
  ScopedEnv env_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
};

TEST_F(RegistryStoreTest, ValuesRoundTripWithTypeAndContent) {
  struct Case {
    std::u16string name;
    RegistryValue value;
  };
  const std::vector<Case> cases = {
      {u"max", Dword(0xFFFFFFFFu)},
      {u"name \"with\" = and ] in it", Dword(42)},
      {u"quotes", Sz(u"say \"hi\" to C:\\Games\\ and \\\\server\\")},
      {u"line ends", Sz(u"one\ntwo\r\nthree\tfour\x01")},
      {u"japanese", Sz(u"日本語のテキスト「体験版」 \U0001F600")},
      {u"empty", Sz(u"")},
      {u"embedded zero", Sz(std::u16string(u"a\0b", 3))},
      {u"looks like a section", Sz(u"[Other/Key]\n\"x\"=dword:00000001")},
      {u"binary", Bytes(kRegBinary, {0x00, 0xFF, 0x0A, 0x5B, 0x22})},
      {u"empty binary", Bytes(kRegBinary, {})},
      {u"multi string", Bytes(7, {'a', 0, 0, 0})},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep/RoundTrip", c.name, c.value), kRegOk) << ToUtf8(c.name);
  }
  // Read back only after all were written: each survives the others' rewrites.
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    RegistryValue got{kRegDword, 12345, {}, {}};
    ASSERT_EQ(RegistryReadValue(kCU, u"Software/Zep/RoundTrip", c.name, &got), kRegOk);
    EXPECT_EQ(got.type, c.value.type);
    EXPECT_EQ(got.dword, c.value.dword);
    EXPECT_EQ(ToUtf8(got.text), ToUtf8(c.value.text));
    EXPECT_EQ(got.text.size(), c.value.text.size());
    EXPECT_EQ(got.bytes, c.value.bytes);
  }
}

TEST_F(RegistryStoreTest, KeyAndValueNamesIgnoreAsciiCaseAndSeparators) {
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/ZepGame/Settings", u"Volume", Dword(10)), kRegOk);
  EXPECT_EQ(ReadDword(kCU, u"SOFTWARE\\zepgame\\settings", u"VOLUME"), 10);
  EXPECT_EQ(ReadDword(kCU, u"\\software//ZepGame\\Settings/", u"volume"), 10);
  EXPECT_EQ(RegistryKeyExists(kCU, u"software/ZEPGAME"), kRegOk);

  // A write under other case replaces the value instead of adding one.
  ASSERT_EQ(RegistryWriteValue(kCU, u"software/ZEPGAME/SETTINGS", u"volume", Sz(u"loud")), kRegOk);
  RegistryValue v;
  ASSERT_EQ(RegistryReadValue(kCU, u"Software/ZepGame/Settings", u"Volume", &v), kRegOk);
  EXPECT_EQ(v.type, static_cast<uint32_t>(kRegSz));
  EXPECT_EQ(v.text, u"loud");
  const std::string file = ReadAll(RegistryHiveFile(kCU));
  EXPECT_EQ(file.find("olume\"="), file.rfind("olume\"=")) << file;
  EXPECT_EQ(file.find("ettings]"), file.rfind("ettings]")) << file;

  ASSERT_EQ(RegistryDeleteKey(kCU, u"SOFTWARE/ZEPGAME/SETTINGS"), kRegOk);
  EXPECT_EQ(RegistryKeyExists(kCU, u"Software/ZepGame/Settings"), kRegNotFound);
}

TEST_F(RegistryStoreTest, MissingKeysAndValuesReportNotFound) {
  RegistryValue v;
  // Nothing stored yet: reading neither fails otherwise nor makes the folder.
  EXPECT_EQ(RegistryReadValue(kCU, u"Software/Zep", u"x", &v), kRegNotFound);
  EXPECT_EQ(RegistryKeyExists(kCU, u"Software/Zep"), kRegNotFound);
  EXPECT_FALSE(std::filesystem::exists(folder()));
  EXPECT_EQ(RegistryDeleteKey(kCU, u"Software/Zep"), kRegNotFound);
  EXPECT_EQ(RegistryDeleteValue(kCU, u"Software/Zep", u"x"), kRegNotFound);

  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"present", Dword(1)), kRegOk);
  EXPECT_EQ(RegistryReadValue(kCU, u"Software/Zep", u"absent", &v), kRegNotFound);
  EXPECT_EQ(RegistryReadValue(kCU, u"Software/Zep/Sub", u"present", &v), kRegNotFound);
  EXPECT_EQ(RegistryKeyExists(kCU, u"Software/Ze"), kRegNotFound);
  EXPECT_EQ(RegistryDeleteValue(kCU, u"Software/Zep", u"absent"), kRegNotFound);
  EXPECT_EQ(RegistryDeleteValue(kCU, u"Software/Other", u"present"), kRegNotFound);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"Software/Zep/Sub"), kRegNotFound);
  EXPECT_EQ(RegistryDeleteKey(kCU, u""), kRegNotFound);

  // A deleted value is gone; its key and siblings stay.
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"b", Dword(2)), kRegOk);
  EXPECT_EQ(RegistryDeleteValue(kCU, u"software/zep", u"B"), kRegOk);
  EXPECT_EQ(ReadDword(kCU, u"Software/Zep", u"b"), -1);
  EXPECT_EQ(RegistryDeleteValue(kCU, u"Software/Zep", u"b"), kRegNotFound);
  EXPECT_EQ(ReadDword(kCU, u"Software/Zep", u"present"), 1);
}

TEST_F(RegistryStoreTest, KeysAreCreatedWithParentsAndDeletedOnlyWithoutSubkeys) {
  ASSERT_EQ(RegistryCreateKey(kCU, u"A/B/C"), kRegOk);
  ASSERT_EQ(RegistryCreateKey(kCU, u"A/B/C"), kRegOk);
  ASSERT_EQ(RegistryWriteValue(kCU, u"X/Y/Z", u"v", Dword(3)), kRegOk);
  for (const char16_t* key : {u"A", u"A/B", u"A/B/C", u"X", u"X/Y", u"X/Y/Z"}) {
    EXPECT_EQ(RegistryKeyExists(kCU, key), kRegOk) << ToUtf8(key);
  }

  ASSERT_EQ(RegistryWriteValue(kCU, u"A/B", u"kept", Dword(7)), kRegOk);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"A"), kRegAccessDenied);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"a/b"), kRegAccessDenied);
  EXPECT_EQ(ReadDword(kCU, u"A/B", u"kept"), 7);
  EXPECT_EQ(RegistryKeyExists(kCU, u"A/B/C"), kRegOk);

  // Bottom up it works; a deleted key takes its values with it.
  EXPECT_EQ(RegistryDeleteKey(kCU, u"A/B/C"), kRegOk);
  EXPECT_EQ(RegistryKeyExists(kCU, u"A/B"), kRegOk);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"A/B"), kRegOk);
  ASSERT_EQ(RegistryCreateKey(kCU, u"A/B"), kRegOk);
  EXPECT_EQ(ReadDword(kCU, u"A/B", u"kept"), -1);

  // A sibling whose name starts with the key's name is no subkey.
  ASSERT_EQ(RegistryCreateKey(kCU, u"Q/b"), kRegOk);
  ASSERT_EQ(RegistryCreateKey(kCU, u"Q/bc"), kRegOk);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"Q/b"), kRegOk);
  EXPECT_EQ(RegistryKeyExists(kCU, u"Q/bc"), kRegOk);
}

// Keys as deep and with names as long as the system allows are kept; one
// level deeper or one character longer is refused with 87 by every call and
// changes nothing, as is a write whose hive would pass 16 MiB (it could not
// be read back). A deeper section written by hand is kept as it is, and
// still makes the keys on its way exist.
TEST_F(RegistryStoreTest, KeysPastTheLimitsAndHivesPastTheCapAreRefused) {
  auto path = [](size_t depth, size_t nameLength) {
    std::u16string key;
    for (size_t i = 0; i < depth; ++i) key += (i ? u"/" : u"") + std::u16string(nameLength, u'k');
    return key;
  };
  std::filesystem::create_directories(folder());
  const std::string deepSection = "[" + ToUtf8(path(600, 1)) + "]\n\"v\"=dword:00000001\n";
  std::ofstream(RegistryHiveFile(kCU)) << "[h/a]\n" << deepSection;
  EXPECT_EQ(RegistryKeyExists(kCU, u"k/k/k"), kRegOk);
  ASSERT_EQ(RegistryWriteValue(kCU, path(512, 1), u"v", Dword(1)), kRegOk);
  ASSERT_EQ(RegistryCreateKey(kCU, path(2, 255)), kRegOk);
  EXPECT_EQ(ReadDword(kCU, path(512, 1), u"v"), 1);
  EXPECT_EQ(RegistryDeleteKey(kCU, path(511, 1)), kRegAccessDenied);
  // Names count UTF-16 units, two for a character above U+FFFF: a section
  // whose name is 256 units long is not entered either, 255 units are.
  std::u16string name;
  for (int i = 0; i < 127; ++i) name += u"\U0001F600";
  std::ofstream(RegistryHiveFile(kCU), std::ios::app)
      << "[s/in/" << ToUtf8(name + u"a") << "]\n[s/out/" << ToUtf8(name + u"\U0001F600") << "]\n";
  EXPECT_EQ(RegistryKeyExists(kCU, u"s/in/" + name + u"a"), kRegOk);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"s/in"), kRegAccessDenied);
  EXPECT_EQ(RegistryDeleteKey(kCU, u"s/out"), kRegOk);

  const std::string before = ReadAll(RegistryHiveFile(kCU));
  EXPECT_NE(before.find(deepSection), std::string::npos);
  for (const std::u16string& key : {path(513, 1), path(50000, 1), path(1, 256), path(2, 256) + u"/k"}) {
    RegistryValue v;
    EXPECT_EQ(RegistryWriteValue(kCU, key, u"v", Dword(2)), kRegInvalidParameter);
    EXPECT_EQ(RegistryCreateKey(kCU, key), kRegInvalidParameter);
    EXPECT_EQ(RegistryReadValue(kCU, key, u"v", &v), kRegInvalidParameter);
    EXPECT_EQ(RegistryKeyExists(kCU, key), kRegInvalidParameter);
    EXPECT_EQ(RegistryDeleteValue(kCU, key, u"v"), kRegInvalidParameter);
    EXPECT_EQ(RegistryDeleteKey(kCU, key), kRegInvalidParameter);
  }
  // 512 levels of 255-character names: every parent is a section with its
  // whole path, some 33 MB.
  EXPECT_EQ(RegistryWriteValue(kCU, path(512, 255), u"v", Dword(3)), kRegAccessDenied);
  EXPECT_EQ(ReadAll(RegistryHiveFile(kCU)), before);
  EXPECT_EQ(ReadDword(kCU, path(512, 1), u"v"), 1);
}

// Under a umask of 077 (a root install's), the machine hive, its lock file
// and the folders made for them are for every user to read, also after a
// replace; the user's hive keeps the umask.
TEST_F(RegistryStoreTest, TheMachineHiveIsReadableByAllWhateverTheUmask) {
  const std::filesystem::path base = dir_.path() / "a";
  ScopedEnv nested{"ZEP_REGISTRY_DIR", (base / "b/registry").c_str()};
  const mode_t old = umask(077);
  EXPECT_EQ(RegistryWriteValue(kLM, u"Software/Zep", u"v", Dword(1)), kRegOk);
  EXPECT_EQ(RegistryWriteValue(kLM, u"Software/Zep", u"w", Dword(2)), kRegOk);
  EXPECT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"v", Dword(1)), kRegOk);
  umask(old);
  auto mode = [](const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };
  for (const char* folder : {"", "b", "b/registry"}) EXPECT_EQ(mode(base / folder), 0755u) << folder;
  EXPECT_EQ(mode(base / "b/registry/HKLM.reg"), 0644u);
  EXPECT_EQ(mode(base / "b/registry/HKLM.reg.lock"), 0644u);
  EXPECT_EQ(mode(base / "b/registry/HKCU.reg"), 0600u);
  EXPECT_EQ(mode(base / "b/registry/HKCU.reg.lock"), 0600u);
  EXPECT_EQ(ReadDword(kLM, u"Software/Zep", u"v"), 1);
}

TEST_F(RegistryStoreTest, HivesAreSeparateFilesInTheRegistryFolder) {
  EXPECT_EQ(RegistryHiveFile(kCU), (folder() / "HKCU.reg").string());
  EXPECT_EQ(RegistryHiveFile(kLM), (folder() / "HKLM.reg").string());
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"v", Dword(1)), kRegOk);
  EXPECT_TRUE(std::filesystem::is_regular_file(folder() / "HKCU.reg"));
  EXPECT_FALSE(std::filesystem::exists(folder() / "HKLM.reg"));
  EXPECT_EQ(ReadDword(kLM, u"Software/Zep", u"v"), -1);
  ASSERT_EQ(RegistryWriteValue(kLM, u"Software/Zep", u"v", Dword(2)), kRegOk);
  EXPECT_EQ(ReadDword(kCU, u"Software/Zep", u"v"), 1);
  EXPECT_EQ(ReadDword(kLM, u"Software/Zep", u"v"), 2);

  // Without the override the hives follow the XDG folders.
  ScopedEnv noOverride("ZEP_REGISTRY_DIR", nullptr), config("XDG_CONFIG_HOME", "/cfg"), data("XDG_DATA_HOME", "/dat");
  EXPECT_EQ(RegistryHiveFile(kCU), "/cfg/zep/registry/HKCU.reg");
  EXPECT_EQ(RegistryHiveFile(kLM), IsEffectiveRoot() ? "/var/lib/zep/registry/HKLM.reg" : "/dat/zep/registry/HKLM.reg");
}

TEST_F(RegistryStoreTest, DamagedLineLosesOnlyItself) {
  for (const std::string damage : {"\"b\"=dword:zz", "\"b\"=sz:\"unterminated", "\"b\"=hex:0g,11", "\"b\"=qword:1",
                                   "\"b\" dword:00000002", "\xFF\xFE garbage \x01"}) {
    SCOPED_TRACE(damage);
    std::filesystem::remove(RegistryHiveFile(kCU));
    for (const char16_t* name : {u"a", u"b", u"c"}) {
      ASSERT_EQ(RegistryWriteValue(kCU, u"Damaged", name, Dword(name[0])), kRegOk);
    }
    const std::string text = ReadAll(RegistryHiveFile(kCU));
    const size_t start = text.find("\"b\"=");
    ASSERT_NE(start, std::string::npos) << text;
    const size_t end = text.find('\n', start);
    std::ofstream(RegistryHiveFile(kCU), std::ios::binary | std::ios::trunc)
        << text.substr(0, start) << damage << text.substr(end);

    EXPECT_EQ(ReadDword(kCU, u"Damaged", u"a"), 'a');
    EXPECT_EQ(ReadDword(kCU, u"Damaged", u"b"), -1);
    EXPECT_EQ(ReadDword(kCU, u"Damaged", u"c"), 'c');
    // The next write keeps the damaged line as it was (another version of
    // the engine may read it), once.
    ASSERT_EQ(RegistryWriteValue(kCU, u"Damaged", u"d", Dword('d')), kRegOk);
    EXPECT_EQ(ReadDword(kCU, u"Damaged", u"c"), 'c');
    const std::string after = ReadAll(RegistryHiveFile(kCU));
    const size_t at = after.find(damage);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(after.find(damage, at + 1), std::string::npos);
  }
  // A damaged line with stray "\r" before its end is kept without them, so
  // the file stays the same from one write to the next.
  std::ofstream(RegistryHiveFile(kCU), std::ios::binary | std::ios::trunc) << "[Damaged]\r\n\"b\"=qword:2\r\r\n";
  ASSERT_EQ(RegistryWriteValue(kCU, u"Damaged", u"d", Dword('d')), kRegOk);
  const std::string once = ReadAll(RegistryHiveFile(kCU));
  EXPECT_NE(once.find("\"b\"=qword:2\n"), std::string::npos) << once;
  ASSERT_EQ(RegistryWriteValue(kCU, u"Damaged", u"d", Dword('d')), kRegOk);
  EXPECT_EQ(ReadAll(RegistryHiveFile(kCU)), once);
}

TEST_F(RegistryStoreTest, AHiveThatCannotBeReadIsAnErrorAndNeverReplaced) {
  ASSERT_EQ(RegistryWriteValue(kCU, u"Keep", u"v", Dword(1)), kRegOk);
  const std::string hive = RegistryHiveFile(kCU);
  const std::string before = ReadAll(hive);
  // Every call answers 5, not "not found", and leaves the file alone.
  auto expectRefused = [&] {
    RegistryValue v;
    EXPECT_EQ(RegistryReadValue(kCU, u"Keep", u"v", &v), kRegAccessDenied);
    EXPECT_EQ(RegistryKeyExists(kCU, u"Keep"), kRegAccessDenied);
    EXPECT_EQ(RegistryWriteValue(kCU, u"Other", u"w", Dword(2)), kRegAccessDenied);
    EXPECT_EQ(RegistryDeleteValue(kCU, u"Keep", u"v"), kRegAccessDenied);
  };
  {
    SCOPED_TRACE("a folder where the hive file should be");
    std::filesystem::rename(hive, hive + ".saved");
    std::filesystem::create_directory(hive);
    expectRefused();
    EXPECT_TRUE(std::filesystem::is_directory(hive));
    std::filesystem::remove(hive);
    std::filesystem::rename(hive + ".saved", hive);
    EXPECT_EQ(ReadAll(hive), before);
  }
  {
    SCOPED_TRACE("a hive above 16 MiB");
    const uintmax_t size = (16u << 20) + 1;
    std::filesystem::resize_file(hive, size);  // the tail reads as zero bytes
    expectRefused();
    EXPECT_EQ(std::filesystem::file_size(hive), size);
    EXPECT_EQ(ReadAll(hive).substr(0, before.size()), before);
    // Exactly 16 MiB still reads (the zero bytes are one unreadable line).
    std::filesystem::resize_file(hive, size - 1);
    EXPECT_EQ(ReadDword(kCU, u"Keep", u"v"), 1);
  }
}

TEST_F(RegistryStoreTest, AReadOnlyStoreFolderReadsItsValues) {
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"Volume", Dword(80)), kRegOk);
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"Title", Sz(u"体験版")), kRegOk);
  const std::string before = ReadAll(RegistryHiveFile(kCU));
  auto expectReads = [] {
    EXPECT_EQ(ReadDword(kCU, u"software/zep", u"volume"), 80);
    RegistryValue v;
    EXPECT_EQ(RegistryReadValue(kCU, u"Software/Zep", u"Title", &v), kRegOk);
    EXPECT_EQ(v.text, u"体験版");
  };
  // A copy of the hive without its lock file, in a folder of its own.
  auto copyTo = [&](const std::string& name) {
    const std::filesystem::path copy = dir_.path() / name;
    std::filesystem::create_directory(copy);
    std::filesystem::copy_file(RegistryHiveFile(kCU), copy / "HKCU.reg");
    return copy;
  };

  // A lock file that cannot be opened (a link, which is never followed,
  // whoever runs the test): reads go on without the lock, writes refuse.
  const std::filesystem::path linked = copyTo("linked");
  std::filesystem::create_symlink(dir_.path() / "nowhere", linked / "HKCU.reg.lock");
  {
    ScopedEnv env("ZEP_REGISTRY_DIR", linked.c_str());
    expectReads();
    EXPECT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"Volume", Dword(1)), kRegAccessDenied);
    EXPECT_EQ(ReadAll(linked / "HKCU.reg"), before);
  }

  // A folder of mode 0555, where no lock file can be made.
  const std::filesystem::path readOnly = copyTo("read-only");
  std::filesystem::permissions(readOnly, std::filesystem::perms(0555));
  struct Restore {
    std::filesystem::path path;
    ~Restore() { std::filesystem::permissions(path, std::filesystem::perms::owner_all); }
  } restore{readOnly};
  ScopedEnv env("ZEP_REGISTRY_DIR", readOnly.c_str());
  expectReads();
  // Permission bits do not stop root from writing.
  if (!IsEffectiveRoot()) {
    EXPECT_EQ(RegistryWriteValue(kCU, u"Software/Zep", u"Volume", Dword(1)), kRegAccessDenied);
    EXPECT_EQ(ReadAll(readOnly / "HKCU.reg"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(readOnly), std::filesystem::directory_iterator()),
              1);
  }
}

TEST_F(RegistryStoreTest, TypedHexValuesReadInTheirOwnForm) {
  const std::string hive = RegistryHiveFile(kCU);
  std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
  std::ofstream(hive, std::ios::binary) << "[K]\n\"d\"=hex(4):2a,00,00,00\n\"s\"=hex(1):41,00,42,00,00,00\n";
  EXPECT_EQ(ReadDword(kCU, u"K", u"d"), 42);
  RegistryValue v;
  ASSERT_EQ(RegistryReadValue(kCU, u"K", u"s", &v), kRegOk);
  EXPECT_EQ(v.type, static_cast<uint32_t>(kRegSz));
  EXPECT_EQ(v.text, u"AB");
}

TEST_F(RegistryStoreTest, ValuesWrittenByAnotherProcessAreRead) {
  ASSERT_EQ(RegistryWriteValue(kCU, u"Software/Zep/Shared", u"Mine", Dword(7)), kRegOk);
  ASSERT_EQ(RunProcess({ZEP_REGISTRY_WRITER, "cu", "Software/Zep/Shared", "dword", "n", "3"}, false).exitCode, 0);
  const std::string title = "「体験版」 \"v1.0\" C:\\Games\nnext line";
  ASSERT_EQ(RunProcess({ZEP_REGISTRY_WRITER, "lm", "software\\zep\\SHARED", "sz", "Title", title}, false).exitCode, 0);

  EXPECT_EQ(ReadDword(kCU, u"Software/Zep/Shared", u"Mine"), 7);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadDword(kCU, u"Software/Zep/Shared", u"n" + FromUtf8(std::to_string(i))), i);
  RegistryValue v;
  ASSERT_EQ(RegistryReadValue(kLM, u"Software/Zep/Shared", u"title", &v), kRegOk);
  EXPECT_EQ(v.type, static_cast<uint32_t>(kRegSz));
  EXPECT_EQ(ToUtf8(v.text), title);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kPerProcess = 200;
  constexpr int kInProcess = 100;
  std::vector<ProcessResult> results(2);
  std::vector<std::thread> writers;
  for (int w = 0; w < 2; ++w) {
    writers.emplace_back([&results, w] {
      results[w] = RunProcess(
          {ZEP_REGISTRY_WRITER, "cu", "Busy", "dword", w == 0 ? "a" : "b", std::to_string(kPerProcess)}, false);
    });
  }
  int inProcessErrors = 0;  // and a thread of this process at the same time
  writers.emplace_back([&inProcessErrors] {
    for (int i = 0; i < kInProcess; ++i) {
      inProcessErrors += RegistryWriteValue(kCU, u"Busy", u"c" + FromUtf8(std::to_string(i)), Dword(i)) != kRegOk;
    }
  });
  for (std::thread& t : writers) t.join();
  for (const ProcessResult& r : results) ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(inProcessErrors, 0);

  int missing = 0;
  for (const auto& [prefix, count] :
       {std::pair{"a", kPerProcess}, std::pair{"b", kPerProcess}, std::pair{"c", kInProcess}}) {
    for (int i = 0; i < count; ++i) {
      if (ReadDword(kCU, u"Busy", FromUtf8(prefix + std::to_string(i))) != i) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
}

TEST_F(RegistryStoreTest, AWriterKilledInMidWriteLeavesTheLastOrTheInFlightValue) {
  // A hive of some size, so that a kill often lands inside a write.
  std::filesystem::create_directories(folder());
  {
    std::ofstream bulk(RegistryHiveFile(kCU), std::ios::binary);
    bulk << "[Bulk]\n";
    for (int i = 0; i < 5000; ++i) bulk << "\"v" << i << "\"=sz:\"" << std::string(40, 'x') << "\"\n";
  }
  auto temporaryFiles = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) {
      count += entry.path().filename().string().find(".tmp") != std::string::npos;
    }
    return count;
  };

  std::minstd_rand random(20240611);
  int64_t next = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string start = std::to_string(next);
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl(ZEP_REGISTRY_WRITER, ZEP_REGISTRY_WRITER, "cu", "Counter", "loop", "n", start.c_str(), nullptr);
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    close(out[1]);
    FILE* written = fdopen(out[0], "r");
    // One whole write first: it also removes what the last kill left.
    long last = -1;
    const bool wrote = std::fscanf(written, "%ld", &last) == 1;
    usleep(static_cast<useconds_t>(random() % 20000));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    for (long n; std::fscanf(written, "%ld", &n) == 1;) last = n;
    std::fclose(written);
    ASSERT_TRUE(wrote);
    EXPECT_TRUE(WIFSIGNALED(status));

    const int64_t stored = ReadDword(kCU, u"Counter", u"n");
    EXPECT_TRUE(stored == last || stored == last + 1) << "stored " << stored << ", last reported " << last;
    EXPECT_LE(temporaryFiles(), 1);
    next = stored + 1;
  }
  RegistryValue v;
  ASSERT_EQ(RegistryReadValue(kCU, u"Bulk", u"v4999", &v), kRegOk);
  EXPECT_EQ(v.text, FromUtf8(std::string(40, 'x')));
}

}  // namespace
