// The Ogg Vorbis decoder over libvorbisfile, reading its media through
// callbacks, with the stream's comments as metadata. Mono or stereo only;
// every link of a chained stream must share rate and channel count. Seeks
// never use libvorbisfile's bisecting seeks (they crash on some damaged
// files): a seek goes by raw seek to a page the decoder has passed itself,
// to the start, or, far from both, to a page found by halving the file's
// bytes, and decodes forward from there. One thread at a time (see
// UTDataSource).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/meta_data.h"
#include "sound/sound_records.h"
#include "sound/ut_data_source.h"
#include "sound/ut_media.h"

struct OggVorbis_File;

class DSVorbis final : public UTDataSource {
 public:
  struct VorbisSeekPoint final : DSSeekPoint {
    using DSSeekPoint::DSSeekPoint;
  };

  // Opens the media as Ogg Vorbis; on success the decoder takes it over
  // (media becomes null). Otherwise media stays with the caller, *result is
  // 10 and *why says why.
  static std::unique_ptr<DSVorbis> open(std::unique_ptr<UTMedia>& media, int32_t* result, std::u16string* why);
  ~DSVorbis() override;

  int32_t getFormat(UTFormat* out) const override;
  int32_t getMetaData(MetaDataList* out) const override;
  int32_t read(void* buffer, int32_t frames) override;
  void restoreSeekPoint(const DSSeekPoint& point) override;
  int64_t seek(int64_t frame) override;
  int32_t createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const override;
  // The frames delivered since the start or the last seek (0..length).
  int64_t tell() const override { return position_; }

 private:
  struct FileDeleter {
    void operator()(OggVorbis_File* file) const;
  };

  // A page boundary passed while decoding: raw seeking to `offset` resumes
  // at or after `frame` (the frames delivered when it was passed).
  struct Checkpoint {
    int64_t offset;
    int64_t frame;
  };

  DSVorbis(std::unique_ptr<UTMedia> media, std::unique_ptr<OggVorbis_File, FileDeleter> file);
  void readComments();
  // Decodes and drops frames until the position is `frame`; false when the
  // stream ends or breaks first.
  bool skipTo(int64_t frame);
  // Notes the page boundary the stream stands at, `frame` frames in, when
  // that is far enough from the checkpoints around it.
  void noteCheckpoint(int64_t frame);
  // Raw-seeks to the byte offset; the frame decoding resumes at, or -1.
  int64_t resumeFrom(int64_t offset);
  // Raw-seeks to a page after `from` from which decoding resumes shortly
  // before `frame` (an eighth of a second, or as near as the pages allow)
  // and sets the position there. False, the stream standing anywhere, when
  // no page after `from` resumes at or before the frame.
  bool landNear(int64_t frame, const Checkpoint& from);

  UTFormat format_;
  // Declared before the stream state: the state is cleared first.
  std::unique_ptr<UTMedia> media_;
  std::unique_ptr<OggVorbis_File, FileDeleter> file_;
  MetaDataList meta_;
  int64_t position_ = 0;
  // Ascending in offset and frame, about a second of sound apart at least;
  // the first is the start (0, 0).
  std::vector<Checkpoint> checkpoints_;
};
