#include "app/invoker.h"

#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "app/fatal.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/message_box_window.h"
#include "app/os_util.h"
#include "app/string_util.h"
#include "platform/audio_device.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/std_streams.h"
#include "platform/utf8.h"
#include "platform/x11_display.h"
#include "scene/scene_setup.h"
#include "script/app_controller.h"

namespace {

constexpr char16_t kUsage[] = u"USAGE: app_w.exe [-stdout logfname] [-loadpath <dir1>;<dir2>] srcfile.scm";
constexpr char16_t kHelpCaption[] = u"VELKO app invoker: help";
constexpr char16_t kAbortCaption[] = u"VELKO app invoker: abort";
constexpr uint32_t kMbOk = 0;

std::u16string g_moduleFolder;
bool g_debug = false;
bool g_debugBreak = false;

// What the X server refuses is logged and the run goes on; a display that
// is gone ends it (exit code 1).
void logXProtocolError(const std::string& text) {
  LogWrite(LOG_WARN, u"X11:プロトコルエラー %s - 無視して続けます\n", platform::FromUtf8(text));
}

void logXConnectionLost(const std::string& text) {
  FlushHeldLogs();
  LogWrite(LOG_ERROR, u"X11:%s - 終了します\n", platform::FromUtf8(text));
}

void showUsage() {
  int32_t button = 0;
  ShowMessageBox(kUsage, kHelpCaption, kMbOk, &button);
}

std::u16string currentFolder() {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::u16string() : platform::FromUtf8(cwd.string());
}

// The folder of the running executable, with a trailing "/"; empty when the
// system does not say.
std::u16string executableFolder() {
  const std::filesystem::path exe = platform::ExecutablePath();
  if (exe.empty() || !exe.has_parent_path()) return {};
  std::u16string folder = platform::FromUtf8(exe.parent_path().string());
  if (folder.empty() || folder.back() != u'/') folder += u'/';
  return folder;
}

// Controller first (its destructor releases the scene and the window, so the
// window must have let go of the scene), then the environment it borrows.
void destroyBoth(AppController* controller, GameEnvironment* environment) {
  if (controller) {
    sceneDetach();
    delete controller;
    SetAppController(nullptr);
  }
  delete environment;
}

}  // namespace

const std::u16string& GetModuleFolder() { return g_moduleFolder; }
bool GetDebugFlag() { return g_debug; }
bool GetDebugBreakFlag() { return g_debugBreak; }

bool ReadArgsFile(std::u16string_view path, std::vector<std::u16string>* args) {
  std::ifstream in(std::filesystem::path(platform::ToUtf8(path)), std::ios::binary);
  if (!in) return false;
  std::vector<std::u16string> lines;
  lines.push_back(args->empty() ? std::u16string() : (*args)[0]);
  std::string line;
  std::string all;
  while (std::getline(in, line)) {
    all += line;
    all += '\n';
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) continue;
    lines.push_back(platform::DecodeCP932(line));
  }
  WarnIfUtf8Text(all, path);
  *args = std::move(lines);
  return true;
}

void SplitLoadPaths(std::u16string_view text, std::vector<std::u16string>* loadPaths) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u';', start);
    if (end == std::u16string_view::npos) end = text.size();
    if (end > start) {
      std::u16string piece = ToSlashPath(text.substr(start, end - start));
      if (piece.back() != u'/') piece += u'/';
      loadPaths->push_back(std::move(piece));
    }
    start = end + 1;
  }
}

size_t ParseInvokerOptions(const std::vector<std::u16string>& args, InvokerOptions* options) {
  // The options that take a value (the load paths are split, not stored).
  struct Valued {
    std::u16string_view name;
    const char16_t* missingText;
    std::u16string InvokerOptions::*field;
  };
  static const Valued kValued[] = {
      {u"-loadpath", u"-loadpathには引数が必要です\n", nullptr},
      {u"-loglevel", u"-loglevelには引数が必要です\n", &InvokerOptions::logLevel},
      {u"-stdout", u"-stdoutには引数が必要です\n", &InvokerOptions::stdoutFile},
      {u"-workdir", u"-workdirには引数が必要です\n", &InvokerOptions::workDir},
  };
  size_t i = 1;
  for (; i < args.size() && !args[i].empty() && args[i][0] == u'-'; ++i) {
    const std::u16string& arg = args[i];
    const char16_t second = arg.size() > 1 ? arg[1] : u'\0';
    if (second == u'h') {
      showUsage();
      options->exitCode = 0;
      return i;
    }
    if (second == u'd') {
      if (arg == u"-d") g_debug = true;
      if (arg == u"-debugbreak") g_debugBreak = true;
      continue;
    }
    const Valued* option = nullptr;
    for (const Valued& v : kValued) {
      if (arg == v.name) option = &v;
    }
    if (!option) continue;  // any other option is ignored
    if (i + 1 >= args.size()) {
      int32_t button = 0;
      ShowMessageBox(option->missingText, kAbortCaption, kMbOk, &button);
      options->exitCode = 1;
      return i;
    }
    const std::u16string& value = args[++i];
    if (option->field) {
      options->*(option->field) = value;
    } else {
      SplitLoadPaths(value, &options->loadPaths);
    }
  }
  return i;
}

bool CreateApplication(std::u16string baseFolder, std::u16string_view configFile,
                       std::vector<std::u16string> loadPaths, std::vector<std::u16string> furtherArgs) {
  if (baseFolder.empty()) baseFolder = currentFolder();
  auto* environment = new GameEnvironment(std::move(baseFolder), std::move(loadPaths), std::move(furtherArgs));
  if (!environment->init(configFile)) {
    destroyBoth(nullptr, environment);
    return false;
  }
  auto* controller = new AppController(environment);
  SetAppController(controller);
  if (!controller->init()) {
    destroyBoth(controller, environment);
    return false;
  }
  return true;
}

bool RunApplication() {
  AppController* controller = GetAppController();
  return controller && controller->run();
}

bool DestroyApplication() {
  // The controller ends the sound library's threads and output before the
  // window goes.
  destroyBoth(GetAppController(), GetGameEnvironment());
  return true;
}

int InvokerMain(const std::vector<std::u16string>& commandLine) {
  std::setlocale(LC_ALL, "");
  platform::SetXReportSinks(&logXProtocolError, &logXConnectionLost);
  // This thread shows every box, also those other threads ask for, and
  // draws its own where SDL cannot show one.
  platform::SetMessageBoxThread();
  platform::SetMessageBoxFallback(&ShowOwnMessageBox);
  g_moduleFolder = executableFolder();
  // Built-in files: the program registers none.

  std::vector<std::u16string> args = commandLine;
  if (args.empty()) args.emplace_back();
  if (args.size() == 1 && !g_moduleFolder.empty()) ReadArgsFile(g_moduleFolder + u"args.txt", &args);

  InvokerOptions options;
  options.loadPaths.push_back(u".");
  const size_t first = ParseInvokerOptions(args, &options);
  if (options.exitCode) return *options.exitCode;

  if (g_debugBreak) {
    if (platform::DebuggerAttached()) {
      std::raise(SIGTRAP);
    } else {
      LogWrite(LOG_WARN, u"-debugbreak:デバッガが接続されていないため無視します\n");
    }
  }
  if (g_debug) SetLogLevelMask(LOG_TRACE | LOG_DEBUG | LOG_WARN | LOG_ERROR | LOG_FATAL);

  if (!options.workDir.empty()) {
    // Relative to the executable's folder; an absolute folder stands as given.
    const std::u16string dir =
        options.workDir[0] == u'/' ? options.workDir : g_moduleFolder + options.workDir;
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::path(platform::ToUtf8(dir)), ec);
    if (ec) LogWrite(LOG_WARN, u"-workdir:作業フォルダに移動できません(%s)\n", dir);
  }
  const std::u16string baseFolder = currentFolder();
  if (!options.stdoutFile.empty() && !platform::RedirectStdStreamsToFile(platform::ToUtf8(options.stdoutFile))) {
    LogWrite(LOG_WARN, u"-stdout:出力ファイルを開けません(%s)\n", options.stdoutFile);
  }

  if (first >= args.size()) {
    showUsage();
    return 0;
  }
  const std::u16string& configFile = args[first];
  std::vector<std::u16string> furtherArgs(args.begin() + static_cast<std::ptrdiff_t>(first) + 1, args.end());
  if (!CreateApplication(baseFolder, configFile, std::move(options.loadPaths), std::move(furtherArgs))) {
    return 1;
  }
  const bool ran = RunApplication();
  // The settings file is written: what is left ends with the process, so
  // the sound output stops at once instead of playing out its blocks.
  platform::LetAudioOutputsEndWithProcess();
  DestroyApplication();
  return ran && !SetupRunFailed() ? 0 : 1;
}
