// The built-in table: registered numbers, the unknown-number path, which
// numbers of the full list still have no handler, and the reference page
// docs/builtins.md, one row per registered number.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tests/support/test_support.h"
#include "userfunc/userfunc_impl.h"

namespace {

TEST(UserfuncImpl, TheFullListHasEveryNumberOnce) {
  const std::span<const int32_t> numbers = AllBuiltinNumbers();
  const std::set<int32_t> unique(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers.size(), 214u);
  EXPECT_EQ(unique.size(), numbers.size());
  for (int32_t n : {-1, 1005, 1019, 2052, 2122, 4402, 5006, 9023, 30006}) {
    EXPECT_EQ(unique.count(n), n == -1 ? 1u : 0u) << n;
  }
}

TEST(UserfuncImpl, EveryRegisteredNumberIsABuiltinAndTheRestAreUnknown) {
  UserfuncImpl userfuncs(nullptr, nullptr);
  const std::set<int32_t> nothing = {2024, 2025, 2030, 2100, 2101, 2102, 4311, 4315, 4320, 5002};
  int32_t registered = 0;
  for (int32_t n : AllBuiltinNumbers()) {
    EXPECT_TRUE(userfuncs.isRegistered(n)) << n;
    registered += userfuncs.isRegistered(n) ? 1 : 0;
  }
  EXPECT_EQ(registered, 214);
  for (int32_t n : nothing) EXPECT_TRUE(userfuncs.isRegistered(n)) << n;
  EXPECT_FALSE(userfuncs.isRegistered(12345));
}

// Every table row of the reference begins "| `N` |": one row for each
// registered number, and no row for a number without a handler.
TEST(UserfuncImpl, TheReferencePageHasOneRowPerRegisteredNumber) {
  std::ifstream page(std::filesystem::path(ZEP_SOURCE_DIR) / "docs" / "builtins.md");
  ASSERT_TRUE(page);
  std::map<int32_t, int> rows;
  std::string line;
  while (std::getline(page, line)) {
    if (line.rfind("| `", 0) != 0) continue;
    char* end = nullptr;
    const long n = std::strtol(line.c_str() + 3, &end, 10);
    ASSERT_TRUE(end && *end == '`' && end != line.c_str() + 3) << line;
    ++rows[static_cast<int32_t>(n)];
  }
  UserfuncImpl userfuncs(nullptr, nullptr);
  std::set<int32_t> registered;
  for (int32_t n = -1000000; n <= 1000000; ++n) {
    if (userfuncs.isRegistered(n)) registered.insert(n);
  }
  for (const auto& [n, count] : rows) {
    EXPECT_EQ(count, 1) << n << " has more than one row";
    EXPECT_EQ(registered.count(n), 1u) << n << " has a row but no handler";
  }
  for (int32_t n : registered) EXPECT_EQ(rows.count(n), 1u) << n << " has no row in docs/builtins.md";
  EXPECT_EQ(registered.size(), 214u);
}

TEST(UserfuncImpl, SharedEmptyHandlerAnswersZeroAndUnknownNumbersAreLogged) {
  UserfuncImpl userfuncs(nullptr, nullptr);
  LogCapture log;
  const vector_mtus<APValue> args = {APValue(7), APValue(u"x")};
  for (int32_t n : {2024, 4315, 5002}) {
    std::unique_ptr<UFResult> result = userfuncs.call(n, args);
    ASSERT_NE(result, nullptr) << n;
    EXPECT_EQ(result->kind, UFResult::kValue);
    EXPECT_EQ(result->value, 0);
    EXPECT_EQ(result->checker, nullptr);
    EXPECT_EQ(result->location.code, -1);
  }
  EXPECT_TRUE(log.lines().empty()) << log.all();
  EXPECT_EQ(userfuncs.call(12345, args), nullptr);
  EXPECT_TRUE(log.contains("[WARN ] ")) << log.all();
  EXPECT_TRUE(log.contains("未定義のUserfunc番号です(12345)\n")) << log.all();
}

TEST(UserfuncImpl, ResultMakersSetTheirKinds) {
  EXPECT_EQ(UserfuncImpl::make_value_ufresult(5)->value, 5);
  EXPECT_EQ(UserfuncImpl::make_nextframe_ufresult()->kind, UFResult::kValueThenYield);
  EXPECT_EQ(UserfuncImpl::make_yield_ufresult()->kind, UFResult::kYield);
  std::unique_ptr<UFResult> wait = UserfuncImpl::make_wait_ufresult(nullptr);
  EXPECT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(wait->checker, nullptr);
}

TEST(VMEventKind, AppKeyMouseAndOtherEvents) {
  EXPECT_EQ(eventKindOf(AppEvent(23, 0)), 23);
  EXPECT_EQ(eventKindOf(KeyEvent()), 40);
  EXPECT_EQ(eventKindOf(MouseEvent(1, 2, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)), 41);
  struct OtherEvent : EventImplBase<OtherEvent, 0x50000> {
    OtherEvent() : EventImplBase(0) {}
  };
  EXPECT_EQ(eventKindOf(OtherEvent()), 30);
}

}  // namespace
