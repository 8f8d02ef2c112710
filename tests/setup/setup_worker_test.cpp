// The setup worker and its facade: the live set, requests taken by state
// (wrong ones logged and dropped), the look for an existing installation,
// the work step's answers with retry and disc change, progress kept within
// its scale, coalesced progress responses, and a stop that ends the thread,
// also in the middle of a 200 MB copy, or lets go of one that does not end.
// Other commands here are scripted stand-ins.
#include "setup/setup_api_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/registry.h"
#include "platform/utf8.h"
#include "setup/setup_api.h"
#include "setup/setup_commands.h"
#include "tests/support/test_support.h"

namespace {

using namespace libsetup;
using platform::FromUtf8;

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The state is the worker's last store after a request, so once it is seen
// everything the worker did before is visible here too.
bool WaitForState(const SetupAPIImpl& worker, int32_t state) {
  return WaitUntil([&] { return worker.stateForTests() == state; });
}

// The next response that is not a progress response.
std::unique_ptr<Response> NextAnswer(SetupAPIImpl& worker) {
  std::unique_ptr<Response> response;
  WaitUntil([&] {
    response = worker.popResponse();
    if (response && response->code == Response::kProgress) response.reset();
    return response != nullptr;
  });
  return response;
}

void Post(SetupAPIImpl& worker, Request* request) {
  std::unique_ptr<Request> owned(request);
  ASSERT_TRUE(worker.postRequest(owned));
}

// Answers with its results in turn (the last repeats) and records the media
// folder of each run. A disc check, so Res_ChangeDisc names its disc.
class Scripted : public CmdChangeDisc {
 public:
  explicit Scripted(std::vector<int32_t> results, uint64_t weight = kCommandWeight)
      : CmdChangeDisc(3), results_(std::move(results)) {
    this->weight = weight;
  }
  int32_t execute(SetupAPIImpl& worker) override {
    worker.setCurrent(code, u"disc");
    media.push_back(worker.mediaFolder());
    return results_[std::min(media.size(), results_.size()) - 1];
  }
  std::vector<std::u16string> media;

 private:
  std::vector<int32_t> results_;
};

// Owns the commands; the returned pointers stay valid while the worker lives.
std::vector<std::unique_ptr<Command>> List(std::vector<Scripted*> commands) {
  std::vector<std::unique_ptr<Command>> list;
  for (Scripted* command : commands) list.emplace_back(command);
  return list;
}

TEST(SetupFacade, KeepsTheLiveSetAndRefusesOtherWorkers) {
  ASSERT_TRUE(SetupAPI::init());
  EXPECT_FALSE(SetupAPI::init());
  SetupAPIImpl* worker = nullptr;
  ASSERT_TRUE(SetupAPI::create(&worker));
  EXPECT_FALSE(worker->start());  // already running
  EXPECT_FALSE(SetupAPI::term());

  // Still usable after the refused term.
  std::unique_ptr<Request> request = std::make_unique<Req_Abort>();
  EXPECT_TRUE(SetupAPI::postRequest(worker, request));
  EXPECT_EQ(request, nullptr);
  SharedRef<Response> response(new Res_DoneWork());
  EXPECT_TRUE(SetupAPI::popResponse(worker, &response));
  EXPECT_FALSE(response);  // nothing queued: emptied

  SetupAPIImpl foreign;
  ASSERT_TRUE(foreign.start());
  ASSERT_TRUE(SetupAPI::destroy(worker));
  for (SetupAPIImpl* other : {worker, &foreign}) {
    request = std::make_unique<Req_Abort>();
    EXPECT_FALSE(SetupAPI::postRequest(other, request));
    EXPECT_NE(request, nullptr);  // still the caller's
    SetupProgress progress;
    EXPECT_FALSE(SetupAPI::getProgress(other, &progress));
    EXPECT_FALSE(SetupAPI::destroy(other));
  }
  EXPECT_TRUE(SetupAPI::term());
  EXPECT_FALSE(SetupAPI::create(&worker));
}

TEST(SetupWorker, WrongStateRequestsAreLoggedAndDropped) {
  struct Counted : Req_SP_DoRetry {
    explicit Counted(std::atomic<int>* deleted) : deleted(deleted) {}
    ~Counted() override { ++*deleted; }
    std::atomic<int>* deleted;
  };
  std::atomic<int> deleted{0};
  SetupAPIImpl worker;
  ASSERT_TRUE(worker.start());
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  Post(worker, new Req_SetOption());
  Post(worker, new Req_Prepare(100));
  Post(worker, new Req_StartWork());
  Post(worker, new Req_Finalize());
  Post(worker, new Req_SP_DiscReady(u"/disc2"));
  Post(worker, new Counted(&deleted));
  Post(worker, new Request(99));  // unknown: dropped without a line
  Post(worker, new Req_Abort());
  ASSERT_TRUE(WaitForState(worker, kStateAborted));

  const char* const names[] = {"REQ_SETOPTION", "REQ_PREPARE", "REQ_STARTWORK", "REQ_FINALIZE",
                               "REQ_SPECIAL_DISCREADY", "REQ_SPECIAL_RETRY"};
  for (const char* name : names) {
    const std::string line = std::string("dispatcher : 不正な状態(初期化済)での") + name + " : 無視します";
    EXPECT_TRUE(log.contains(line)) << line << "\n" << log.all();
  }
  EXPECT_EQ(log.lines().size(), std::size(names)) << log.all();
  EXPECT_EQ(deleted.load(), 1);
  EXPECT_EQ(worker.popResponse(), nullptr);
}

class SetupWorkerRegistry : public testing::Test {
 protected:
  // Registers the product as product registration does.
  std::u16string install(const char* productKey, const std::string& folder, const std::string& version,
                         bool relative = false) {
    dir_.write(folder + "/VERSION", version);
    const std::u16string location = FromUtf8(relative ? folder : (dir_.path() / folder).string());
    int32_t error = 0;
    EXPECT_TRUE(Win32RegWrite(HKEY_LOCAL_MACHINE_ID,
                              u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/" + FromUtf8(productKey),
                              u"InstallLocation", APValue(location), &error));
    return location;
  }
  // Posts Req_Setup and answers its response.
  std::unique_ptr<Response> setUp(SetupAPIImpl& worker, int32_t mode, const char* productKey) {
    auto* request = new Req_Setup(mode, u"/source");
    const std::string ini = std::string("[setup]\nproduct_key=") + productKey + "\n";
    std::u16string error;
    request->setupSettings = MakeSharedRef<ns_SetupIni::SetupIni>();
    request->setupSettings->parseText(ini, &error);
    request->patchSettings = MakeSharedRef<ns_SetupIni::PatcherIni>();
    request->patchSettings->parseText(ini, &error);
    EXPECT_TRUE(worker.start());
    Post(worker, request);
    return NextAnswer(worker);
  }

  TempDir dir_;
  ScopedEnv env_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
};

TEST_F(SetupWorkerRegistry, SetupLooksForTheRegisteredInstallation) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  ScopedCurrentDir cwd(dir_.path());
  const std::u16string game = install("Game", "game", "\x94\xc5" "2");  // CP932
  install("Big", "big", std::string(1001, 'v'));
  const std::u16string empty = install("Empty", "empty", "");
  install("Relative", "rel", "1", true);
  const struct {
    int32_t mode;
    const char* productKey;
    int32_t answer;
    const char* line;
  } cases[] = {
      {Req_Setup::kModeInstall, "Other", Response::kDoneSetup, nullptr},
      {Req_Setup::kModeInstall, "Game", Response::kStopped, "既にインストールされています("},
      {Req_Setup::kModeUninstall, "Game", Response::kDoneSetup, nullptr},
      {Req_Setup::kModePatch, "Game", Response::kDoneSetup, nullptr},
      {Req_Setup::kModeUninstall, "Other", Response::kStopped, "インストールされていません"},
      {Req_Setup::kModePatch, "Big", Response::kStopped, "インストールされていません"},
      {Req_Setup::kModePatch, "Empty", Response::kStopped, "インストールされていません"},
      // An uninstall cut short after VERSION went is finished by the next.
      {Req_Setup::kModeUninstall, "Empty", Response::kDoneSetup, nullptr},
      {Req_Setup::kModeUninstall, "Relative", Response::kStopped, "インストール先が絶対パスではありません(rel)"},
      {5, "Game", Response::kStopped, "操作引数がヘンです(5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.productKey) + " mode " + std::to_string(c.mode));
    LogCapture log;
    SetupAPIImpl worker;
    const std::unique_ptr<Response> answer = setUp(worker, c.mode, c.productKey);
    ASSERT_NE(answer, nullptr);
    ASSERT_EQ(answer->code, c.answer);
    ASSERT_TRUE(WaitForState(worker, c.answer == Response::kStopped ? kStateAborted : kStateSetUp));
    if (c.line) {
      EXPECT_TRUE(log.contains(c.line)) << log.all();
    }
    if (c.answer == Response::kStopped) {
      EXPECT_EQ(static_cast<Res_Stopped&>(*answer).errorCode, Res_Stopped::kErrorCannotStart);
      continue;
    }
    const std::u16string expected =
        c.mode == Req_Setup::kModeInstall ? u"" : std::string(c.productKey) == "Empty" ? empty : game;
    EXPECT_EQ(static_cast<Res_DoneSetup&>(*answer).installedPath, expected);
    EXPECT_EQ(worker.installFolder(), expected);
    EXPECT_EQ(worker.mediaFolder(), u"/source");
  }
}

TEST_F(SetupWorkerRegistry, VersionTextAndOptionsOfAnInstallOnly) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  const std::u16string game = install("Game", "game", "\x94\xc5" "2");  // CP932 "版2"
  for (const int32_t mode : {Req_Setup::kModeInstall, Req_Setup::kModeUninstall, Req_Setup::kModePatch}) {
    SCOPED_TRACE(mode);
    SetupAPIImpl worker;
    ASSERT_NE(setUp(worker, mode, mode == Req_Setup::kModeInstall ? "Other" : "Game"), nullptr);
    ASSERT_TRUE(WaitForState(worker, kStateSetUp));
    auto* option = new Req_SetOption();
    option->flags = Req_SetOption::kFlagInstallFolder | Req_SetOption::kFlagActionNumber |
                    Req_SetOption::kFlagOptionValue;
    option->installFolder = u"/elsewhere";
    option->actionNumber = 4;
    Post(worker, option);
    Post(worker, new Req_Abort());
    ASSERT_TRUE(WaitForState(worker, kStateAborted));
    EXPECT_EQ(worker.installFolder(), mode == Req_Setup::kModeInstall ? u"/elsewhere" : game);
    EXPECT_EQ(worker.actionNumber(), mode == Req_Setup::kModeInstall ? 4 : 0);
  }
  LogCapture log;
  SetupAPIImpl worker;
  ASSERT_NE(setUp(worker, Req_Setup::kModeInstall, "Game"), nullptr);
  ASSERT_TRUE(WaitForState(worker, kStateAborted));
  EXPECT_TRUE(log.contains(platform::ToUtf8(u"既にインストールされています(" + game + u"/版2)"))) << log.all();
}

TEST(SetupWorker, EmptyListIsDoneAtOnceWithZeroOfZero) {
  SetupAPIImpl worker;
  ASSERT_TRUE(worker.start());
  worker.prepareForTests({}, u"/inst", u"/media", kStatePrepared);
  Post(worker, new Req_StartWork());
  ASSERT_TRUE(WaitForState(worker, kStateWorkDone));
  const std::unique_ptr<Response> done = NextAnswer(worker);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(done->code, Response::kDoneWork);
  const SetupProgress block = worker.progress();
  EXPECT_EQ(block.commandIndex, 0);
  EXPECT_EQ(block.commandCount, 0);
  EXPECT_EQ(block.totalBytes, 0u);
  EXPECT_EQ(block.commandCode, -1);
}

TEST(SetupWorker, RetryAndDiscChangeRunTheSameCommandAgain) {
  SetupAPIImpl worker;
  ASSERT_TRUE(worker.start());
  auto* retry = new Scripted({kCmdRetry, kCmdDone}, 100);
  auto* disc = new Scripted({kCmdChangeDisc, kCmdChangeDisc, kCmdDone});
  auto* last = new Scripted({7, kCmdDone}, 1000);  // an unknown answer: run again
  worker.prepareForTests(List({retry, disc, last}), u"/inst", u"/media/0", kStatePrepared, 1000);
  Post(worker, new Req_StartWork());

  std::unique_ptr<Response> answer = NextAnswer(worker);
  ASSERT_NE(answer, nullptr);
  ASSERT_EQ(answer->code, Response::kRetryOrAbort);
  EXPECT_EQ(static_cast<Res_RetryOrAbort&>(*answer).commandCode, 15);
  EXPECT_EQ(static_cast<Res_RetryOrAbort&>(*answer).file, u"disc");
  ASSERT_TRUE(WaitForState(worker, kStateWaitRetry));
  Post(worker, new Req_SP_DoRetry());
  for (const char16_t* media : {u"", u"/media/1"}) {
    answer = NextAnswer(worker);
    ASSERT_NE(answer, nullptr);
    ASSERT_EQ(answer->code, Response::kChangeDisc);
    EXPECT_EQ(static_cast<Res_ChangeDisc&>(*answer).discIndex, 3);
    ASSERT_TRUE(WaitForState(worker, kStateWaitDisc));
    Post(worker, new Req_SP_DiscReady(media));
  }
  answer = NextAnswer(worker);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer->code, Response::kDoneWork);
  ASSERT_TRUE(WaitForState(worker, kStateWorkDone));

  EXPECT_EQ(retry->media.size(), 2u);
  EXPECT_EQ(last->media.size(), 2u);
  // An empty folder keeps the media folder.
  EXPECT_EQ(disc->media, (std::vector<std::u16string>{u"/media/0", u"/media/0", u"/media/1"}));
  const SetupProgress block = worker.progress();
  EXPECT_EQ(block.doneBytes, 1356u);
  EXPECT_EQ(block.commandIndex, 3);
  EXPECT_EQ(block.scaledProgress, 1000);
}

TEST(SetupWorker, DestroyingTheWorkerStopsALargeCopyAtTheNextChunk) {
  // 200 MB of holes: quick to make, a real copy to run.
  constexpr uint64_t kSize = 200u << 20;
  constexpr uint64_t kChunk = 1u << 20;
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "media");
  std::filesystem::create_directories(dir.path() / "inst");
  std::filesystem::resize_file(dir.write("media/big.dat", ""), kSize);
  auto worker = std::make_unique<SetupAPIImpl>();
  ASSERT_TRUE(worker->start());
  auto* copy = new CmdCopyFile(u"big.dat", u"big.dat", 0, kSize);
  std::vector<std::unique_ptr<Command>> list;
  list.emplace_back(copy);
  // One step of the scale per chunk: the block shows every chunk reported.
  worker->prepareForTests(std::move(list), FromUtf8((dir.path() / "inst").string()),
                          FromUtf8((dir.path() / "media").string()), kStatePrepared, kSize / kChunk);
  Post(*worker, new Req_StartWork());
  uint64_t seen = 0;
  ASSERT_TRUE(WaitUntil([&] { return (seen = worker->progress().doneBytes) >= kChunk; }));
  ASSERT_LT(seen, kSize) << "the copy ended before it could be stopped";
  ASSERT_TRUE(worker->stop());  // as the destructor does
  // The copy ends at the chunk under way when the quit came, and nothing is
  // left in the install folder.
  EXPECT_LE(copy->reported, seen + 2 * kChunk);
  EXPECT_EQ(copy->reported % kChunk, 0u);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "inst"));
  const std::unique_ptr<Response> answer = NextAnswer(*worker);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(static_cast<Res_Stopped&>(*answer).errorCode, Res_Stopped::kErrorCancelled);
  worker.reset();
}

// A command blocked where the quit flag cannot reach it (a read of a hung
// disc, say): stop gives up after its limit and lets the thread go; the
// worker lives on for the thread and goes once the command returns.
TEST(SetupWorker, AStopThatCannotEndTheThreadLetsItGoAndTheWorkerOutlivesIt) {
  struct Blocked : Command {
    explicit Blocked(std::shared_ptr<std::atomic<int>> stage) : Command(1, 1), stage(std::move(stage)) {}
    int32_t execute(SetupAPIImpl& worker) override {
      stage->store(1);  // entered
      while (stage->load() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      worker.setCurrent(code, u"done");  // the worker is still there
      return kCmdDone;
    }
    void describe(uint32_t) const override {}
    std::shared_ptr<std::atomic<int>> stage;  // 0 waiting, 1 blocked, 2 released
  };
  auto stage = std::make_shared<std::atomic<int>>(0);
  auto worker = std::make_shared<SetupAPIImpl>();
  ASSERT_TRUE(worker->start());
  std::vector<std::unique_ptr<Command>> list;
  list.push_back(std::make_unique<Blocked>(stage));
  worker->prepareForTests(std::move(list), u"", u"", kStatePrepared);
  Post(*worker, new Req_StartWork());
  ASSERT_TRUE(WaitUntil([&] { return stage->load() == 1; }));

  LogCapture log;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(worker->stop(std::chrono::milliseconds(50)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(log.contains("ワーカースレッドが終了しないので切り離します")) << log.all();
  EXPECT_FALSE(worker->hasThread());
  const std::weak_ptr<SetupAPIImpl> left = worker;
  worker.reset();
  EXPECT_FALSE(left.expired());
  stage->store(2);
  EXPECT_TRUE(WaitUntil([&] { return left.expired(); }));
}

TEST(SetupProgressCount, ScaledValueStaysWithinTheScale) {
  const struct {
    uint64_t total;
    int32_t scale;
    uint64_t added;
    int32_t scaled;  // 0: unchanged, nothing published
  } cases[] = {
      {3, 100, 1, 33},     {1000, 100, 1500, 100}, {0, 100, 0, 100}, {1000, 0, 500, 0},
      {1000, -5, 2000, 0}, {uint64_t{1} << 42, INT32_MAX, uint64_t{1} << 41, INT32_MAX / 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.total);
    SetupAPIImpl worker;
    worker.prepareForTests(List({new Scripted({kCmdDone}, c.total)}), u"", u"", kStateWorking, c.scale);
    worker.addProgress(c.added);
    const std::unique_ptr<Response> response = worker.popResponse();
    EXPECT_EQ(response != nullptr, c.scaled != 0);
    EXPECT_EQ(worker.progress().scaledProgress, c.scaled);
  }
}

TEST(SetupProgressCount, QueueKeepsOnlyTheLastOfAProgressRun) {
  SetupAPIImpl worker;
  worker.pushResponse(std::make_unique<Res_DoneSetup>(u""));
  for (int32_t counter : {1, 2, 3}) worker.pushResponse(std::make_unique<Res_Progress>(counter));
  worker.pushResponse(std::make_unique<Res_ChangeDisc>(1));
  worker.pushResponse(std::make_unique<Res_Progress>(4));
  std::vector<int32_t> popped;  // codes, and the counter of each progress response
  while (std::unique_ptr<Response> response = worker.popResponse()) {
    popped.push_back(response->code);
    if (response->code == Response::kProgress) popped.push_back(static_cast<Res_Progress&>(*response).counter);
  }
  EXPECT_EQ(popped, (std::vector<int32_t>{Response::kDoneSetup, Response::kProgress, 3, Response::kChangeDisc,
                                          Response::kProgress, 4}));
}

}  // namespace
