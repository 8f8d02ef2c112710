// A decoder's metadata (string or integer entries by key, in insertion
// order) and the loop-region rule that stream channels and the media-info
// query share: the media's "so3.stream.looppoint.*" entries, overridden by
// the descriptor's loop-region records. Values; any thread, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sound/sound_records.h"

class MetaDataEntry {
 public:
  static constexpr int32_t kString = 1;
  static constexpr int32_t kInteger = 2;

  virtual ~MetaDataEntry() = default;
  virtual std::unique_ptr<MetaDataEntry> clone() const = 0;

  int32_t kind() const { return kind_; }
  const std::u16string& key() const { return key_; }

 protected:
  MetaDataEntry(int32_t kind, std::u16string key) : kind_(kind), key_(std::move(key)) {}
  MetaDataEntry(const MetaDataEntry&) = default;

 private:
  int32_t kind_;
  std::u16string key_;
};

// An entry holding a UTF-16 string (kind 1) or a 64-bit integer (kind 2).
template <class T>
class EntryImpl final : public MetaDataEntry {
  static_assert(std::is_same_v<T, std::u16string> || std::is_same_v<T, int64_t>);

 public:
  static constexpr int32_t kKind = std::is_same_v<T, std::u16string> ? kString : kInteger;

  EntryImpl(std::u16string key, T value) : MetaDataEntry(kKind, std::move(key)), value_(std::move(value)) {}
  std::unique_ptr<MetaDataEntry> clone() const override { return std::make_unique<EntryImpl>(*this); }
  const T& value() const { return value_; }

 private:
  T value_;
};

// Entries with distinct keys (exact, case-sensitive) in insertion order.
class MetaDataList {
 public:
  MetaDataList() = default;
  MetaDataList(const MetaDataList& other);
  MetaDataList& operator=(const MetaDataList& other);
  MetaDataList(MetaDataList&&) = default;
  MetaDataList& operator=(MetaDataList&&) = default;

  // Appends the entry; an entry with an equal key is removed first, the
  // entries after it moving down one place. A null entry is ignored.
  void add(std::unique_ptr<MetaDataEntry> entry);
  // The entry with this key, or null.
  const MetaDataEntry* find(const std::u16string& key) const;

  size_t size() const { return entries_.size(); }
  const MetaDataEntry& at(size_t i) const { return *entries_[i]; }

 private:
  std::vector<std::unique_ptr<MetaDataEntry>> entries_;
  std::unordered_map<std::u16string, size_t> index_;  // key -> place in entries_
};

inline constexpr char16_t kLoopStartKey[] = u"so3.stream.looppoint.start";
inline constexpr char16_t kLoopEndKey[] = u"so3.stream.looppoint.end";

// A resolved loop region in sample frames. Enabled: start in 0..length-1
// and end in start+1..length. Disabled: start is negative and the media
// plays to its length; end then carries no meaning.
struct LoopRegion {
  int64_t start = -1;
  int64_t end = -1;
  bool enabled = false;
};

// Resolves the loop region of a media of `length` frames (>= 0) from its
// metadata and the descriptor's option records (the last loop-region record
// wins over the metadata). An end below 1 or past the length means the
// length. A string entry is read as a leading decimal integer (blanks and a
// sign allowed, saturating; no digits reads 0). Logs the outcome.
LoopRegion ResolveLoopRegion(int64_t length, const MetaDataList& meta, const std::vector<SoundLoopRegion>& options);
