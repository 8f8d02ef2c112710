// An X server of the test's own (Xvfb, no window manager) on a display it
// picks itself (-displayfd), ended by its PID when the object goes and in
// any case after ten minutes. Tests that need it skip where Xvfb is not
// installed (tools/install-deps.sh installs it).
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process.h"
#include "tests/support/test_support.h"

class Xvfb {
 public:
  Xvfb() {
    if (!platform::ProgramOnPath("Xvfb")) return;
    const std::string dir = dir_.path().string();
    platform::RunProcess({"sh", "-c",
                          "timeout 600 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "
                          "3>\"$1/display\" >/dev/null 2>&1 </dev/null & echo $! >\"$1/pid\"",
                          "sh", dir},
                         false);
    pid_ = readLine(dir_.path() / "pid");
    // The server writes its display number once it takes connections.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      const std::string number = readLine(dir_.path() / "display");
      if (!number.empty()) {
        display_ = ":" + number;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~Xvfb() { stop(); }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // ":N", empty when no server runs.
  const std::string& display() const { return display_; }
  // Ends the server now (what its clients meet as a lost display).
  void stop() {
    if (!pid_.empty()) platform::RunProcess({"kill", pid_}, false);
    pid_.clear();
  }

  // The environment a child needs to use this server and nothing else: its
  // display, SDL's X11 driver, real boxes (not the test binary's
  // ZEP_NO_DIALOGS=1), and a session bus that leads nowhere (libdbus would
  // start one otherwise). As words before the program in a shell command.
  std::string childEnvironment(const std::filesystem::path& dir) const {
    return "env -u ZEP_NO_DIALOGS DISPLAY=" + display_ + " SDL_VIDEODRIVER=x11 DBUS_SESSION_BUS_ADDRESS=unix:path=" +
           (dir / "no-bus").string();
  }

 private:
  static std::string readLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) return {};
    return line;
  }

  TempDir dir_;
  std::string pid_;
  std::string display_;
};
