// The movie decoder over FFmpeg: libavformat reads the file through our own
// reader (a poll that the stop flag cuts short, so a FIFO or a stalled file
// cannot hold the thread), libavcodec decodes, libswscale makes BGRA
// pictures and libswresample 16-bit stereo at the caller's rate. Packets of
// one stream met while the other is asked for wait in a queue of their own.
// Runs on whichever thread calls it (the movie player's decoder thread); one
// codec thread per stream, so a stop is prompt and two runs give the same
// pictures and sound.
#include "platform/movie_decoder.h"
#include "platform/movie_module.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <deque>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform {
namespace {

// Pictures at most this many pixels a side and in all (a 4096 x 4096
// picture is 64 MiB of BGRA; a few are kept ahead).
constexpr int32_t kMaxPictureSide = 8192;
constexpr int64_t kMaxPicturePixels = int64_t{4096} * 4096;
constexpr int64_t kDefaultFrameUs = 40000;
constexpr int32_t kMinRate = 8000;
constexpr int32_t kMaxRate = 192000;
// Packets of one stream kept while the other is read: at most this many
// bytes, and this many packets.
constexpr size_t kMaxHeldBytes = 16u << 20;
constexpr size_t kMaxHeldPackets = 4096;
// How long one wait for data lasts before the stop flag is looked at again.
constexpr int kPollMs = 20;
constexpr int kReadBufferBytes = 64 * 1024;

// The decoder whose call is under way on this thread: FFmpeg's error lines
// while it runs are its damage report, not lines on standard error.
thread_local std::string* activeDamage = nullptr;

void LogLine(void* context, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  if (!activeDamage) {
    av_log_default_callback(context, level, format, args);
    return;
  }
  if (!activeDamage->empty()) return;
  char text[512] = {};
  std::vsnprintf(text, sizeof text, format, args);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  const AVClass* cls = context ? *static_cast<AVClass* const*>(context) : nullptr;
  if (cls && cls->item_name) line = std::string(cls->item_name(context)) + ": " + line;
  *activeDamage = line.empty() ? "damaged" : line;
}

// Points FFmpeg's error lines at one decoder's report while it lives.
class DamageScope {
 public:
  explicit DamageScope(std::string* damage) : previous_(activeDamage) { activeDamage = damage; }
  ~DamageScope() { activeDamage = previous_; }
  DamageScope(const DamageScope&) = delete;
  DamageScope& operator=(const DamageScope&) = delete;

 private:
  std::string* previous_;
};

std::string AvError(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

int64_t RoundToMs(int64_t us) { return us >= 0 ? (us + 500) / 1000 : -((-us + 500) / 1000); }

// The file under libavformat: read without blocking, waiting in short polls
// so that the stop flag ends a wait for data that never comes.
class FileReader {
 public:
  ~FileReader() { close(); }

  bool open(const std::string& path, const std::atomic<bool>* stop, std::string* error) {
    stop_ = stop;
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      *error = AvError("open", AVERROR(errno));
      return false;
    }
    struct stat st {};
    if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
      seekable_ = true;
      size_ = st.st_size;
    }
    return true;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool seekable() const { return seekable_; }
  bool stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }

  static int read(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<FileReader*>(opaque);
    for (;;) {
      const ssize_t n = ::read(self->fd_, buffer, size_t(size));
      if (n > 0) return int(n);
      if (n == 0) return AVERROR_EOF;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return AVERROR(errno);
      if (self->stopped()) return AVERROR_EXIT;
      pollfd wait{self->fd_, POLLIN, 0};
      ::poll(&wait, 1, kPollMs);
    }
  }

  static int64_t seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<FileReader*>(opaque);
    if (!self->seekable_) return AVERROR(ESPIPE);
    if (whence & AVSEEK_SIZE) return self->size_;
    const off_t at = lseek(self->fd_, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
  }

  static int interrupted(void* opaque) { return static_cast<FileReader*>(opaque)->stopped() ? 1 : 0; }

 private:
  int fd_ = -1;
  bool seekable_ = false;
  int64_t size_ = 0;
  const std::atomic<bool>* stop_ = nullptr;
};

// Nothing but the one file is ever opened: a playlist-like file that names
// others is refused.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

class FfmpegMovieDecoder final : public MovieDecoder {
 public:
  ~FfmpegMovieDecoder() override { close(); }

  bool open(const std::string& path, int32_t audioRate, const std::atomic<bool>* stop, std::string* error) override;
  int32_t width() const override { return width_; }
  int32_t height() const override { return height_; }
  bool hasAudio() const override { return audio_.codec != nullptr; }
  Result nextPicture(MovieVideoFrame* video, std::string* error) override;
  Result nextSound(MovieSoundBlock* sound, std::string* error) override;
  std::string damage() const override { return damage_; }

 private:
  struct Stream {
    int index = -1;
    AVCodecContext* codec = nullptr;
    AVRational timeBase{1, 1};
    std::deque<AVPacket*> held;  // read while the other stream was asked for
    size_t heldBytes = 0;
    bool flushed = false;  // the end was sent to the decoder
    bool drained = false;  // the decoder gave its last frame
  };
  enum class Feed { kSent, kFull, kFailed };

  void close();
  bool openStream(int index, const AVCodec* codec, Stream* stream, std::string* error);
  bool fail(const std::string& text, std::string* error);
  Result failed(const std::string& text, std::string* error);
  // False (after failed()) when out is null (the text says why) or the
  // decoder cannot go on.
  bool usable(const void* out, const char* without, std::string* error);
  void clearHeld(Stream* stream);
  // Gives `stream`'s decoder its next packet (or the end of the file),
  // keeping the other stream's packets met on the way.
  Feed feed(Stream* stream, std::string* reason);
  // Decodes `stream` until it has a frame in frame_: 0, AVERROR_EOF after
  // its last one, or another error code with *reason.
  int receive(Stream* stream, Feed* feedResult, std::string* reason);
  // Microseconds from the movie's start.
  int64_t sinceStart(int64_t timestamp, AVRational timeBase);
  // Turns held_ (the frame waiting for its successor) into *video at timeUs.
  bool makePicture(const AVFrame* f, int64_t timeUs, MovieVideoFrame* video);
  // Converts f (or, when null, what the resampler still holds) into sound_.
  bool makeSound(const AVFrame* f, std::string* error);

  FileReader reader_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* waiting_ = nullptr;  // the last decoded picture, out once the next one shows its time
  bool haveWaiting_ = false;
  int64_t waitingUs_ = 0;
  bool haveShown_ = false;
  int64_t shownUs_ = 0;  // the time of the picture handed out last
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVChannelLayout resamplerLayout_{};
  int resamplerFormat_ = -1;
  int resamplerRate_ = 0;
  Stream video_;
  Stream audio_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t audioRate_ = 0;
  int64_t frameUs_ = kDefaultFrameUs;
  bool haveStart_ = false;
  int64_t startUs_ = 0;
  bool havePicture_ = false;
  int64_t lastPictureUs_ = 0;
  bool soundStarted_ = false;
  int64_t soundAt_ = 0;     // the place of the next sample pair
  int64_t dropLeft_ = 0;    // sample pairs still to drop (sound before time 0)
  std::vector<int16_t> sound_;  // converted, not yet handed out
  bool resamplerFlushed_ = false;
  bool endOfFile_ = false;
  std::string failure_;  // set once reading failed; every later call repeats it
  std::string damage_;   // the first damage skipped
};

void FfmpegMovieDecoder::clearHeld(Stream* stream) {
  for (AVPacket* p : stream->held) av_packet_free(&p);
  stream->held.clear();
  stream->heldBytes = 0;
}

void FfmpegMovieDecoder::close() {
  clearHeld(&video_);
  clearHeld(&audio_);
  avcodec_free_context(&video_.codec);
  avcodec_free_context(&audio_.codec);
  avformat_close_input(&format_);
  if (io_) av_freep(&io_->buffer);
  avio_context_free(&io_);
  reader_.close();
  av_frame_free(&frame_);
  av_frame_free(&waiting_);
  av_packet_free(&packet_);
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  swr_free(&resampler_);
  av_channel_layout_uninit(&resamplerLayout_);
  resamplerFormat_ = -1;
  resamplerRate_ = 0;
  video_ = Stream{};
  audio_ = Stream{};
  width_ = height_ = audioRate_ = 0;
  frameUs_ = kDefaultFrameUs;
  haveStart_ = havePicture_ = haveWaiting_ = haveShown_ = soundStarted_ = false;
  startUs_ = lastPictureUs_ = waitingUs_ = shownUs_ = soundAt_ = dropLeft_ = 0;
  sound_.clear();
  resamplerFlushed_ = endOfFile_ = false;
  failure_.clear();
  damage_.clear();
}

bool FfmpegMovieDecoder::fail(const std::string& text, std::string* error) {
  if (error) *error = text;
  close();
  return false;
}

bool FfmpegMovieDecoder::usable(const void* out, const char* without, std::string* error) {
  if (!out) failed(without, error);
  else if (!format_) failed("the movie is not open", error);
  else if (!failure_.empty()) failed(failure_, error);
  else return true;
  return false;
}

MovieDecoder::Result FfmpegMovieDecoder::failed(const std::string& text, std::string* error) {
  failure_ = text;
  if (error) *error = text;
  return kError;
}

bool FfmpegMovieDecoder::openStream(int index, const AVCodec* codec, Stream* stream, std::string* error) {
  AVStream* st = format_->streams[index];
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) {
    if (error) *error = AvError("avcodec_alloc_context3", AVERROR(ENOMEM));
    return false;
  }
  int r = avcodec_parameters_to_context(c, st->codecpar);
  if (r >= 0) {
    c->pkt_timebase = st->time_base;
    c->thread_count = 1;
    r = avcodec_open2(c, codec, nullptr);
  }
  if (r < 0) {
    avcodec_free_context(&c);
    if (error) *error = AvError("avcodec_open2", r);
    return false;
  }
  stream->index = index;
  stream->codec = c;
  stream->timeBase = st->time_base;
  return true;
}

bool FfmpegMovieDecoder::open(const std::string& path, int32_t audioRate, const std::atomic<bool>* stop,
                              std::string* error) {
  // FFmpeg's warnings about damaged streams are no news to a player; its
  // errors make the damage report.
  static const bool quiet = (av_log_set_level(AV_LOG_ERROR), av_log_set_callback(&LogLine), true);
  (void)quiet;
  close();
  DamageScope scope(&damage_);
  if (audioRate != 0 && (audioRate < kMinRate || audioRate > kMaxRate)) {
    return fail("sound rate " + std::to_string(audioRate) + " is out of range", error);
  }
  std::string reason;
  if (!reader_.open(path, stop, &reason)) return fail(reason, error);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kReadBufferBytes));
  if (buffer) {
    io_ = avio_alloc_context(buffer, kReadBufferBytes, 0, &reader_, &FileReader::read, nullptr,
                             reader_.seekable() ? &FileReader::seek : nullptr);
  }
  if (!io_) {
    av_free(buffer);
    return fail(AvError("avio_alloc_context", AVERROR(ENOMEM)), error);
  }
  io_->seekable = reader_.seekable() ? AVIO_SEEKABLE_NORMAL : 0;
  format_ = avformat_alloc_context();
  if (!format_) return fail(AvError("avformat_alloc_context", AVERROR(ENOMEM)), error);
  format_->pb = io_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  format_->interrupt_callback = AVIOInterruptCB{&FileReader::interrupted, &reader_};
  format_->io_open = &RefuseNestedOpen;
  int r = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
  if (r < 0) return fail(AvError("avformat_open_input", r), error);
  r = avformat_find_stream_info(format_, nullptr);
  if (r < 0) return fail(AvError("avformat_find_stream_info", r), error);
  if (reader_.stopped()) return fail("stopped while opening", error);

  const AVCodec* codec = nullptr;
  r = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (r < 0) return fail(AvError("av_find_best_stream (video)", r), error);
  const AVCodecParameters* par = format_->streams[r]->codecpar;
  if (par->width < 1 || par->height < 1 || par->width > kMaxPictureSide || par->height > kMaxPictureSide ||
      int64_t{par->width} * par->height > kMaxPicturePixels) {
    return fail("picture size " + std::to_string(par->width) + "x" + std::to_string(par->height) + " is out of range",
                error);
  }
  if (!openStream(r, codec, &video_, &reason)) return fail(reason, error);
  // A sound stream that cannot be decoded leaves a silent movie.
  if (audioRate != 0) {
    codec = nullptr;
    r = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, video_.index, &codec, 0);
    if (r >= 0 && !openStream(r, codec, &audio_, &reason)) audio_ = Stream{};
  }
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    if (int(i) != video_.index && int(i) != audio_.index) format_->streams[i]->discard = AVDISCARD_ALL;
  }

  const AVStream* st = format_->streams[video_.index];
  AVRational rate = st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) {
    frameUs_ = std::clamp<int64_t>(av_rescale(1000000, rate.den, rate.num), 1000, 10000000);
  }
  // The origin: the earliest first timestamp of the streams played (the
  // first timestamp seen when none is known).
  for (const Stream* s : {&video_, &audio_}) {
    if (!s->codec) continue;
    const int64_t first = format_->streams[s->index]->start_time;
    if (first == AV_NOPTS_VALUE) continue;
    const int64_t us = av_rescale_q(first, s->timeBase, AV_TIME_BASE_Q);
    if (!haveStart_ || us < startUs_) startUs_ = us;
    haveStart_ = true;
  }
  if (!haveStart_ && format_->start_time != AV_NOPTS_VALUE) {
    haveStart_ = true;
    startUs_ = format_->start_time;
  }
  frame_ = av_frame_alloc();
  waiting_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!frame_ || !waiting_ || !packet_) return fail(AvError("av_frame_alloc", AVERROR(ENOMEM)), error);
  width_ = par->width;
  height_ = par->height;
  audioRate_ = audioRate;
  return true;
}

int64_t FfmpegMovieDecoder::sinceStart(int64_t timestamp, AVRational timeBase) {
  const int64_t us = av_rescale_q(timestamp, timeBase, AV_TIME_BASE_Q);
  if (!haveStart_) {
    haveStart_ = true;
    startUs_ = us;
  }
  return us - startUs_;
}

FfmpegMovieDecoder::Feed FfmpegMovieDecoder::feed(Stream* stream, std::string* reason) {
  Stream* other = stream == &video_ ? &audio_ : &video_;
  AVPacket* packet = nullptr;  // owned when it was held
  if (!stream->held.empty()) {
    packet = stream->held.front();
    stream->held.pop_front();
    stream->heldBytes -= size_t(packet->size);
  }
  const bool own = packet != nullptr;
  while (!packet && !endOfFile_) {
    const bool keepOther = other->codec != nullptr && !other->drained;
    if (keepOther && (other->heldBytes >= kMaxHeldBytes || other->held.size() >= kMaxHeldPackets)) return Feed::kFull;
    const int r = av_read_frame(format_, packet_);
    if (r == AVERROR_EOF || (r < 0 && avio_feof(format_->pb) && !reader_.stopped())) {
      endOfFile_ = true;
      break;
    }
    if (r < 0) {
      *reason = reader_.stopped() ? "stopped" : AvError("av_read_frame", r);
      return Feed::kFailed;
    }
    if (packet_->stream_index == stream->index) {
      packet = packet_;
    } else if (keepOther && packet_->stream_index == other->index) {
      AVPacket* kept = av_packet_alloc();
      if (!kept) {
        av_packet_unref(packet_);
        *reason = AvError("av_packet_alloc", AVERROR(ENOMEM));
        return Feed::kFailed;
      }
      av_packet_move_ref(kept, packet_);
      other->heldBytes += size_t(kept->size);
      other->held.push_back(kept);
    } else {
      av_packet_unref(packet_);
    }
  }
  int r = 0;
  if (packet) {
    r = avcodec_send_packet(stream->codec, packet);
    if (own) av_packet_free(&packet);
    else av_packet_unref(packet);
  } else {
    // The end of the file: the decoder gives out what it still holds.
    stream->flushed = true;
    r = avcodec_send_packet(stream->codec, nullptr);
    if (r == AVERROR_EOF) r = 0;
  }
  // A damaged packet costs its frames, not the movie.
  if (r == AVERROR_INVALIDDATA && damage_.empty()) damage_ = AvError("avcodec_send_packet", r);
  if (r < 0 && r != AVERROR_INVALIDDATA && r != AVERROR(EAGAIN)) {
    *reason = AvError("avcodec_send_packet", r);
    return Feed::kFailed;
  }
  return Feed::kSent;
}

int FfmpegMovieDecoder::receive(Stream* stream, Feed* feedResult, std::string* reason) {
  *feedResult = Feed::kSent;
  for (;;) {
    if (stream->drained) return AVERROR_EOF;
    const int r = avcodec_receive_frame(stream->codec, frame_);
    if (r == 0) return 0;
    // While draining, any answer but a frame ends that decoder.
    if (r == AVERROR_EOF || stream->flushed) {
      stream->drained = true;
      continue;
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_INVALIDDATA) {
      *reason = AvError("avcodec_receive_frame", r);
      return r;
    }
    if (r == AVERROR_INVALIDDATA && damage_.empty()) damage_ = AvError("avcodec_receive_frame", r);
    *feedResult = feed(stream, reason);
    if (*feedResult != Feed::kSent) return AVERROR(EAGAIN);
  }
}

bool FfmpegMovieDecoder::makePicture(const AVFrame* f, int64_t timeUs, MovieVideoFrame* video) {
  scaler_ = sws_getCachedContext(scaler_, f->width, f->height, AVPixelFormat(f->format), width_, height_,
                                 AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  // Every byte is written below: a reused buffer of the right size is not
  // cleared first.
  video->bgra.resize(size_t(width_) * size_t(height_) * 4);
  uint8_t* planes[4] = {video->bgra.data(), nullptr, nullptr, nullptr};
  const int strides[4] = {width_ * 4, 0, 0, 0};
  if (sws_scale(scaler_, f->data, f->linesize, 0, f->height, planes, strides) != height_) return false;
  video->timeMs = RoundToMs(timeUs);
  video->durationMs = RoundToMs(frameUs_);
  return true;
}

MovieDecoder::Result FfmpegMovieDecoder::nextPicture(MovieVideoFrame* video, std::string* error) {
  if (!usable(video, "nextPicture() needs a place for the picture", error)) return kError;
  DamageScope scope(&damage_);
  std::string reason;
  for (;;) {
    Feed fed = Feed::kSent;
    const int r = receive(&video_, &fed, &reason);
    if (fed == Feed::kFull) return kFull;
    if (fed == Feed::kFailed || (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN))) return failed(reason, error);
    if (r == AVERROR_EOF) {
      // The last picture: a frame interval after the one before when it
      // has no timestamp (an MPEG program stream's last frame has none).
      if (!haveWaiting_) return kEnd;
      haveWaiting_ = false;
      const bool made = makePicture(waiting_, waitingUs_, video);
      av_frame_unref(waiting_);
      if (made) return kVideo;
      continue;
    }
    const AVFrame* f = frame_;
    if (f->width < 1 || f->height < 1 || f->width > kMaxPictureSide || f->height > kMaxPictureSide) {
      av_frame_unref(frame_);
      continue;
    }
    // The time: the frame's own when it has one, else a frame interval
    // after the last; never before the last.
    int64_t us = havePicture_ ? lastPictureUs_ + frameUs_ : 0;
    if (f->best_effort_timestamp != AV_NOPTS_VALUE) us = sinceStart(f->best_effort_timestamp, video_.timeBase);
    if (havePicture_) us = std::max(us, lastPictureUs_);
    us = std::max<int64_t>(us, 0);
    havePicture_ = true;
    lastPictureUs_ = us;
    if (!haveWaiting_) {
      av_frame_move_ref(waiting_, frame_);
      waitingUs_ = us;
      haveWaiting_ = true;
      continue;
    }
    // A program stream can stamp a picture with its successor's time: when
    // two pictures share one, the first moves back a frame interval (not
    // before the picture shown last), so that both are seen.
    int64_t shown = waitingUs_;
    if (us == waitingUs_) shown = std::max(waitingUs_ - frameUs_, haveShown_ ? shownUs_ : 0);
    haveShown_ = true;
    shownUs_ = shown;
    const bool made = makePicture(waiting_, shown, video);
    av_frame_unref(waiting_);
    av_frame_move_ref(waiting_, frame_);
    waitingUs_ = us;
    if (made) return kVideo;
  }
}

bool FfmpegMovieDecoder::makeSound(const AVFrame* f, std::string* error) {
  if (f) {
    AVChannelLayout layout{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels < 1) {
      if (f->ch_layout.nb_channels < 1) return true;  // nothing to convert
      av_channel_layout_default(&layout, f->ch_layout.nb_channels);
    } else if (av_channel_layout_copy(&layout, &f->ch_layout) < 0) {
      return true;
    }
    // A new resampler when the stream's format changes (rare; what the old
    // one held is dropped).
    if (!resampler_ || f->format != resamplerFormat_ || f->sample_rate != resamplerRate_ ||
        av_channel_layout_compare(&layout, &resamplerLayout_) != 0) {
      swr_free(&resampler_);
      AVChannelLayout stereo{};
      av_channel_layout_default(&stereo, 2);
      int r = swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_S16, audioRate_, &layout,
                                  AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
      if (r >= 0) r = swr_init(resampler_);
      if (r < 0) {
        av_channel_layout_uninit(&layout);
        swr_free(&resampler_);
        *error = AvError("swr_init", r);
        return false;
      }
      av_channel_layout_uninit(&resamplerLayout_);
      resamplerLayout_ = layout;
      resamplerFormat_ = f->format;
      resamplerRate_ = f->sample_rate;
    } else {
      av_channel_layout_uninit(&layout);
    }
    // The first block sets where sound starts: later, or the part before
    // time 0 dropped.
    if (!soundStarted_) {
      soundStarted_ = true;
      if (f->best_effort_timestamp != AV_NOPTS_VALUE) {
        const int64_t at = av_rescale(sinceStart(f->best_effort_timestamp, audio_.timeBase), audioRate_, 1000000);
        if (at > 0) soundAt_ = at;
        if (at < 0) dropLeft_ = -at;
      }
    }
  }
  if (!resampler_) return true;
  const int room = swr_get_out_samples(resampler_, f ? f->nb_samples : 0);
  if (room < 0) {
    *error = AvError("swr_get_out_samples", room);
    return false;
  }
  const size_t had = sound_.size();
  sound_.resize(had + size_t(room) * 2);
  uint8_t* out = reinterpret_cast<uint8_t*>(sound_.data() + had);
  const int made = f ? swr_convert(resampler_, &out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples)
                     : swr_convert(resampler_, &out, room, nullptr, 0);
  if (made < 0) {
    sound_.resize(had);
    *error = AvError("swr_convert", made);
    return false;
  }
  sound_.resize(had + size_t(made) * 2);
  const int64_t drop = std::min<int64_t>(dropLeft_, int64_t(sound_.size() / 2));
  sound_.erase(sound_.begin(), sound_.begin() + ptrdiff_t(drop) * 2);
  dropLeft_ -= drop;
  return true;
}

MovieDecoder::Result FfmpegMovieDecoder::nextSound(MovieSoundBlock* sound, std::string* error) {
  if (!usable(sound, "nextSound() needs a place for the sound", error)) return kError;
  DamageScope scope(&damage_);
  std::string reason;
  for (;;) {
    if (!sound_.empty()) {
      sound->firstFrame = soundAt_;
      sound->samples.swap(sound_);
      sound_.clear();
      soundAt_ += int64_t(sound->samples.size() / 2);
      return kAudio;
    }
    if (!audio_.codec) return kEnd;
    Feed fed = Feed::kSent;
    const int r = receive(&audio_, &fed, &reason);
    if (fed == Feed::kFull) return kFull;
    if (fed == Feed::kFailed || (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN))) return failed(reason, error);
    if (r == AVERROR_EOF) {
      if (resamplerFlushed_) return kEnd;
      resamplerFlushed_ = true;
      if (!makeSound(nullptr, &reason)) return failed(reason, error);
      continue;
    }
    const bool made = makeSound(frame_, &reason);
    av_frame_unref(frame_);
    if (!made) return failed(reason, error);
  }
}

// What the plain loop allocates, freed on every way out.
struct PlainLoop {
  AVFormatContext* format = nullptr;
  AVCodecContext* codecs[2] = {nullptr, nullptr};
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  std::vector<uint8_t> picture;
  std::vector<int16_t> sound;

  ~PlainLoop() {
    for (AVCodecContext*& c : codecs) avcodec_free_context(&c);
    avformat_close_input(&format);
    av_packet_free(&packet);
    av_frame_free(&frame);
    sws_freeContext(scaler);
    swr_free(&resampler);
  }
};

}  // namespace

namespace movie_module {

std::unique_ptr<MovieDecoder> CreateDecoder() { return std::make_unique<FfmpegMovieDecoder>(); }

int64_t DecodeAlone(const std::string& path, int32_t audioRate, std::string* error) {
  PlainLoop l;
  const auto fail = [error](const char* what, int code) {
    if (error) *error = AvError(what, code);
    return int64_t{-1};
  };
  int r = avformat_open_input(&l.format, path.c_str(), nullptr, nullptr);
  if (r >= 0) r = avformat_find_stream_info(l.format, nullptr);
  if (r < 0) return fail("avformat_open_input", r);
  int streams[2] = {-1, -1};
  const AVMediaType kinds[2] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO};
  for (int k = 0; k < 2; ++k) {
    const AVCodec* codec = nullptr;
    streams[k] = av_find_best_stream(l.format, kinds[k], -1, -1, &codec, 0);
    if (streams[k] < 0) continue;
    l.codecs[k] = avcodec_alloc_context3(codec);
    if (!l.codecs[k]) return fail("avcodec_alloc_context3", AVERROR(ENOMEM));
    avcodec_parameters_to_context(l.codecs[k], l.format->streams[streams[k]]->codecpar);
    l.codecs[k]->thread_count = 1;
    r = avcodec_open2(l.codecs[k], codec, nullptr);
    if (r < 0) return fail("avcodec_open2", r);
  }
  if (!l.codecs[0]) return fail("av_find_best_stream", AVERROR_STREAM_NOT_FOUND);
  l.packet = av_packet_alloc();
  l.frame = av_frame_alloc();
  if (!l.packet || !l.frame) return fail("av_frame_alloc", AVERROR(ENOMEM));
  int64_t pictures = 0;
  const auto take = [&](int k) {
    while (avcodec_receive_frame(l.codecs[k], l.frame) == 0) {
      const AVFrame* f = l.frame;
      if (k == 0) {
        l.scaler = sws_getCachedContext(l.scaler, f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                        AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        l.picture.resize(size_t(f->width) * size_t(f->height) * 4);
        uint8_t* planes[4] = {l.picture.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {f->width * 4, 0, 0, 0};
        if (l.scaler) sws_scale(l.scaler, f->data, f->linesize, 0, f->height, planes, strides);
        ++pictures;
      } else {
        if (!l.resampler) {
          AVChannelLayout stereo{};
          AVChannelLayout in{};
          av_channel_layout_default(&stereo, 2);
          av_channel_layout_copy(&in, &f->ch_layout);
          swr_alloc_set_opts2(&l.resampler, &stereo, AV_SAMPLE_FMT_S16, audioRate, &in, AVSampleFormat(f->format),
                              f->sample_rate, 0, nullptr);
          av_channel_layout_uninit(&in);
          if (l.resampler && swr_init(l.resampler) < 0) swr_free(&l.resampler);
        }
        if (l.resampler) {
          const int room = swr_get_out_samples(l.resampler, f->nb_samples);
          l.sound.resize(size_t(std::max(room, 0)) * 2);
          auto* out = reinterpret_cast<uint8_t*>(l.sound.data());
          swr_convert(l.resampler, &out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        }
      }
      av_frame_unref(l.frame);
    }
  };
  while (av_read_frame(l.format, l.packet) >= 0) {
    for (int k = 0; k < 2; ++k) {
      if (l.codecs[k] && l.packet->stream_index == streams[k] && avcodec_send_packet(l.codecs[k], l.packet) >= 0) {
        take(k);
      }
    }
    av_packet_unref(l.packet);
  }
  for (int k = 0; k < 2; ++k) {
    if (!l.codecs[k]) continue;
    avcodec_send_packet(l.codecs[k], nullptr);
    take(k);
  }
  return pictures;
}

}  // namespace movie_module

}  // namespace platform
