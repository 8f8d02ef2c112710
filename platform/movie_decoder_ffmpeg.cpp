// The movie decoder over FFmpeg: libavformat reads the file, libavcodec
// decodes, libswscale makes BGRA pictures and libswresample 16-bit stereo at
// the caller's rate. Runs on whichever thread calls it (the movie player's
// decoder thread); one codec thread per stream, so a stop is prompt and two
// runs give the same pictures and sound.
#include "platform/movie_decoder.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform {
namespace {

constexpr int32_t kMaxPictureSide = 8192;
constexpr int64_t kDefaultFrameUs = 40000;
constexpr int32_t kMinRate = 8000;
constexpr int32_t kMaxRate = 192000;

std::string AvError(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

int64_t RoundToMs(int64_t us) { return us >= 0 ? (us + 500) / 1000 : -((-us + 500) / 1000); }

class FfmpegMovieDecoder final : public MovieDecoder {
 public:
  ~FfmpegMovieDecoder() override { close(); }

  bool open(const std::string& path, int32_t audioRate, std::string* error) override;
  int32_t width() const override { return width_; }
  int32_t height() const override { return height_; }
  bool hasAudio() const override { return audio_.codec != nullptr; }
  Result next(MovieVideoFrame* video, std::vector<int16_t>* audio, std::string* error) override;

 private:
  struct Stream {
    int index = -1;
    AVCodecContext* codec = nullptr;
    AVRational timeBase{1, 1};
    bool drained = false;  // the decoder answered AVERROR_EOF after the final flush
  };

  void close();
  bool openStream(int index, const AVCodec* codec, Stream* stream, std::string* error);
  bool fail(const std::string& text, std::string* error);
  // Microseconds from the movie's start; the first timestamp seen is the
  // start when the container names none.
  int64_t sinceStart(int64_t timestamp, AVRational timeBase);
  // Turns frame_ into *video. False when the frame is unusable (skipped).
  bool makePicture(MovieVideoFrame* video);
  // Converts frame_ (or, when null, what the resampler still holds) into
  // held_. False with *error on a resampler failure.
  bool makeSound(const AVFrame* frame, std::string* error);

  AVFormatContext* format_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVChannelLayout resamplerLayout_{};
  int resamplerFormat_ = -1;
  int resamplerRate_ = 0;
  Stream video_;
  Stream audio_;
  Stream* pending_ = nullptr;  // the decoder that took the last packet; it may hold frames
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t audioRate_ = 0;
  int64_t frameUs_ = kDefaultFrameUs;
  bool haveStart_ = false;
  int64_t startUs_ = 0;
  bool havePicture_ = false;
  int64_t lastPictureUs_ = 0;
  bool soundStarted_ = false;
  int64_t silenceLeft_ = 0;  // sample pairs of silence owed before held_
  int64_t dropLeft_ = 0;     // sample pairs still to drop (sound before time 0)
  std::vector<int16_t> held_;
  bool endOfFile_ = false;
  bool resamplerFlushed_ = false;
  std::string failure_;  // set once next() failed; every later call repeats it
};

void FfmpegMovieDecoder::close() {
  avcodec_free_context(&video_.codec);
  avcodec_free_context(&audio_.codec);
  avformat_close_input(&format_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  swr_free(&resampler_);
  av_channel_layout_uninit(&resamplerLayout_);
  resamplerFormat_ = -1;
  resamplerRate_ = 0;
  video_ = Stream{};
  audio_ = Stream{};
  pending_ = nullptr;
  width_ = height_ = audioRate_ = 0;
  frameUs_ = kDefaultFrameUs;
  haveStart_ = havePicture_ = soundStarted_ = false;
  startUs_ = lastPictureUs_ = silenceLeft_ = dropLeft_ = 0;
  held_.clear();
  endOfFile_ = resamplerFlushed_ = false;
  failure_.clear();
}

bool FfmpegMovieDecoder::fail(const std::string& text, std::string* error) {
  if (error) *error = text;
  close();
  return false;
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

bool FfmpegMovieDecoder::open(const std::string& path, int32_t audioRate, std::string* error) {
  // FFmpeg's warnings about damaged streams are no news to a player; its
  // errors still reach standard error.
  static const bool quiet = (av_log_set_level(AV_LOG_ERROR), true);
  (void)quiet;
  close();
  if (audioRate < kMinRate || audioRate > kMaxRate) {
    return fail("sound rate " + std::to_string(audioRate) + " is out of range", error);
  }
  // Always a local file: "file:" keeps a name with a colon from reading as
  // a protocol, and the whitelist keeps a playlist-like file from opening
  // anything but files.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  int r = avformat_open_input(&format_, ("file:" + path).c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) return fail(AvError("avformat_open_input", r), error);
  r = avformat_find_stream_info(format_, nullptr);
  if (r < 0) return fail(AvError("avformat_find_stream_info", r), error);

  const AVCodec* codec = nullptr;
  r = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (r < 0) return fail(AvError("av_find_best_stream (video)", r), error);
  const AVCodecParameters* par = format_->streams[r]->codecpar;
  if (par->width < 1 || par->height < 1 || par->width > kMaxPictureSide || par->height > kMaxPictureSide) {
    return fail("picture size " + std::to_string(par->width) + "x" + std::to_string(par->height) + " is out of range",
                error);
  }
  std::string reason;
  if (!openStream(r, codec, &video_, &reason)) return fail(reason, error);
  // A sound stream that cannot be decoded leaves a silent movie.
  codec = nullptr;
  r = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, video_.index, &codec, 0);
  if (r >= 0 && !openStream(r, codec, &audio_, &reason)) audio_ = Stream{};
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    if (int(i) != video_.index && int(i) != audio_.index) format_->streams[i]->discard = AVDISCARD_ALL;
  }

  const AVStream* st = format_->streams[video_.index];
  AVRational rate = st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) {
    frameUs_ = std::clamp<int64_t>(av_rescale(1000000, rate.den, rate.num), 1000, 10000000);
  }
  if (format_->start_time != AV_NOPTS_VALUE) {
    haveStart_ = true;
    startUs_ = format_->start_time;
  }
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!frame_ || !packet_) return fail(AvError("av_frame_alloc", AVERROR(ENOMEM)), error);
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

bool FfmpegMovieDecoder::makePicture(MovieVideoFrame* video) {
  const AVFrame* f = frame_;
  if (f->width < 1 || f->height < 1 || f->width > kMaxPictureSide || f->height > kMaxPictureSide) return false;
  scaler_ = sws_getCachedContext(scaler_, f->width, f->height, AVPixelFormat(f->format), width_, height_,
                                 AV_PIX_FMT_BGRA, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  video->bgra.assign(size_t(width_) * size_t(height_) * 4, 0);
  uint8_t* planes[4] = {video->bgra.data(), nullptr, nullptr, nullptr};
  const int strides[4] = {width_ * 4, 0, 0, 0};
  if (sws_scale(scaler_, f->data, f->linesize, 0, f->height, planes, strides) != height_) return false;
  for (size_t i = 3; i < video->bgra.size(); i += 4) video->bgra[i] = 255;

  // The time: the frame's own when it has one, else a frame interval after
  // the last; never before the last.
  int64_t us = havePicture_ ? lastPictureUs_ + frameUs_ : 0;
  if (f->best_effort_timestamp != AV_NOPTS_VALUE) us = sinceStart(f->best_effort_timestamp, video_.timeBase);
  if (havePicture_) us = std::max(us, lastPictureUs_);
  us = std::max<int64_t>(us, 0);
  havePicture_ = true;
  lastPictureUs_ = us;
  video->timeMs = RoundToMs(us);
  video->durationMs = RoundToMs(frameUs_);
  return true;
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
    // The first block sets where sound starts: silence before it, or the
    // part before time 0 dropped.
    if (!soundStarted_) {
      soundStarted_ = true;
      if (f->best_effort_timestamp != AV_NOPTS_VALUE) {
        const int64_t at = av_rescale(sinceStart(f->best_effort_timestamp, audio_.timeBase), audioRate_, 1000000);
        if (at > 0) silenceLeft_ = at;
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
  const size_t had = held_.size();
  held_.resize(had + size_t(room) * 2);
  uint8_t* out = reinterpret_cast<uint8_t*>(held_.data() + had);
  const int made = f ? swr_convert(resampler_, &out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples)
                     : swr_convert(resampler_, &out, room, nullptr, 0);
  if (made < 0) {
    held_.resize(had);
    *error = AvError("swr_convert", made);
    return false;
  }
  held_.resize(had + size_t(made) * 2);
  const int64_t drop = std::min<int64_t>(dropLeft_, int64_t(held_.size() / 2));
  held_.erase(held_.begin(), held_.begin() + ptrdiff_t(drop) * 2);
  dropLeft_ -= drop;
  return true;
}

MovieDecoder::Result FfmpegMovieDecoder::next(MovieVideoFrame* video, std::vector<int16_t>* audio,
                                              std::string* error) {
  std::string reason;
  const auto failed = [&](const std::string& text) {
    failure_ = text;
    if (error) *error = text;
    return kError;
  };
  if (!video || !audio) {
    if (error) *error = "next() needs a place for both kinds of result";
    return kError;
  }
  if (!format_) return failed("the movie is not open");
  if (!failure_.empty()) return failed(failure_);
  for (;;) {
    // Sound that is ready goes first: owed silence (a second at a time),
    // then what the resampler made.
    if (silenceLeft_ > 0) {
      const int64_t n = std::min<int64_t>(silenceLeft_, audioRate_);
      audio->assign(size_t(n) * 2, 0);
      silenceLeft_ -= n;
      return kAudio;
    }
    if (!held_.empty()) {
      audio->swap(held_);
      held_.clear();
      return kAudio;
    }
    if (pending_) {
      const int r = avcodec_receive_frame(pending_->codec, frame_);
      if (r == 0) {
        const bool isVideo = pending_ == &video_;
        const bool made = isVideo ? makePicture(video) : makeSound(frame_, &reason);
        av_frame_unref(frame_);
        if (!made && !isVideo) return failed(reason);
        if (made && isVideo) return kVideo;
        continue;
      }
      // A damaged packet costs its frames, not the movie; while draining,
      // any answer but a frame ends that decoder.
      if (r != AVERROR(EAGAIN) && r != AVERROR_EOF && r != AVERROR_INVALIDDATA && !endOfFile_) {
        return failed(AvError("avcodec_receive_frame", r));
      }
      if (endOfFile_) pending_->drained = true;
      pending_ = nullptr;
      continue;
    }
    if (!endOfFile_) {
      int r = av_read_frame(format_, packet_);
      if (r == AVERROR_EOF) {
        endOfFile_ = true;
        continue;
      }
      if (r < 0) return failed(AvError("av_read_frame", r));
      Stream* target = packet_->stream_index == video_.index                        ? &video_
                       : audio_.codec && packet_->stream_index == audio_.index ? &audio_
                                                                               : nullptr;
      if (target) r = avcodec_send_packet(target->codec, packet_);
      av_packet_unref(packet_);
      if (!target) continue;
      if (r < 0 && r != AVERROR_INVALIDDATA) return failed(AvError("avcodec_send_packet", r));
      pending_ = target;
      continue;
    }
    // The end of the file: drain the video decoder, then the sound decoder,
    // then the resampler.
    Stream* drain = !video_.drained ? &video_ : audio_.codec && !audio_.drained ? &audio_ : nullptr;
    if (drain) {
      const int r = avcodec_send_packet(drain->codec, nullptr);
      if (r < 0 && r != AVERROR_EOF) drain->drained = true;
      else pending_ = drain;
      continue;
    }
    if (audio_.codec && !resamplerFlushed_) {
      resamplerFlushed_ = true;
      if (!makeSound(nullptr, &reason)) return failed(reason);
      continue;
    }
    return kEnd;
  }
}

}  // namespace

std::unique_ptr<MovieDecoder> CreateFfmpegMovieDecoder() { return std::make_unique<FfmpegMovieDecoder>(); }

}  // namespace platform
