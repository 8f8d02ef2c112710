// The handler only writes a byte to a pipe (all it may safely do); the
// forwarding thread sleeps on the pipe and pushes the quit event.
#include "platform/quit_signals.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

int quitPipe[2] = {-1, -1};

struct Forwarding {
  std::mutex mutex;
  int users = 0;  // windows that want quit events
};

Forwarding& forwarding() {
  static Forwarding state;
  return state;
}

void onQuitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(quitPipe[1], &byte, 1);
  errno = saved;
}

void forwardQuitRequests() {
  char bytes[64];
  for (;;) {
    const ssize_t n = read(quitPipe[0], bytes, sizeof bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    Forwarding& state = forwarding();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.users == 0) continue;  // video is stopping or stopped
    SDL_Event event{};
    event.type = SDL_QUIT;
    event.quit.timestamp = SDL_GetTicks();
    SDL_PushEvent(&event);
  }
}

// The thread lives as long as the process and costs nothing while no signal
// comes.
bool startForwarder() {
  static const bool started = [] {
    if (pipe2(quitPipe, O_CLOEXEC) != 0) return false;
    fcntl(quitPipe[1], F_SETFL, O_NONBLOCK);  // a full pipe already holds a request
    try {
      std::thread(forwardQuitRequests).detach();
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }();
  return started;
}

}  // namespace

bool BeginQuitSignals() {
  if (!startForwarder()) return false;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  Forwarding& state = forwarding();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.users++ > 0) return true;
  for (const int signal : kQuitSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = &onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
  return true;
}

bool QuitEventPending() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  SDL_PumpEvents();
  return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0;
}

void EndQuitSignals() {
  Forwarding& state = forwarding();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.users == 0 || --state.users > 0) return;
  for (const int signal : kQuitSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != &onQuitSignal) continue;
    std::signal(signal, SIG_DFL);
  }
}

}  // namespace platform
