#include "setup/setup_records.h"

#include <cstdint>
#include <iterator>

#include "app/log.h"

namespace libsetup {

namespace {

constexpr const char16_t* kStateNames[] = {
    u"アボート済",
    u"初期化済",
    u"セットアップ済",
    u"準備済",
    u"作業中",
    u"作業完了済",
    u"ファイナライズ済",
    u"作業中：ディスク入れ替え待ち",
    u"作業中：リトライＯＫ待ち",
};
static_assert(std::size(kStateNames) == kStateWaitRetry + 1);

}  // namespace

const char16_t* SetupStateName(int32_t state) {
  if (state < 0 || state >= static_cast<int32_t>(std::size(kStateNames))) return u"（不正な状態）";
  return kStateNames[state];
}

void Res_Stopped::describe(uint32_t level) const { LogWrite(level, u"RES_STOPPED : errcode=%d\n", errorCode); }

void Res_DoneSetup::describe(uint32_t level) const {
  LogWrite(level, u"RES_DONESETUP : installed_path = %s\n", installedPath);
}

void Res_DonePrepare::describe(uint32_t level) const {
  LogWrite(level, u"RES_DONEPREPARE : commands=%d, totalbytes=%I64d\n", commandCount, totalBytes);
}

void Res_Progress::describe(uint32_t level) const { LogWrite(level, u"RES_PROGRESS : counter=%d\n", counter); }

void Res_DoneWork::describe(uint32_t level) const { LogWrite(level, u"RES_DONEWORK\n"); }

void Res_DoneFinalize::describe(uint32_t level) const { LogWrite(level, u"RES_DONEFINALIZE\n"); }

void Res_ChangeDisc::describe(uint32_t level) const {
  LogWrite(level, u"RES_CHANGEDISC : discIndex=%d\n", discIndex);
}

void Res_RetryOrAbort::describe(uint32_t level) const {
  LogWrite(level, u"RES_RETRYORABORT : cmdcode=%d, file=%s\n", commandCode, file);
}

}  // namespace libsetup
