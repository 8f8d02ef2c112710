// The RIFF WAVE PCM decoder: mono or stereo, 8 or 16 bits, 100..200000 Hz.
// Every size and offset read from the file is checked against the media's
// real size. One thread at a time (see UTDataSource).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sound/meta_data.h"
#include "sound/sound_records.h"
#include "sound/ut_data_source.h"
#include "sound/ut_media.h"

class DSWave final : public UTDataSource {
 public:
  struct WaveSeekPoint final : DSSeekPoint {
    using DSSeekPoint::DSSeekPoint;
  };

  // Whether the media starts like a WAVE PCM file ("RIFF", "WAVE", "fmt "
  // and format tag 1); the position is left at 0. A WAVE file with another
  // format tag sets *problem (when given) to say which.
  static bool check(UTMedia& media, std::u16string* problem = nullptr);
  // Parses the media; on success the decoder takes it over (media becomes
  // null), else media stays with the caller. *problem says why it was
  // refused, or, for a decoder made, that the data is cut short (it plays
  // what the media holds); empty when nothing is wrong.
  static std::unique_ptr<DSWave> open(std::unique_ptr<UTMedia>& media, std::u16string* problem);

  int32_t getFormat(UTFormat* out) const override;
  int32_t getMetaData(MetaDataList* out) const override;
  int32_t read(void* buffer, int32_t frames) override;
  void restoreSeekPoint(const DSSeekPoint& point) override;
  int64_t seek(int64_t frame) override;
  int32_t createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const override;
  int64_t tell() const override { return position_; }

 private:
  DSWave(std::unique_ptr<UTMedia> media, const UTFormat& format, int64_t dataOffset);

  UTFormat format_;
  std::unique_ptr<UTMedia> media_;
  int64_t dataOffset_;  // byte offset of frame 0
  int64_t position_ = 0;
  MetaDataList meta_;  // always empty
};
