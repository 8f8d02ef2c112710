// Stream animations: the registry of loaded folders with its counted
// handles, the loader of a folder's "index.txt" and frames, and the player
// that picks a frame for a moment of the clock. Main thread only.
#include "scene/stream_anime.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <utility>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "app/timer.h"
#include "gdev/texture_manager.h"
#include "script/tokenizer.h"

namespace {

using RegistryMap = std::map<std::u16string, StreamAnime*, std::less<>>;

// Folder to record; the map holds no count of its own. Never destroyed, so
// handles in static objects may still let go of their records at exit.
RegistryMap& Registry() {
  static RegistryMap* registry = new RegistryMap;
  return *registry;
}

int64_t ClockNow() {
  const TimerManager* timers = GetTimerManager();
  return timers ? timers->now() : 0;
}

// Frame numbers padded past the 1023 characters a name may hold change
// nothing but the memory the padding takes: keep the width within that.
constexpr int32_t kMaxDigits = 1023;

// a * b / c for a, b >= 0 and c > 0 without overflow in the product; a
// quotient past the 64-bit range is cut to its largest value.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  const __int128 q = static_cast<__int128>(a) * b / c;
  return q > std::numeric_limits<int64_t>::max() ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(q);
}

}  // namespace

// ---- StreamAnimeRef

StreamAnimeRef::StreamAnimeRef(StreamAnime* anime) : anime_(anime) {
  if (anime_) ++anime_->refCount;
}

StreamAnimeRef::StreamAnimeRef(const StreamAnimeRef& other) : StreamAnimeRef(other.anime_) {}

StreamAnimeRef& StreamAnimeRef::operator=(const StreamAnimeRef& other) {
  if (other.anime_ != anime_) {
    StreamAnimeRef copy(other);
    std::swap(anime_, copy.anime_);
  }
  return *this;
}

StreamAnimeRef& StreamAnimeRef::operator=(StreamAnimeRef&& other) noexcept {
  if (&other != this) {
    reset();
    anime_ = other.anime_;
    other.anime_ = nullptr;
  }
  return *this;
}

void StreamAnimeRef::reset() {
  StreamAnime* anime = anime_;
  anime_ = nullptr;
  if (anime && --anime->refCount < 1) StreamAnimeRegistry::remove(anime);
}

// ---- StreamAnimeRegistry

bool StreamAnimeRegistry::acquire(GameEnvironment* environment, std::u16string_view folder, StreamAnimeRef* out) {
  if (!out) return false;
  const int64_t t0 = ClockNow();
  if (StreamAnime* found = find(folder)) {
    *out = StreamAnimeRef(found);
    return true;
  }
  std::vector<StreamAnimeFrameSlot> frames;
  int32_t loopIndex = -1;
  if (!loadStreamAnime(environment, folder, &frames, &loopIndex)) return false;
  const int64_t t1 = ClockNow();
  auto* anime = new StreamAnime;  // count 1: the local reference
  anime->folder = std::u16string(folder);
  anime->loopIndex = loopIndex;
  anime->frames = std::move(frames);
  Registry().emplace(anime->folder, anime);
  *out = StreamAnimeRef(anime);  // count 2
  --anime->refCount;             // the local reference goes
  const int64_t t2 = ClockNow();
  LogWrite(LOG_TRACE, u"loadBody %d / register %d\n", static_cast<int32_t>(t1 - t0), static_cast<int32_t>(t2 - t1));
  return true;
}

void StreamAnimeRegistry::remove(StreamAnime* anime) {
  if (!anime) return;
  auto& registry = Registry();
  if (auto it = registry.find(anime->folder); it != registry.end() && it->second == anime) registry.erase(it);
  delete anime;
}

StreamAnime* StreamAnimeRegistry::find(std::u16string_view folder) {
  auto& registry = Registry();
  const auto it = registry.find(folder);
  return it != registry.end() ? it->second : nullptr;
}

size_t StreamAnimeRegistry::size() { return Registry().size(); }

// ---- Loading

std::u16string StreamAnimeFrameName(std::u16string_view folder, const StreamAnimeConfig& config,
                                    const APValue& picture) {
  if (picture.isString()) return picture.svalue;
  if (!picture.isInt() || picture.ivalue < 0) return {};
  const int32_t digits = std::clamp(config.digits, -kMaxDigits, kMaxDigits);
  return FormatString1024(u"%s/%s%0*d.%s", std::u16string(folder), config.frameBaseName, digits, picture.ivalue,
                          config.frameExtension);
}

bool loadStreamAnime(GameEnvironment* environment, std::u16string_view folder,
                     std::vector<StreamAnimeFrameSlot>* frames, int32_t* loopIndex) {
  const std::u16string path = std::u16string(folder) + u"/index.txt";
  std::vector<uint8_t> bytes;
  bool tooLarge = false;
  if (!environment ||
      !environment->loadResource(&bytes, path, true, true, tokenizer::Tokenizer::kMaxFileBytes, &tooLarge)) {
    if (tooLarge) {
      LogWrite(LOG_WARN, u"ストリームアニメ定義ファイルの解析に失敗:%s(%s)\n", tokenizer::Tokenizer::kFileTooLargeError,
               path);
    } else {
      LogWrite(LOG_WARN, u"ストリームアニメ定義ファイルが見つかりません(%s)\n", path);
    }
    return false;
  }
  if (bytes.empty()) {
    LogWrite(LOG_WARN, u"ストリームアニメ定義ファイルの読み込みに失敗：サイズがゼロ(%s)\n", path);
    return false;
  }
  tokenizer::Tokenizer reader;
  const bool parsed = reader.parseFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<uint8_t>().swap(bytes);
  if (!parsed) {
    LogWrite(LOG_WARN, u"ストリームアニメ定義ファイルの解析に失敗:%s(%s)\n", reader.error(), path);
    return false;
  }
  StreamAnimeConfig config;
  // An animation without frames has nothing to show: as malformed as one
  // that does not read.
  if (!ParseStreamAnimeConfig(&config, reader.root()) || config.frames.empty()) {
    LogWrite(LOG_WARN, u"ストリームアニメ定義ファイルの読み込みに失敗：フォーマット不正(%s)\n", path);
    return false;
  }
  frames->assign(config.frames.size(), StreamAnimeFrameSlot{});
  for (size_t i = 0; i < config.frames.size(); ++i) {
    const StreamAnimeFrame& frame = config.frames[i];
    const std::u16string name = StreamAnimeFrameName(folder, config, frame.picture);
    StreamAnimeFrameSlot& slot = (*frames)[i];
    if (GetTextureManager().getTexture(slot.texture, name, 1, 3) != 0) {
      LogWrite(LOG_WARN, u"ファイルロード失敗(%s)\n", name);
      frames->clear();
      return false;
    }
    slot.duration = std::max(frame.waitTime, 0);  // a negative wait shows the frame for no time
  }
  *loopIndex = config.loopIndex;
  return true;
}

// ---- StreamAnimePlayer

void StreamAnimePlayer::setAnime(const StreamAnimeRef& anime) {
  anime_ = anime;
  ends_.clear();
  total_ = 0;
  if (anime_) {
    for (const StreamAnimeFrameSlot& frame : anime_->frames) {
      total_ += std::max(frame.duration, 0);
      ends_.push_back(total_);
    }
  }
  current_ = 0;
  playing_ = false;
  start_ = 0;
  stoppedAt_ = 0;
}

void StreamAnimePlayer::start(int64_t now, int64_t position) {
  start_ = now - position;
  stoppedAt_ = position;
  playing_ = true;
  update(now);
}

int64_t StreamAnimePlayer::position(int64_t now) const { return playing_ ? now - start_ : stoppedAt_; }

int32_t StreamAnimePlayer::update(int64_t now) {
  if (!playing_) return current_;
  if (ends_.empty()) {
    current_ = 0;
    start_ = now;
    stoppedAt_ = 0;
    return current_;
  }
  const int64_t elapsed = std::max<int64_t>(now - start_, 0);
  stoppedAt_ = elapsed;  // where stop() leaves the position
  // A play duration stretches or squeezes the whole animation onto it; one
  // below 1 plays at the natural speed.
  int64_t t = playDuration_ > 0 ? MulDiv(elapsed, total_, playDuration_) : elapsed;
  const int32_t last = static_cast<int32_t>(ends_.size()) - 1;
  if (t >= total_) {
    const int32_t k = anime_->loopIndex;
    // The loop runs from frame k's start to the end. Wrapped times are
    // counted from frame k's start (offset by the end of frame k - 1), so a
    // loop from k >= 1 never shows the frames before k again. A loop that
    // takes no time, or starts past the last frame, cannot run: playback
    // stops on the last frame as it does without a loop.
    const int64_t loopStart = k >= 1 && k <= last ? ends_[k - 1] : 0;
    const int64_t loopLength = total_ - loopStart;
    if (!loop_ || k < 0 || k > last || loopLength <= 0) {
      current_ = last;
      playing_ = false;
      stoppedAt_ = playDuration_ > 0 ? playDuration_ : total_;
      return current_;
    }
    t = loopStart + (t - total_) % loopLength;
  }
  current_ = static_cast<int32_t>(std::upper_bound(ends_.begin(), ends_.end(), t) - ends_.begin());
  return current_;
}

ZEPTexture* StreamAnimePlayer::currentTexture() const {
  if (!anime_ || current_ < 0 || static_cast<size_t>(current_) >= anime_->frames.size()) return nullptr;
  return anime_->frames[current_].texture.get();
}
