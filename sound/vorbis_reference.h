// libvorbis on its own, with none of the sound library around it: a whole
// in-memory Ogg Vorbis file decoded by libvorbisfile's ov_read (the
// measure DSVorbis is compared with), and an encoder over libvorbisenc
// that makes Ogg files for tests, seeds and benchmarks. Pure functions over
// their arguments; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes every frame of the file into *pcm as little-endian 16-bit signed
// interleaved samples (ov_read straight into the buffer, in the stream's own
// channel count). False when libvorbisfile cannot open the bytes.
bool ReferenceDecodeOgg(const uint8_t* data, size_t size, std::vector<uint8_t>* pcm);

// The same decoding a piece at a time, for baselines that pace it as a
// player does. One thread at a time; the bytes must outlive the reader.
class ReferenceOggReader {
 public:
  ReferenceOggReader(const uint8_t* data, size_t size);
  ~ReferenceOggReader();
  ReferenceOggReader(const ReferenceOggReader&) = delete;
  ReferenceOggReader& operator=(const ReferenceOggReader&) = delete;

  bool isOpen() const { return open_; }
  int32_t channels() const { return channels_; }
  // Up to `frames` frames into pcm (frames x channels samples); the frames
  // decoded, 0 at the end.
  int64_t read(int16_t* pcm, int64_t frames);
  // libvorbisfile's own sample-exact seek (ov_pcm_seek); false when it fails.
  // For valid files only: it crashes on some damaged ones.
  bool seek(int64_t frame);

 private:
  struct State;
  State* state_;
  bool open_ = false;
  int32_t channels_ = 0;
};

// Encodes interleaved 16-bit PCM (frames x channels samples) as one Ogg
// Vorbis stream with the given serial number, VBR at `quality` (-0.1..1;
// 0.4 is about 128 kbit/s for 44.1 kHz stereo). Each comment is stored as
// its raw bytes (normally "KEY=value" in UTF-8; it must hold no NUL).
// Appends the file to *out; false when libvorbisenc refuses the settings.
bool EncodeOggVorbis(const int16_t* pcm, int64_t frames, int32_t channels, int32_t rate, float quality,
                     int32_t serial, const std::vector<std::string>& comments, std::vector<uint8_t>* out);
