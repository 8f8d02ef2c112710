// Fuzzes the configuration reader: arbitrary bytes as a configuration file
// (decoded from the game code page, read, dispatched to every section
// parser, then the post-load passes), and as a stream-animation definition.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/config_flowmode.h"
#include "app/config_reader.h"
#include "app/config_windows.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/stream_anime_config.h"
#include "app/string_util.h"
#include "script/tokenizer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The readers' warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = MultiByteToWString(reinterpret_cast<const char*>(data), size);
  tokenizer::Tokenizer reader;
  if (!reader.parse(text)) return 0;
  {
    GameEnvironment environment(u"/game", {u"."}, {});
    if (DispatchConfigSections(&environment, reader.root())) {
      ResolveMenuParts(&environment);
      ResolveMessageWindowParts(&environment);
      // Lay out a few pages of whatever flow chart was read.
      Config::FlowmodeConfig::DrawCallback callback;
      callback.drawTile = [](void*, int32_t, int32_t, int32_t, int32_t, const Config::FlowmodeConfig::SavePoint*) {
        return true;
      };
      for (int32_t page = -1; page <= 2; ++page) environment.flowmode().drawPage(page, 5, callback);
    }
  }
  StreamAnimeConfig anime;
  ParseStreamAnimeConfig(&anime, reader.root());
  return 0;
}
