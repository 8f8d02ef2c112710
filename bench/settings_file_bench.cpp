// The settings file with 20 ordinary save slots, each a snapshot with 2,000
// word variables, 20 frames, 50 cells and 50 parts (about 1 MB of text):
// writeFile and readFile per encode mode (0 plain, 1 EENC, 2 EENZ), in ms
// per file and MB/s of plain text. A save blocks the main loop for one
// write: in mode 2 it should take under 100 ms. The baseline compresses the
// same plain bytes with zlib's compress2 alone and writes them through the
// same atomic replace; "x_zlib" is a write's time over the baseline's and
// "ratio" the file's size over the plain text's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "app/file_helpers.h"
#include "app/log.h"
#include "app/string_util.h"
#include "gamestate/system_settings.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

constexpr int32_t kSlots = 20;
constexpr int32_t kWords = 2000;
constexpr int32_t kFrames = 20;
constexpr int32_t kCellsAndParts = 50;
constexpr int32_t kVersion = 1;

SharedRef<SavedGameState> Snapshot(int32_t slot) {
  auto* state = new SavedGameState;
  state->lastSPID = slot;
  for (int32_t i = 0; i < kWords; ++i) state->word.push_back(i * 7919 + slot + 1);
  for (int32_t f = 0; f < kFrames; ++f) {
    SavedFrame frame;
    frame.scenario = 100 + f;
    frame.set = f;
    frame.sub = f % 3;
    frame.pc = 40 + f;
    frame.locals.assign(8, f);
    frame.args.assign(4, slot);
    state->userstack.frames.push_back(frame);
  }
  for (int32_t n = 0; n < kCellsAndParts; ++n) {
    SavedCell& cell = state->presentation.cell[n];
    cell.picno = APValue(u"cell/chara" + intToWString(n));
    cell.x = n * 10;
    cell.y = n * 5;
    cell.w = cell.h = 256;
    SavedParts& parts = state->presentation.parts[n];
    parts.partsNo = 100 + n;
    parts.visible = 1;
    parts.x = n * 12;
    parts.y = n * 3;
    parts.text = APValue(u"選択肢の文字列 " + intToWString(n));
    parts.eventno[1] = 500 + n;
    parts.color[0] = 0xFF204060;
  }
  state->presentation.msgwin.text = u"これは保存された台詞です。";
  return SharedRef<SavedGameState>(state);
}

const SystemSettings& Large() {
  static const SystemSettings settings = [] {
    SystemSettings s;
    for (int32_t i = 0; i < 64; ++i) s.sysflagInt[256 + i] = i + 1;
    for (int32_t i = 0; i < 200; ++i) s.viewFlags[10000 + i % 8][i] = 1;
    for (int32_t slot = 0; slot < kSlots; ++slot) {
      s.flowMode.storeSave(SaveKind::kOrdinary, slot, -1, Snapshot(slot), 100 + slot,
                           u"第" + intToWString(slot) + u"章", 1700000000 + slot);
    }
    return s;
  }();
  return settings;
}

// The plain bytes the writer produces for the settings.
const std::string& PlainBytes() {
  static const std::string bytes = [] {
    tokenizer::Tokenizer tk;
    TokenizerSupportUtil::MyOStringStream out;
    tokenizer::printCell(Large().toTree(tk, kVersion), out);
    return WStringToMultiByte(out.str());
  }();
  return bytes;
}

// A fresh folder, removed at exit (the path outlives static destruction).
const std::filesystem::path& Folder() {
  static const std::filesystem::path* folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zep-settings-bench-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (!made) std::abort();
    auto* path = new std::filesystem::path(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return path;
  }();
  return *folder;
}

std::u16string FilePath(const char* name) { return platform::FromUtf8((Folder() / name).string()); }

// One compress2 and one atomic write of the plain bytes; seconds.
double BaselineSeconds(const std::u16string& path, size_t* packedSize) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<uint8_t> packed;
  const std::string& plain = PlainBytes();
  if (!ZlibCompressPlain(&packed, reinterpret_cast<const uint8_t*>(plain.data()), plain.size()) ||
      WriteFileAtomically(path, packed.data(), packed.size()) != 0) {
    std::abort();
  }
  *packedSize = packed.size();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WriteSettings(benchmark::State& bench) {
  const int32_t mode = static_cast<int32_t>(bench.range(0));
  const std::u16string path = FilePath("write.dat");
  SystemSettings settings = Large();
  for (auto _ : bench) {
    if (!settings.writeFile(path, kVersion, mode, -1, false)) bench.SkipWithError("write failed");
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * PlainBytes().size()));
  bench.counters["plain_MB"] = PlainBytes().size() / 1e6;
  bench.counters["ratio"] = static_cast<double>(std::filesystem::file_size(Folder() / "write.dat")) /
                            static_cast<double>(PlainBytes().size());

  const auto start = std::chrono::steady_clock::now();
  constexpr int kRepeats = 5;
  for (int i = 0; i < kRepeats; ++i) settings.writeFile(path, kVersion, mode, -1, false);
  const double write = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRepeats;
  double baseline = 0.0;
  size_t packed = 0;
  for (int i = 0; i < kRepeats; ++i) baseline += BaselineSeconds(FilePath("baseline.dat"), &packed) / kRepeats;
  bench.counters["x_zlib"] = write / baseline;
}
BENCHMARK(BM_WriteSettings)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_ReadSettings(benchmark::State& bench) {
  const int32_t mode = static_cast<int32_t>(bench.range(0));
  const std::u16string path = FilePath("read.dat");
  SystemSettings written = Large();
  if (!written.writeFile(path, kVersion, mode, -1, false)) std::abort();
  for (auto _ : bench) {
    SystemSettings settings;
    if (!settings.readFile(path, kVersion, false)) bench.SkipWithError("read failed");
    benchmark::DoNotOptimize(settings.flowMode.saveData.size());
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * PlainBytes().size()));
}
BENCHMARK(BM_ReadSettings)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The yardstick: compress2 of the same plain bytes and the atomic write.
void BM_ZlibBaseline(benchmark::State& bench) {
  size_t packed = 0;
  for (auto _ : bench) BaselineSeconds(FilePath("baseline.dat"), &packed);
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * PlainBytes().size()));
  bench.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(PlainBytes().size());
}
BENCHMARK(BM_ZlibBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  SetLogLevelMask(0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
