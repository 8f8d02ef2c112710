// libvorbisfile decoding from memory with its own callbacks, and
// libvorbisenc encoding as in libvorbis's encoder example.
#include "sound/vorbis_reference.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t position;
};

size_t ReadMemory(void* buffer, size_t size, size_t count, void* source) {
  auto* m = static_cast<MemorySource*>(source);
  if (size == 0) return 0;
  const size_t n = std::min(count, (m->size - m->position) / size);
  std::memcpy(buffer, m->data + m->position, n * size);
  m->position += n * size;
  return n;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* m = static_cast<MemorySource*>(source);
  const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(m->position)
                                                                      : static_cast<ogg_int64_t>(m->size);
  const ogg_int64_t target = base + offset;
  if (target < 0 || target > static_cast<ogg_int64_t>(m->size)) return -1;
  m->position = static_cast<size_t>(target);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<MemorySource*>(source)->position); }

void AppendPage(const ogg_page& page, std::vector<uint8_t>* out) {
  out->insert(out->end(), page.header, page.header + page.header_len);
  out->insert(out->end(), page.body, page.body + page.body_len);
}

}  // namespace

bool ReferenceDecodeOgg(const uint8_t* data, size_t size, std::vector<uint8_t>* pcm) {
  MemorySource source{data, size, 0};
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  OggVorbis_File file;
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) < 0) return false;
  // Opening a seekable chain leaves it at its last link.
  if (ov_seekable(&file)) ov_raw_seek(&file, 0);
  const vorbis_info* info = ov_info(&file, -1);
  const ogg_int64_t total = ov_pcm_total(&file, -1);
  pcm->assign(static_cast<size_t>(std::max<ogg_int64_t>(total, 0)) * info->channels * 2, 0);
  size_t got = 0;
  int link = 0;
  while (got < pcm->size()) {
    const long n = ov_read(&file, reinterpret_cast<char*>(pcm->data() + got),
                           static_cast<int>(std::min<size_t>(pcm->size() - got, 1 << 20)), 0, 2, 1, &link);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  pcm->resize(got);
  ov_clear(&file);
  return true;
}

struct ReferenceOggReader::State {
  MemorySource source;
  OggVorbis_File file;
};

ReferenceOggReader::ReferenceOggReader(const uint8_t* data, size_t size) : state_(new State{{data, size, 0}, {}}) {
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  open_ = ov_open_callbacks(&state_->source, &state_->file, nullptr, 0, callbacks) >= 0;
  if (open_ && ov_seekable(&state_->file)) ov_raw_seek(&state_->file, 0);
  if (open_) channels_ = ov_info(&state_->file, -1)->channels;
}

ReferenceOggReader::~ReferenceOggReader() {
  if (open_) ov_clear(&state_->file);
  delete state_;
}

int64_t ReferenceOggReader::read(int16_t* pcm, int64_t frames) {
  if (!open_ || frames <= 0) return 0;
  const int64_t total = frames * channels_ * 2;
  int64_t got = 0;
  int link = 0;
  while (got < total) {
    const long n = ov_read(&state_->file, reinterpret_cast<char*>(pcm) + got,
                           static_cast<int>(std::min<int64_t>(total - got, 1 << 20)), 0, 2, 1, &link);
    if (n <= 0) break;
    got += n;
  }
  return got / (channels_ * 2);
}

bool ReferenceOggReader::seek(int64_t frame) { return open_ && ov_pcm_seek(&state_->file, frame) == 0; }

bool EncodeOggVorbis(const int16_t* pcm, int64_t frames, int32_t channels, int32_t rate, float quality,
                     int32_t serial, const std::vector<std::string>& comments, std::vector<uint8_t>* out) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (channels < 1 || vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  for (const std::string& text : comments) vorbis_comment_add(&comment, text.c_str());

  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);

  ogg_packet identification, commentPacket, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &identification, &commentPacket, &codebooks);
  ogg_stream_packetin(&stream, &identification);
  ogg_stream_packetin(&stream, &commentPacket);
  ogg_stream_packetin(&stream, &codebooks);
  ogg_page page;
  // The headers end on a page of their own, as the format asks.
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(page, out);

  constexpr int64_t kChunk = 1024;
  int64_t done = 0;
  bool last = false;
  while (!last) {
    const int64_t n = std::min(kChunk, frames - done);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (int64_t i = 0; i < n; ++i) {
        for (int32_t c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      done += n;
    } else {
      vorbis_analysis_wrote(&dsp, 0);  // the end of the stream
      last = true;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) AppendPage(page, out);
      }
    }
  }
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(page, out);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return true;
}
