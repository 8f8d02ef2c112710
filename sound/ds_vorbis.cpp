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
// Raw seeks tried while searching the pages for a seek's frame: enough to
// halve any file down to one byte.
constexpr int kMaxProbes = 64;

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
  if (checkpoints_.size() >= kMaxCheckpoints) return;
  // Kept in order of frame and offset alike, about a second apart: decoding
  // that started far in (a late start) notes its pages among the others.
  auto next = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), frame,
                               [](int64_t f, const Checkpoint& c) { return f < c.frame; });
  const Checkpoint& last = *std::prev(next);
  if (frame - last.frame < format_.sampleRate) return;
  if (next != checkpoints_.end() && next->frame - frame < format_.sampleRate) return;
  // The stream has read up to the end of a page: the next one starts here.
  // Sound decoded from there starts at or after the frames delivered so far.
  const int64_t offset = ov_raw_tell(file_.get());
  if (offset > last.offset && (next == checkpoints_.end() || offset < next->offset)) {
    checkpoints_.insert(next, {offset, frame});
  }
}

bool DSVorbis::skipTo(int64_t frame) {
  std::vector<uint8_t> scratch(static_cast<size_t>(kSkipFrames) * static_cast<size_t>(format_.bytesPerFrame));
  while (position_ < frame) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(frame - position_, kSkipFrames));
    if (read(scratch.data(), want) < 1) return false;
  }
  return true;
}

int64_t DSVorbis::resumeFrom(int64_t offset) {
  if (ov_raw_seek(file_.get(), offset) != 0) return -1;
  // The start is frame 0 by definition.
  return offset == 0 ? 0 : ov_pcm_tell(file_.get());
}

bool DSVorbis::landNear(int64_t frame, const Checkpoint& from) {
  // Where decoding resumes grows with the offset raw-sought to (in an
  // undamaged file): halve the bytes between the last offset known to
  // resume at or before the frame and one known to resume after it, until
  // the frame is near or the pages allow no nearer. A damaged file may
  // break that order; every landing is checked, and the seek then decodes
  // forward from it. The search keeps to the link that holds the frame: a
  // raw seek from inside one link that meets the next link's first page is
  // answered with the end of the whole stream.
  const int links = static_cast<int>(ov_streams(file_.get()));
  int64_t linkOffset = 0, linkFrame = 0;
  int link = 0;
  for (; link + 1 < links; ++link) {
    const int64_t frames = ov_pcm_total(file_.get(), link);
    const int64_t bytes = ov_raw_total(file_.get(), link);
    if (frames < 0 || bytes < 0 || linkFrame + frames > frame) break;
    linkFrame += frames;
    linkOffset += bytes;
  }
  int64_t low = from.offset;
  int64_t lowFrame = from.frame;  // at or before where `low` resumes
  if (from.offset < linkOffset) {
    low = linkOffset;
    lowFrame = linkFrame;
  }
  int64_t high = links > 1 ? linkOffset + ov_raw_total(file_.get(), link) : ov_raw_total(file_.get(), -1);
  const int64_t near = std::max<int64_t>(format_.sampleRate / 8, 1);
  bool found = low != from.offset;
  for (int probes = 0; probes < kMaxProbes && high - low > 1 && frame - lowFrame > near; ++probes) {
    const int64_t middle = low + (high - low) / 2;
    const int64_t at = resumeFrom(middle);
    if (at >= 0 && at <= frame) {
      low = middle;
      lowFrame = at;
      found = true;
    } else {
      high = middle;
    }
  }
  // Nothing nearer than where the search began: the caller decodes from there.
  if (!found) return false;
  if (resumeFrom(low) != lowFrame) return false;
  position_ = lowFrame;
  return true;
}

int64_t DSVorbis::seek(int64_t frame) {
  if (frame < 0 || frame > format_.length) return position_;
  // The last checkpoint at or before the frame; the first one is the start.
  // Decoding notes new checkpoints: found again after each try.
  auto after = [this, frame] {
    return std::upper_bound(checkpoints_.begin(), checkpoints_.end(), frame,
                            [](int64_t f, const Checkpoint& c) { return f < c.frame; });
  };
  auto next = after();
  const Checkpoint known = *std::prev(next);
  const bool onward = position_ <= frame && position_ >= known.frame;
  if (frame - (onward ? position_ : known.frame) > format_.sampleRate && ov_seekable(file_.get())) {
    // Far from all the stream has decoded: to a page shortly before the
    // frame, then decode on (what is decoded there is what a decode from
    // the start gives at the same frames).
    if (landNear(frame, known) && skipTo(frame)) return position_;
    next = after();
  } else if (onward) {
    // Ahead of the stream and no checkpoint in between: decode on from here.
    if (skipTo(frame)) return position_;
    next = checkpoints_.begin() + 1;  // only the start is left to try
  }
  while (next != checkpoints_.begin()) {
    const Checkpoint from = *--next;
    // Where libvorbisfile resumes. A damaged stream may resume past the
    // frame: an earlier checkpoint then.
    const int64_t at = resumeFrom(from.offset);
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
