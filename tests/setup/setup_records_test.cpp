// The records between the main thread and a setup worker: the log line of
// every response at the level it is asked for, and the state names.
#include "setup/setup_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/shared_ref.h"
#include "tests/support/test_support.h"

namespace {

using libsetup::Response;

TEST(SetupRecords, ResponsesDescribeThemselvesAtTheGivenLevel) {
  struct Row {
    SharedRef<Response> response;
    int32_t code;
    std::string line;
  };
  const std::vector<Row> rows = {
      {SharedRef<Response>(new libsetup::Res_Stopped(3)), 1, "RES_STOPPED : errcode=3\n"},
      {SharedRef<Response>(new libsetup::Res_DoneSetup(u"/opt/作者/題名")), 100,
       "RES_DONESETUP : installed_path = /opt/作者/題名\n"},
      {SharedRef<Response>(new libsetup::Res_DonePrepare(7, 5000000000)), 101,
       "RES_DONEPREPARE : commands=7, totalbytes=5000000000\n"},
      {SharedRef<Response>(new libsetup::Res_Progress(-2)), 102, "RES_PROGRESS : counter=-2\n"},
      {SharedRef<Response>(new libsetup::Res_DoneWork()), 103, "RES_DONEWORK\n"},
      {SharedRef<Response>(new libsetup::Res_DoneFinalize()), 104, "RES_DONEFINALIZE\n"},
      {SharedRef<Response>(new libsetup::Res_ChangeDisc(2)), 110, "RES_CHANGEDISC : discIndex=2\n"},
      {SharedRef<Response>(new libsetup::Res_RetryOrAbort(1, u"data/ファイル.dat")), 111,
       "RES_RETRYORABORT : cmdcode=1, file=data/ファイル.dat\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.response->code, row.code);
    {
      // DEBUG is off by default: nothing is written.
      ScopedLogMask mask(LOG_WARN);
      LogCapture log;
      row.response->describe(LOG_DEBUG);
      EXPECT_TRUE(log.lines().empty()) << log.all();
    }
    ScopedLogMask mask(LOG_DEBUG);
    LogCapture log;
    row.response->describe(LOG_DEBUG);
    ASSERT_EQ(log.lines().size(), 1u) << log.all();
    EXPECT_EQ(log.lines()[0].rfind("[DEBUG] ", 0), 0u) << log.all();
    EXPECT_TRUE(log.lines()[0].ends_with("] " + row.line)) << log.all();
  }
}

TEST(SetupRecords, StateNamesCoverZeroToEightAndNameAnyOtherValueInvalid) {
  const struct {
    int32_t state;
    std::u16string name;
  } rows[] = {
      {0, u"アボート済"},
      {1, u"初期化済"},
      {2, u"セットアップ済"},
      {3, u"準備済"},
      {4, u"作業中"},
      {5, u"作業完了済"},
      {6, u"ファイナライズ済"},
      {7, u"作業中：ディスク入れ替え待ち"},
      {8, u"作業中：リトライＯＫ待ち"},
      {9, u"（不正な状態）"},
      {-1, u"（不正な状態）"},
      {INT32_MIN, u"（不正な状態）"},
      {INT32_MAX, u"（不正な状態）"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.state);
    EXPECT_EQ(libsetup::SetupStateName(row.state), row.name);
  }
}

}  // namespace
