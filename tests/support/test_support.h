// Helpers shared by the tests: a temporary folder per test and a capture of
// the log lines written while it lives.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/timer.h"

// A fresh folder under the binary's sandbox, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes a file (binary) below the folder and returns its full path.
  std::filesystem::path write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

// Records every log line (UTF-8) written while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  // True when some line contains the text.
  bool contains(const std::string& text) const;
  // The lines joined, for failure messages.
  std::string all() const;
  void clear() { lines_.clear(); }

 private:
  static void observe(void* self, unsigned level, std::u16string_view line);
  std::vector<std::string> lines_;
};

// The current folder is changed for the object's lifetime.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir);
  ~ScopedCurrentDir();

 private:
  std::filesystem::path old_;
};

// True when a window with an OpenGL 3.3 context can be made here (the
// offscreen driver with Mesa counts); *why says why not.
bool OpenGLContextAvailable(std::string* why);

// Points standard output at standard error (inside a death test, so one
// pattern sees the log line and the box in the order they were written).
void SendStdoutToStderr();

// Sets (or, with null, clears) an environment variable and puts the old
// value back when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Sets the log mask for the object's lifetime.
class ScopedLogMask {
 public:
  explicit ScopedLogMask(uint32_t bits) : old_(GetLogLevelMask()) { SetLogLevelMask(bits); }
  ~ScopedLogMask() { SetLogLevelMask(old_); }
  ScopedLogMask(const ScopedLogMask&) = delete;
  ScopedLogMask& operator=(const ScopedLogMask&) = delete;

 private:
  uint32_t old_;
};

// A timer manager whose clock the test moves by hand.
class ManualClock : public TimerManager {
 public:
  explicit ManualClock(int64_t start = 100000) : ms(start) {}
  int64_t now() const override { return ms; }
  int64_t ms;
};
