// The engine's registry access over the store: values read into APValues,
// value writes and deletes, key creation and deletion, and the result codes
// and DEBUG messages of each failure.
#include "app/registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/log.h"
#include "platform/registry_store.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

using platform::RegistryHive;
using platform::RegistryKeyExists;

constexpr uint32_t kCU = HKEY_CURRENT_USER_ID;
constexpr uint32_t kLM = HKEY_LOCAL_MACHINE_ID;

// Records the log with DEBUG lines switched on; the old mask comes back.
class DebugLog {
 public:
  DebugLog() : oldMask_(GetLogLevelMask()) { SetLogLevelMask(oldMask_ | LOG_DEBUG); }
  ~DebugLog() { SetLogLevelMask(oldMask_); }
  bool contains(const std::string& text) const { return capture_.contains(text); }
  std::string all() const { return capture_.all(); }

 private:
  uint32_t oldMask_;
  LogCapture capture_;
};

// Every test has a store of its own.
class RegistryTest : public testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv env_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
};

TEST_F(RegistryTest, IntegersAndStringsRoundTripAsDwordAndString) {
  const std::vector<APValue> values = {
      APValue(int32_t{-5}),          APValue(int32_t{0}), APValue(INT32_MAX), APValue(INT32_MIN),
      APValue(u"文字列 \"x\" C:\\y"), APValue(u""),         APValue(std::u16string(600, u'長')),
  };
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    const std::u16string name = u"v" + platform::FromUtf8(std::to_string(i));
    int32_t error = -1;
    ASSERT_TRUE(Win32RegWrite(kCU, u"Software/Zep/Values", name, values[i], &error));
    platform::RegistryValue stored;
    ASSERT_EQ(platform::RegistryReadValue(RegistryHive::kCurrentUser, u"Software/Zep/Values", name, &stored), 0);
    EXPECT_EQ(stored.type, values[i].isInt() ? uint32_t{platform::kRegDword} : uint32_t{platform::kRegSz});
    EXPECT_EQ(stored.dword, static_cast<uint32_t>(values[i].ivalue));  // 0 for a string
    APValue read(true);
    ASSERT_TRUE(Win32RegRead(kCU, u"Software\\Zep\\Values", name, &read, &error));
    EXPECT_TRUE(read == values[i]) << read.ivalue << " " << platform::ToUtf8(read.svalue);
  }

  // A stored string ends at its terminator.
  const platform::RegistryValue withZero{platform::kRegSz, 0, std::u16string(u"before\0after", 12), {}};
  ASSERT_EQ(platform::RegistryWriteValue(RegistryHive::kCurrentUser, u"Software/Zep/Values", u"z", withZero), 0);
  APValue read;
  ASSERT_TRUE(Win32RegRead(kCU, u"Software/Zep/Values", u"z", &read, nullptr));
  EXPECT_TRUE(read == APValue(u"before"));
}

TEST_F(RegistryTest, ReadOfOtherValueTypesFailsWithUnsupportedType) {
  struct Case {
    uint32_t type;
    const char* message;
  };
  for (const Case& c : {Case{platform::kRegBinary, "Win32RegRead:扱えない値の型です(3)"},
                        Case{7, "Win32RegRead:扱えない値の型です(7)"}}) {
    ASSERT_EQ(platform::RegistryWriteValue(RegistryHive::kLocalMachine, u"Software/Zep", u"raw", {c.type, 0, {}, {1, 2}}), 0);
    DebugLog log;
    APValue value(int32_t{99});
    int32_t error = 0;
    EXPECT_FALSE(Win32RegRead(kLM, u"Software/Zep", u"raw", &value, &error));
    EXPECT_EQ(error, 1630);
    EXPECT_TRUE(log.contains(c.message)) << log.all();
    EXPECT_TRUE(value == APValue(int32_t{99}));
  }
}

TEST_F(RegistryTest, ReadOfMissingKeyOrValueFailsWithNotFound) {
  ASSERT_TRUE(Win32RegMkdir(kCU, u"Software/Zep/Here", nullptr));
  DebugLog log;
  APValue value;
  int32_t error = 0;
  EXPECT_FALSE(Win32RegRead(kCU, u"Software/Zep/Nowhere", u"x", &value, &error));
  EXPECT_EQ(error, 2);
  EXPECT_TRUE(log.contains("Win32RegRead:レジストリパスがありません(Software\\Zep\\Nowhere)")) << log.all();

  error = 0;
  EXPECT_FALSE(Win32RegRead(kCU, u"Software/Zep/Here", u"NoSuchValue", &value, &error));
  EXPECT_EQ(error, 2);
  EXPECT_TRUE(log.contains("Win32RegRead:レジストリキーがありません(NoSuchValue)")) << log.all();
}

TEST_F(RegistryTest, BooleanWriteIsRefusedAndCreatesNothing) {
  DebugLog log;
  int32_t error = 0;
  EXPECT_FALSE(Win32RegWrite(kCU, u"Software/Zep/Flags", u"flag", APValue(true), &error));
  EXPECT_EQ(error, 1630);
  EXPECT_TRUE(log.contains("Win32RegWrite:扱えない値の型です")) << log.all();
  EXPECT_EQ(RegistryKeyExists(RegistryHive::kCurrentUser, u"Software"), 2);
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryHiveFile(RegistryHive::kCurrentUser)));
}

TEST_F(RegistryTest, WriteAndMkdirCreateMissingKeys) {
  int32_t error = 0;
  ASSERT_TRUE(Win32RegWrite(kLM, u"Software/Zep/Deep/Er", u"v", APValue(int32_t{1}), &error));
  ASSERT_TRUE(Win32RegMkdir(kLM, u"Software\\Other\\Key", &error));
  ASSERT_TRUE(Win32RegMkdir(kLM, u"Software/Other/Key", &error));  // already there
  for (const char16_t* key : {u"Software/Zep", u"Software/Zep/Deep", u"Software/Other", u"Software/Other/Key"}) {
    EXPECT_EQ(RegistryKeyExists(RegistryHive::kLocalMachine, key), 0) << platform::ToUtf8(key);
  }
}

// A key past 512 levels, or with a name over 255 characters, is refused
// with 87 and one WARN naming it; nothing is made.
TEST_F(RegistryTest, KeysPastTheDepthOrNameLimitGetAWarnNamingThem) {
  std::u16string deep = u"Software";
  for (int i = 0; i < 1400; ++i) deep += u"/k";
  ScopedLogMask mask(LOG_WARN);
  for (const std::u16string& key : {deep, u"Software/" + std::u16string(256, u'n')}) {
    LogCapture log;
    int32_t error = 0;
    EXPECT_FALSE(Win32RegWrite(kCU, key, u"v", APValue(int32_t{1}), &error));
    EXPECT_EQ(error, 87);
    std::u16string shown = key;
    for (char16_t& c : shown) c = c == u'/' ? u'\\' : c;
    EXPECT_TRUE(log.contains(platform::ToUtf8(u"Win32RegWrite:レジストリキーが512階層より深いか、255文字より長い名前を含みます(" +
                                              shown + u")\n")))
        << log.all().substr(0, 300);
    EXPECT_EQ(log.lines().size(), 1u);
  }
  EXPECT_NE(RegistryKeyExists(RegistryHive::kCurrentUser, u"Software"), 0);
}

TEST_F(RegistryTest, WritesToAStoreThatCannotBeWrittenFail) {
  const std::filesystem::path blocker = dir_.write("blocker", "a file, not a folder");
  ScopedEnv unwritable("ZEP_REGISTRY_DIR", (blocker / "registry").c_str());
  DebugLog log;
  int32_t error = 0;
  EXPECT_FALSE(Win32RegWrite(kCU, u"Software/Zep", u"v", APValue(int32_t{1}), &error));
  EXPECT_EQ(error, 5);
  EXPECT_TRUE(log.contains("Win32RegWrite:レジストリパスがありません(Software\\Zep)")) << log.all();
  error = 0;
  EXPECT_FALSE(Win32RegMkdir(kCU, u"Software/Zep", &error));
  EXPECT_EQ(error, 5);
  EXPECT_TRUE(log.contains("Win32RegMkdir:レジストリサブキーの作成に失敗しました(Software\\Zep)")) << log.all();
}

TEST_F(RegistryTest, DeletesRemoveValuesAndLeafKeysOnly) {
  ASSERT_TRUE(Win32RegWrite(kCU, u"Software/Zep/Game", u"v", APValue(int32_t{1}), nullptr));
  ASSERT_TRUE(Win32RegMkdir(kCU, u"Software/Zep/Game/Sub", nullptr));
  DebugLog log;
  int32_t error = 0;
  EXPECT_TRUE(Win32RegDelete(kCU, u"Software/Zep/Game", u"V", &error));
  EXPECT_FALSE(Win32RegDelete(kCU, u"Software/Zep/Game", u"v", &error));
  EXPECT_EQ(error, 2);
  EXPECT_TRUE(log.contains("Win32RegDelete:削除に失敗(v)")) << log.all();
  error = 0;
  EXPECT_FALSE(Win32RegDelete(kCU, u"Software/Zep/Gone", u"v", &error));
  EXPECT_EQ(error, 2);
  EXPECT_TRUE(log.contains("Win32RegDelete:レジストリサブキーがありません(Software\\Zep\\Gone)")) << log.all();

  error = 0;
  EXPECT_FALSE(Win32RegDeleteKey(kCU, u"Software/Zep/Game", &error));
  EXPECT_EQ(error, 5);
  EXPECT_EQ(RegistryKeyExists(RegistryHive::kCurrentUser, u"Software/Zep/Game/Sub"), 0);
  EXPECT_TRUE(Win32RegDeleteKey(kCU, u"Software/Zep/Game/Sub", &error));
  EXPECT_FALSE(Win32RegDeleteKey(kCU, u"Software/Zep/Game/Sub", &error));
  EXPECT_EQ(error, 2);
}

TEST_F(RegistryTest, UnknownHiveIsRefused) {
  ASSERT_TRUE(Win32RegWrite(kCU, u"Software/Zep", u"v", APValue(int32_t{1}), nullptr));
  APValue value;
  int32_t errors[5] = {};
  for (uint32_t hive : {0u, 0x80000003u}) {
    EXPECT_FALSE(Win32RegRead(hive, u"Software/Zep", u"v", &value, &errors[0]));
    EXPECT_FALSE(Win32RegWrite(hive, u"Software/Zep", u"v", APValue(int32_t{2}), &errors[1]));
    EXPECT_FALSE(Win32RegDelete(hive, u"Software/Zep", u"v", &errors[2]));
    EXPECT_FALSE(Win32RegMkdir(hive, u"Software/Zep", &errors[3]));
    EXPECT_FALSE(Win32RegDeleteKey(hive, u"Software/Zep", &errors[4]));
    for (int32_t error : errors) EXPECT_EQ(error, 6) << "hive " << hive;
  }
  APValue stillThere;
  ASSERT_TRUE(Win32RegRead(kCU, u"Software/Zep", u"v", &stillThere, nullptr));
  EXPECT_TRUE(stillThere == APValue(int32_t{1}));
}

}  // namespace
