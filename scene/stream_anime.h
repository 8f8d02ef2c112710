// Stream animations: a folder of numbered picture files described by its
// "index.txt", loaded once and shared by every layer that shows it
// (StreamAnimeRegistry, counted by StreamAnimeRef), and the player that
// picks the frame for a moment of the timer manager's clock. Main thread;
// the registry has no lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/stream_anime_config.h"
#include "gdev/zep_texture.h"

class GameEnvironment;

struct StreamAnimeFrameSlot {
  ZEPTextureRef texture;
  int32_t duration = 0;  // milliseconds, never below 0
};

// The shared record of one loaded folder.
struct StreamAnime {
  int32_t refCount = 1;
  std::u16string folder;  // the registry key
  int32_t unknown1 = 1;
  int32_t unknown2 = 1;
  int32_t loopIndex = -1;
  std::vector<StreamAnimeFrameSlot> frames;
};

// A counted handle on a registered record: copies raise the count, and the
// last handle to go removes the record from the registry and deletes it.
class StreamAnimeRef {
 public:
  StreamAnimeRef() = default;
  StreamAnimeRef(const StreamAnimeRef& other);
  StreamAnimeRef(StreamAnimeRef&& other) noexcept : anime_(other.anime_) { other.anime_ = nullptr; }
  StreamAnimeRef& operator=(const StreamAnimeRef& other);
  StreamAnimeRef& operator=(StreamAnimeRef&& other) noexcept;
  ~StreamAnimeRef() { reset(); }

  StreamAnime* get() const { return anime_; }
  StreamAnime* operator->() const { return anime_; }
  explicit operator bool() const { return anime_ != nullptr; }
  void reset();

 private:
  friend class StreamAnimeRegistry;
  // Takes one more count on the record.
  explicit StreamAnimeRef(StreamAnime* anime);

  StreamAnime* anime_ = nullptr;
};

class StreamAnimeRegistry {
 public:
  // *out := the folder's record (loaded and registered on its first
  // acquire), counted once more. False when the load fails: nothing is
  // registered and *out is left alone.
  static bool acquire(GameEnvironment* environment, std::u16string_view folder, StreamAnimeRef* out);
  // Erases the folder's entry and deletes the record (its frames release
  // their textures).
  static void remove(StreamAnime* anime);
  // The registered record of the folder, or null (no count taken).
  static StreamAnime* find(std::u16string_view folder);
  static size_t size();
};

// Reads folder + "/index.txt" and loads every frame's texture. Each failure
// is one WARN line and false; the outputs are then unspecified.
bool loadStreamAnime(GameEnvironment* environment, std::u16string_view folder,
                     std::vector<StreamAnimeFrameSlot>* frames, int32_t* loopIndex);

// The file of one frame: a string as it stands, a number n >= 0
// folder/<basename><n in `digits` digits>.<extension>, anything else empty.
std::u16string StreamAnimeFrameName(std::u16string_view folder, const StreamAnimeConfig& config,
                                    const APValue& picture);

// Plays one animation. Times are milliseconds of the timer manager's clock.
class StreamAnimePlayer {
 public:
  // A new animation: frame 0, stopped, the loop flag kept.
  void setAnime(const StreamAnimeRef& anime);
  const StreamAnimeRef& anime() const { return anime_; }

  // Plays from `position` milliseconds into the animation.
  void start(int64_t now, int64_t position = 0);
  // Stops on the current frame.
  void stop() { playing_ = false; }
  // Where playback stands now (0 when stopped at the start).
  int64_t position(int64_t now) const;
  // Moves the current frame on to the moment `now` while playing; a run
  // past the end without a loop stops on the last frame. Returns the frame.
  int32_t update(int64_t now);

  // Milliseconds the whole animation takes (0: its natural speed).
  void setPlayDuration(int64_t ms) { playDuration_ = ms; }
  void setLoop(bool on) { loop_ = on; }
  bool loop() const { return loop_; }
  bool isPlaying() const { return playing_; }
  int32_t currentFrame() const { return current_; }
  // The texture of the current frame, or null.
  ZEPTexture* currentTexture() const;
  // Sum of the frame durations.
  int64_t totalDuration() const { return total_; }

 private:
  StreamAnimeRef anime_;
  std::vector<int64_t> ends_;  // cumulative end time of each frame
  int64_t total_ = 0;
  int64_t start_ = 0;
  int64_t stoppedAt_ = 0;
  int64_t playDuration_ = 0;
  int32_t current_ = 0;
  bool loop_ = true;
  bool playing_ = false;
};
