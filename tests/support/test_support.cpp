#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/log.h"
#include "platform/gl_window.h"
#include "platform/std_streams.h"
#include "platform/utf8.h"

TempDir::TempDir() {
  const char* sandbox = std::getenv("ZEP_TEST_SANDBOX");
  const std::filesystem::path base = sandbox ? sandbox : std::filesystem::temp_directory_path();
  // mkdtemp keeps a death-test child, which shares its parent's sandbox, out
  // of the parent's folders.
  std::string pattern = (base / "tXXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << bytes;
  return file;
}

LogCapture::LogCapture() { SetLogObserver(&LogCapture::observe, this); }

LogCapture::~LogCapture() { SetLogObserver(nullptr, nullptr); }

void LogCapture::observe(void* self, unsigned, std::u16string_view line) {
  static_cast<LogCapture*>(self)->lines_.push_back(platform::ToUtf8(line));
}

bool LogCapture::contains(const std::string& text) const {
  for (const std::string& line : lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

std::string LogCapture::all() const {
  std::string out;
  for (const std::string& line : lines_) out += line;
  return out;
}

ScopedCurrentDir::ScopedCurrentDir(const std::filesystem::path& dir)
    : old_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() { std::filesystem::current_path(old_); }

void SendStdoutToStderr() { platform::RedirectStdoutToStderr(); }

bool OpenGLContextAvailable(std::string* why) {
  SDL_Window* probe = platform::CreateGLWindow(u"probe", 64, 64, true, why);
  if (!probe) return false;
  const bool context = platform::GLContext::create(probe, why) != nullptr;
  platform::DestroyGLWindow(probe);
  return context;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    setenv(name_, old_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}
