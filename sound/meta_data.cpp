// The metadata list (a key index beside the ordered entries) and the
// loop-region rule with its log lines.
#include "sound/meta_data.h"

#include <limits>

#include "sound/sound_log.h"

MetaDataList::MetaDataList(const MetaDataList& other) : index_(other.index_) {
  entries_.reserve(other.entries_.size());
  for (const auto& entry : other.entries_) entries_.push_back(entry->clone());
}

MetaDataList& MetaDataList::operator=(const MetaDataList& other) {
  if (this != &other) {
    MetaDataList copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void MetaDataList::add(std::unique_ptr<MetaDataEntry> entry) {
  if (!entry) return;
  auto found = index_.find(entry->key());
  if (found != index_.end()) {
    const size_t place = found->second;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(place));
    for (size_t i = place; i < entries_.size(); ++i) index_[entries_[i]->key()] = i;
    found->second = entries_.size();
  } else {
    index_.emplace(entry->key(), entries_.size());
  }
  entries_.push_back(std::move(entry));
}

const MetaDataEntry* MetaDataList::find(const std::u16string& key) const {
  auto found = index_.find(key);
  return found == index_.end() ? nullptr : entries_[found->second].get();
}

namespace {

// Blanks, an optional sign, then decimal digits up to the first other
// character; saturates at the int64 range.
int64_t LeadingInteger(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const int digit = text[i] - u'0';
    if (value > (kMax - digit) / 10) return negative ? std::numeric_limits<int64_t>::min() : kMax;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

// The entry's value as a frame number, or `fallback` when there is none.
int64_t EntryFrame(const MetaDataList& meta, const std::u16string& key, int64_t fallback) {
  const MetaDataEntry* entry = meta.find(key);
  if (!entry) return fallback;
  if (entry->kind() == MetaDataEntry::kString) {
    return LeadingInteger(static_cast<const EntryImpl<std::u16string>*>(entry)->value());
  }
  if (entry->kind() == MetaDataEntry::kInteger) return static_cast<const EntryImpl<int64_t>*>(entry)->value();
  return fallback;
}

}  // namespace

LoopRegion ResolveLoopRegion(int64_t length, const MetaDataList& meta, const std::vector<SoundLoopRegion>& options) {
  LoopRegion region;
  region.start = EntryFrame(meta, kLoopStartKey, -1);
  region.end = EntryFrame(meta, kLoopEndKey, -1);
  for (const SoundLoopRegion& option : options) {
    if (option.kind != 1) continue;
    region.start = option.loopStart;
    region.end = option.loopEnd;
  }
  if (region.start < -2) region.start = -1;
  if (region.end < 1 || region.end > length) region.end = length;
  if (region.start >= length) {
    UTLog(kUTProgress, u"LoopPointStart is out of range\n");
    region.start = -1;
  }
  if (region.end <= region.start) {
    UTLog(kUTProgress, u"Invalid LoopRegion (LoopPointEnd <= LoopPointStart)\n");
    region.start = -1;
    region.end = length;
  }
  if (region.start < 0) {
    UTLog(kUTProgress, u"looping disabled\n");
    region.enabled = false;
  } else {
    UTLog(kUTProgress, u"looping enabled\n");
    region.enabled = true;
  }
  return region;
}
