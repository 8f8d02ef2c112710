// The MPEG-1 movie writer over libavformat and libavcodec, into a memory
// buffer. Reproducible bytes: bitexact flags everywhere, one codec thread,
// no B-frames, the C transforms FFmpeg's own regression tests use, the
// integer MP2 encoder, and the BGRA to YUV conversion done here in integers.
#include "platform/movie_encoder.h"
#include "platform/movie_module.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace platform {
namespace {

constexpr int32_t kMaxSide = 4095;  // MPEG-1's 12-bit picture size fields

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool Fail(std::string* error, const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return Fail(error, std::string(what) + ": " + text);
}

// Everything one encode allocates, freed on every way out.
struct Encoding {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;

  ~Encoding() {
    if (format && format->pb) {
      uint8_t* bytes = nullptr;
      avio_close_dyn_buf(format->pb, &bytes);
      av_free(bytes);
      format->pb = nullptr;
    }
    avformat_free_context(format);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
};

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// BT.601 studio range, the matrix decoders assume for MPEG-1.
uint8_t LumaOf(int32_t r, int32_t g, int32_t b) { return Clamp8(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }
uint8_t BlueDiffOf(int32_t r, int32_t g, int32_t b) { return Clamp8(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128); }
uint8_t RedDiffOf(int32_t r, int32_t g, int32_t b) { return Clamp8(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128); }

// Fills a YUV 4:2:0 frame from BGRA; chroma from the mean of each 2x2 block
// (the last row or column repeats when the size is odd).
void FillYuv(const uint8_t* bgra, int32_t width, int32_t height, AVFrame* frame) {
  const auto pixel = [&](int32_t x, int32_t y) { return bgra + (size_t(y) * size_t(width) + size_t(x)) * 4; };
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = frame->data[0] + ptrdiff_t(y) * frame->linesize[0];
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = pixel(x, y);
      row[x] = LumaOf(p[2], p[1], p[0]);
    }
  }
  for (int32_t y = 0; y < (height + 1) / 2; ++y) {
    uint8_t* u = frame->data[1] + ptrdiff_t(y) * frame->linesize[1];
    uint8_t* v = frame->data[2] + ptrdiff_t(y) * frame->linesize[2];
    for (int32_t x = 0; x < (width + 1) / 2; ++x) {
      int32_t r = 0, g = 0, b = 0;
      for (int32_t dy = 0; dy < 2; ++dy) {
        for (int32_t dx = 0; dx < 2; ++dx) {
          const uint8_t* p = pixel(std::min(2 * x + dx, width - 1), std::min(2 * y + dy, height - 1));
          b += p[0];
          g += p[1];
          r += p[2];
        }
      }
      u[x] = BlueDiffOf((r + 2) / 4, (g + 2) / 4, (b + 2) / 4);
      v[x] = RedDiffOf((r + 2) / 4, (g + 2) / 4, (b + 2) / 4);
    }
  }
}

// Moves every packet the encoder has ready into the muxer. 0 or an error.
int WritePackets(Encoding& e, AVCodecContext* codec, AVStream* stream) {
  for (;;) {
    int r = avcodec_receive_packet(codec, e.packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
    if (r < 0) return r;
    e.packet->stream_index = stream->index;
    av_packet_rescale_ts(e.packet, codec->time_base, stream->time_base);
    r = av_interleaved_write_frame(e.format, e.packet);
    if (r < 0) return r;
  }
}

bool OpenVideo(Encoding& e, const MovieEncodeParams& p, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  if (!codec) return Fail(error, "no MPEG-1 video encoder in libavcodec");
  e.video = avcodec_alloc_context3(codec);
  if (!e.video) return Fail(error, "avcodec_alloc_context3", AVERROR(ENOMEM));
  AVCodecContext* c = e.video;
  c->width = p.width;
  c->height = p.height;
  c->time_base = AVRational{1, p.framesPerSecond};
  c->framerate = AVRational{p.framesPerSecond, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->bit_rate = p.videoBitRate;
  c->gop_size = 12;
  c->max_b_frames = 0;
  c->thread_count = 1;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  c->dct_algo = FF_DCT_FASTINT;
  c->idct_algo = FF_IDCT_SIMPLE;
  int r = avcodec_open2(c, codec, nullptr);
  if (r < 0) return Fail(error, "avcodec_open2 (video)", r);
  e.videoStream = avformat_new_stream(e.format, nullptr);
  if (!e.videoStream) return Fail(error, "avformat_new_stream", AVERROR(ENOMEM));
  e.videoStream->time_base = c->time_base;
  r = avcodec_parameters_from_context(e.videoStream->codecpar, c);
  return r < 0 ? Fail(error, "avcodec_parameters_from_context", r) : true;
}

bool OpenAudio(Encoding& e, const MovieEncodeParams& p, std::string* error) {
  // The fixed-point MP2 encoder: no floating point, the same bytes on any CPU.
  const AVCodec* codec = avcodec_find_encoder_by_name("mp2fixed");
  if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
  if (!codec) return Fail(error, "no MP2 encoder in libavcodec");
  e.audio = avcodec_alloc_context3(codec);
  if (!e.audio) return Fail(error, "avcodec_alloc_context3", AVERROR(ENOMEM));
  AVCodecContext* c = e.audio;
  c->sample_fmt = AV_SAMPLE_FMT_S16;
  c->sample_rate = p.audioRate;
  av_channel_layout_default(&c->ch_layout, 2);
  c->bit_rate = p.audioBitRate;
  c->time_base = AVRational{1, p.audioRate};
  c->thread_count = 1;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  int r = avcodec_open2(c, codec, nullptr);
  if (r < 0) return Fail(error, "avcodec_open2 (sound)", r);
  if (c->frame_size < 1) return Fail(error, "the MP2 encoder has no frame size");
  e.audioStream = avformat_new_stream(e.format, nullptr);
  if (!e.audioStream) return Fail(error, "avformat_new_stream", AVERROR(ENOMEM));
  e.audioStream->time_base = c->time_base;
  r = avcodec_parameters_from_context(e.audioStream->codecpar, c);
  return r < 0 ? Fail(error, "avcodec_parameters_from_context", r) : true;
}

// Sends picture `index` to the video encoder (a fresh buffer each time: the
// encoder keeps references to frames it still needs).
int SendPicture(Encoding& e, const MovieEncodeParams& p, const std::vector<uint8_t>& bgra, int64_t index) {
  av_frame_unref(e.frame);
  e.frame->format = AV_PIX_FMT_YUV420P;
  e.frame->width = p.width;
  e.frame->height = p.height;
  int r = av_frame_get_buffer(e.frame, 0);
  if (r < 0) return r;
  FillYuv(bgra.data(), p.width, p.height, e.frame);
  e.frame->pts = index;
  return avcodec_send_frame(e.video, e.frame);
}

// Sends sound block `index` (frame_size sample pairs, the last one padded
// with silence) to the sound encoder.
int SendSound(Encoding& e, const std::vector<int16_t>& stereo, int64_t index) {
  const int32_t size = e.audio->frame_size;
  av_frame_unref(e.frame);
  e.frame->format = AV_SAMPLE_FMT_S16;
  e.frame->sample_rate = e.audio->sample_rate;
  e.frame->nb_samples = size;
  int r = av_channel_layout_copy(&e.frame->ch_layout, &e.audio->ch_layout);
  if (r >= 0) r = av_frame_get_buffer(e.frame, 0);
  if (r < 0) return r;
  const size_t first = size_t(index) * size_t(size) * 2;
  const size_t count = std::min(stereo.size() - first, size_t(size) * 2);
  auto* samples = reinterpret_cast<int16_t*>(e.frame->data[0]);
  std::fill(samples, samples + size_t(size) * 2, int16_t(0));
  std::copy(stereo.begin() + ptrdiff_t(first), stereo.begin() + ptrdiff_t(first + count), samples);
  // The encoder stamps each packet its priming delay (initial_padding,
  // 481 samples for MP2) before the input; counting from that delay puts the
  // first sound packet at the first picture's time, so the movie's timeline
  // starts with its first frame (the sound comes out those 11 ms late).
  e.frame->pts = index * size + e.audio->initial_padding;
  return avcodec_send_frame(e.audio, e.frame);
}

}  // namespace

namespace movie_module {

bool EncodeMpeg(const MovieEncodeParams& params, const std::vector<std::vector<uint8_t>>& frames,
                const std::vector<int16_t>& stereo, std::vector<uint8_t>* out, std::string* error) {
  // FFmpeg's notes (a VBV size it picked, and so on) are noise in a build
  // tool's output; its errors still show.
  static const bool quiet = (av_log_set_level(AV_LOG_ERROR), true);
  (void)quiet;
  if (!out) return Fail(error, "no output buffer");
  out->clear();
  const MovieEncodeParams& p = params;
  if (p.width < 1 || p.height < 1 || p.width > kMaxSide || p.height > kMaxSide) {
    return Fail(error, "picture size " + std::to_string(p.width) + "x" + std::to_string(p.height) + " is out of range");
  }
  if (p.framesPerSecond < 1 || p.videoBitRate < 1) return Fail(error, "no frame rate or bit rate");
  if (frames.empty()) return Fail(error, "no frames");
  const size_t frameBytes = size_t(p.width) * size_t(p.height) * 4;
  for (const std::vector<uint8_t>& frame : frames) {
    if (frame.size() != frameBytes) return Fail(error, "a frame is not width x height x 4 bytes");
  }
  const bool withSound = !stereo.empty();
  if (withSound && (stereo.size() % 2 != 0 || p.audioRate < 1 || p.audioBitRate < 1)) {
    return Fail(error, "sound is not whole stereo pairs at a positive rate");
  }

  Encoding e;
  int r = avformat_alloc_output_context2(&e.format, nullptr, "mpeg", nullptr);
  if (r < 0 || !e.format) return Fail(error, "avformat_alloc_output_context2", r < 0 ? r : AVERROR_MUXER_NOT_FOUND);
  e.format->flags |= AVFMT_FLAG_BITEXACT;
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  if (!e.frame || !e.packet) return Fail(error, "av_frame_alloc", AVERROR(ENOMEM));
  if (!OpenVideo(e, p, error)) return false;
  if (withSound && !OpenAudio(e, p, error)) return false;
  r = avio_open_dyn_buf(&e.format->pb);
  if (r < 0) return Fail(error, "avio_open_dyn_buf", r);
  r = avformat_write_header(e.format, nullptr);
  if (r < 0) return Fail(error, "avformat_write_header", r);

  // Pictures and sound blocks go in by time, so the muxer never waits long.
  const int64_t pictures = int64_t(frames.size());
  const int64_t blockSize = withSound ? e.audio->frame_size : 1;
  const int64_t blocks = withSound ? (int64_t(stereo.size() / 2) + blockSize - 1) / blockSize : 0;
  int64_t picture = 0, block = 0;
  while (picture < pictures || block < blocks) {
    const bool videoFirst =
        block >= blocks || (picture < pictures && picture * p.audioRate <= block * blockSize * p.framesPerSecond);
    if (videoFirst) {
      r = SendPicture(e, p, frames[size_t(picture)], picture);
      if (r < 0) return Fail(error, "avcodec_send_frame (video)", r);
      r = WritePackets(e, e.video, e.videoStream);
      ++picture;
    } else {
      r = SendSound(e, stereo, block);
      if (r < 0) return Fail(error, "avcodec_send_frame (sound)", r);
      r = WritePackets(e, e.audio, e.audioStream);
      ++block;
    }
    if (r < 0) return Fail(error, "av_interleaved_write_frame", r);
  }
  // Drain both encoders, then close the file.
  r = avcodec_send_frame(e.video, nullptr);
  if (r >= 0) r = WritePackets(e, e.video, e.videoStream);
  if (r >= 0 && withSound) r = avcodec_send_frame(e.audio, nullptr);
  if (r >= 0 && withSound) r = WritePackets(e, e.audio, e.audioStream);
  if (r < 0) return Fail(error, "flushing the encoders", r);
  r = av_write_trailer(e.format);
  if (r < 0) return Fail(error, "av_write_trailer", r);

  uint8_t* bytes = nullptr;
  const int size = avio_close_dyn_buf(e.format->pb, &bytes);
  e.format->pb = nullptr;
  if (bytes && size > 0) out->assign(bytes, bytes + size);
  av_free(bytes);
  return out->empty() ? Fail(error, "the muxer wrote nothing") : true;
}

}  // namespace movie_module

}  // namespace platform
