// The app_w executable. For now it reads the configuration file named on the
// command line as S-expression text and reports whether it parses; the full
// start-up (environment, controller, window, scheduler) is built on top of it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "app/timer.h"
#include "platform/utf8.h"
#include "script/tokenizer.h"

namespace {

bool readConfiguration(const GameEnvironment& environment, const std::u16string& path) {
  std::vector<uint8_t> bytes;
  if (!environment.loadResource(&bytes, path, true, true) || bytes.empty()) {
    LogWrite(LOG_ERROR, u"ファイルの読み込みに失敗(%s)\n", path);
    return false;
  }
  tokenizer::Tokenizer reader;
  if (!reader.parse(BytesToWString(bytes))) {
    LogWrite(LOG_ERROR, u"構文エラー(%s) %s\n", path, reader.error());
    return false;
  }
  LogWrite(LOG_WARN, u"%s: 読み込みました\n", path);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  GetTimerManager()->setMainThread(std::this_thread::get_id());
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::FromUtf8(argv[i]));
  if (args.empty()) {
    LogWrite(LOG_WARN, u"USAGE: app_w.exe [-stdout logfname] [-loadpath <dir1>;<dir2>] srcfile.scm\n");
    return 0;
  }
  std::error_code ec;
  const std::u16string base = platform::FromUtf8(std::filesystem::current_path(ec).string());
  GameEnvironment environment(base, {u"."}, {});
  return readConfiguration(environment, args.back()) ? 0 : 1;
}
