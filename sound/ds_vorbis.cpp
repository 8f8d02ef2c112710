// Ogg Vorbis decoding through libvorbisfile over UTMedia callbacks, the
// refusals of streams the mixer cannot play, and the comments as metadata.
#include "sound/ds_vorbis.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sound/sound_log.h"

namespace {

constexpr long kMinRate = 100;
constexpr long kMaxRate = 200000;
constexpr int kMaxHolesInARow = 64;
// Checkpoints are noted about once a second of sound, and at most this many
// (an hour and more of sound at 44.1 kHz; further on seeks decode further).
constexpr size_t kMaxCheckpoints = 1 << 16;
// Frames decoded at a time while skipping to a seek's frame.
constexpr int32_t kSkipFrames = 4096;

size_t ReadMedia(void* buffer, size_t size, size_t count, void* media) {
  if (size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
  return static_cast<UTMedia*>(media)->read(buffer, size * count) / size;
}

// libvorbisfile wants 0 on success and -1 for a refused seek.
int SeekMedia(void* media, ogg_int64_t offset, int whence) {
  return static_cast<UTMedia*>(media)->seek(offset, whence) < 0 ? -1 : 0;
}

long TellMedia(void* media) { return static_cast<long>(static_cast<UTMedia*>(media)->tell()); }

// The media is the decoder's and goes with it, not with the stream state.
constexpr ov_callbacks kCallbacks = {ReadMedia, SeekMedia, nullptr, TellMedia};

// Strict UTF-8 to UTF-16: false for a bad lead or continuation byte, a
// short or overlong sequence, a surrogate or a value above U+10FFFF.
bool DecodeUtf8(const unsigned char* text, size_t length, std::u16string* out) {
  out->clear();
  out->reserve(length);
  size_t i = 0;
  while (i < length) {
    const unsigned char lead = text[i];
    uint32_t cp;
    size_t extra;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      cp = lead & 0x1F;
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      cp = lead & 0x0F;
      extra = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      cp = lead & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (length - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char c = text[i + k];
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

// Why the stream cannot be played, or null when it can.
const char16_t* Refusal(OggVorbis_File* file) {
  const vorbis_info* info = ov_info(file, -1);
  if (!info) return u"no stream information";
  if (ov_pcm_total(file, -1) < 0) return u"length unknown";
  if (info->channels < 1 || info->channels > 2) return u"more than two channels";
  if (info->rate < kMinRate || info->rate > kMaxRate) return u"sample rate out of range";
  const long links = ov_streams(file);
  for (long link = 0; link < links; ++link) {
    const vorbis_info* other = ov_info(file, static_cast<int>(link));
    if (!other || other->rate != info->rate || other->channels != info->channels) {
      return u"chained links differ in rate or channels";
    }
  }
  return nullptr;
}

// What a failed ov_open_callbacks means.
const char16_t* OpenError(int code) {
  switch (code) {
    case OV_EREAD: return u"the data cannot be read";
    case OV_ENOTVORBIS: return u"not Ogg Vorbis data";
    case OV_EVERSION: return u"a Vorbis version this decoder does not know";
    case OV_EBADHEADER: return u"a broken Vorbis header";
    case OV_EFAULT: return u"the decoder's internal state broke";
    default: return u"an unknown error";
  }
}

}  // namespace

void DSVorbis::FileDeleter::operator()(OggVorbis_File* file) const {
  ov_clear(file);
  delete file;
}

std::unique_ptr<DSVorbis> DSVorbis::open(std::unique_ptr<UTMedia>& media, int32_t* result, std::u16string* why) {
  *result = kSoundUnrecognised;
  why->clear();
  auto* raw = new OggVorbis_File();
  const int opened = ov_open_callbacks(media.get(), raw, nullptr, 0, kCallbacks);
  if (opened < 0) {
    // A failed open has cleared the state already.
    delete raw;
    *why = std::u16string(u"failed to ov_open_callbacks(): ") + OpenError(opened);
    return nullptr;
  }
  std::unique_ptr<OggVorbis_File, FileDeleter> file(raw);
  // Opening a seekable chain leaves it at its last link: back to the start.
  if (ov_seekable(file.get()) && ov_raw_seek(file.get(), 0) != 0) {
    *why = u"DSVorbis : cannot seek to the start";
    return nullptr;
  }
  if (const char16_t* refusal = Refusal(file.get())) {
    *why = std::u16string(u"DSVorbis : unsupported stream (") + refusal + u")";
    return nullptr;
  }
  std::unique_ptr<DSVorbis> vorbis(new DSVorbis(std::move(media), std::move(file)));
  *result = kSoundOk;
  return vorbis;
}

DSVorbis::DSVorbis(std::unique_ptr<UTMedia> media, std::unique_ptr<OggVorbis_File, FileDeleter> file)
    : media_(std::move(media)), file_(std::move(file)) {
  const vorbis_info* info = ov_info(file_.get(), -1);
  format_.sampleRate = static_cast<int32_t>(info->rate);
  format_.channels = info->channels;
  format_.bitsPerSample = 16;
  format_.bytesPerFrame = format_.channels * 2;
  format_.length = ov_pcm_total(file_.get(), -1);
  checkpoints_.push_back({0, 0});
  readComments();
}

DSVorbis::~DSVorbis() = default;

void DSVorbis::readComments() {
  const vorbis_comment* comments = ov_comment(file_.get(), -1);
  if (!comments) return;
  // Collected first so that a repeated key costs no list reshuffle: the
  // list keeps each key's last value at the place of its last occurrence.
  std::vector<std::pair<std::u16string, std::u16string>> pairs;
  std::unordered_map<std::u16string, size_t> last;
  std::u16string text;
  for (int i = 0; i < comments->comments; ++i) {
    const char* bytes = comments->user_comments[i];
    const int length = comments->comment_lengths ? comments->comment_lengths[i] : 0;
    if (!bytes || length < 0) continue;
    if (!DecodeUtf8(reinterpret_cast<const unsigned char*>(bytes), static_cast<size_t>(length), &text)) continue;
    UTLog(kUTProgress, u"%s\n", text);
    const size_t equals = text.find(u'=');
    if (equals == std::u16string::npos) continue;
    std::u16string key = text.substr(0, equals);
    std::u16string value = text.substr(equals + 1);
    UTLog(kUTProgress, u"DSVorbis::adding entry key='%s' value='%s'\n", key, value);
    last[key] = pairs.size();
    pairs.emplace_back(std::move(key), std::move(value));
  }
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (last[pairs[i].first] != i) continue;
    meta_.add(std::make_unique<EntryImpl<std::u16string>>(std::move(pairs[i].first), std::move(pairs[i].second)));
  }
}

int32_t DSVorbis::getFormat(UTFormat* out) const {
  *out = format_;
  return 0;
}

int32_t DSVorbis::getMetaData(MetaDataList* out) const {
  *out = meta_;
  return 0;
}

int32_t DSVorbis::read(void* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int64_t frameBytes = format_.bytesPerFrame;
  auto* out = static_cast<char*>(buffer);
  // Counted here, not taken from the stream: a page repeated in the file
  // decodes twice and sets libvorbisfile's own offset back, so only this
  // count keeps the frames delivered within the length.
  const int64_t wanted = std::clamp<int64_t>(format_.length - position_, 0, frames);
  int64_t got = 0;
  const int64_t total = wanted * frameBytes;
  // A hole (a page missing, repeated or broken) is passed over: decoding
  // goes on after it. A run of nothing but holes ends the read.
  for (int holes = 0; got < total && holes < kMaxHolesInARow;) {
    int link = 0;
    const long n = ov_read(file_.get(), out + got, static_cast<int>(std::min<int64_t>(total - got, INT_MAX)),
                           0 /* little-endian */, 2 /* 16-bit */, 1 /* signed */, &link);
    if (n == OV_HOLE) {
      ++holes;
      continue;
    }
    if (n <= 0) break;
    holes = 0;
    got += n;
    noteCheckpoint(position_ + got / frameBytes);
  }
  // A stream that ends before its length, or breaks off, reads as silence.
  const int64_t delivered = got / frameBytes;
  std::memset(out + delivered * frameBytes, 0, static_cast<size_t>((frames - delivered) * frameBytes));
  position_ += delivered;
  return static_cast<int32_t>(delivered);
}

void DSVorbis::noteCheckpoint(int64_t frame) {
  const Checkpoint& last = checkpoints_.back();
  if (checkpoints_.size() >= kMaxCheckpoints || frame - last.frame < format_.sampleRate) return;
  // The stream has read up to the end of a page: the next one starts here.
  // Sound decoded from there starts at or after the frames delivered so far.
  const int64_t offset = ov_raw_tell(file_.get());
  if (offset > last.offset) checkpoints_.push_back({offset, frame});
}

bool DSVorbis::skipTo(int64_t frame) {
  std::vector<uint8_t> scratch(static_cast<size_t>(kSkipFrames) * static_cast<size_t>(format_.bytesPerFrame));
  while (position_ < frame) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(frame - position_, kSkipFrames));
    if (read(scratch.data(), want) < 1) return false;
  }
  return true;
}

int64_t DSVorbis::seek(int64_t frame) {
  if (frame < 0 || frame > format_.length) return position_;
  // The last checkpoint at or before the frame; the first one is the start.
  auto next = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), frame,
                               [](int64_t f, const Checkpoint& c) { return f < c.frame; });
  // Ahead of the stream and no checkpoint in between: decode on from here.
  if (position_ <= frame && position_ >= std::prev(next)->frame) {
    if (skipTo(frame)) return position_;
    next = checkpoints_.begin() + 1;  // only the start is left to try
  }
  while (next != checkpoints_.begin()) {
    const Checkpoint& from = *--next;
    if (ov_raw_seek(file_.get(), from.offset) != 0) continue;
    // Where libvorbisfile resumes; the start is frame 0 by definition. A
    // damaged stream may resume past the frame: an earlier checkpoint then.
    const int64_t at = from.offset == 0 ? 0 : ov_pcm_tell(file_.get());
    if (at < 0 || at > frame) continue;
    position_ = at;
    if (skipTo(frame)) return position_;
    break;
  }
  // The stream ends or breaks before the frame: back to the start, or at
  // worst nothing more is read.
  position_ = ov_raw_seek(file_.get(), 0) == 0 ? 0 : format_.length;
  return position_;
}

void DSVorbis::restoreSeekPoint(const DSSeekPoint& point) { seek(point.frame); }

int32_t DSVorbis::createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const {
  *out = std::make_unique<VorbisSeekPoint>(frame);
  return 0;
}
