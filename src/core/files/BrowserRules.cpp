#include "core/files/BrowserRules.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "core/files/PathRule.h"
#include "core/files/Utf8.h"
#include "core/midi/Messages.h"

namespace rotavox {

namespace {

// The lower-case letter of an upper-case one, for the alphabets names are mostly written in.
char32_t lowerLetter(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;  // Latin-1, less the multiplication sign
  // Latin Extended-A pairs each capital with the small letter after it, except where the
  // pairs shift by one (around the dotless i and the long s).
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c == 0x3C2) return 0x3C3;                                 // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The whole order of the list: natural order, then the folded text, the shown text and the
// file's bytes, so that no two files tie.
bool listsBefore(const SoundEntry& a, const SoundEntry& b) {
  if (const int c = naturalCompare(a.key, b.key); c != 0) return c < 0;
  return std::tie(a.key, a.shown, a.file) < std::tie(b.key, b.shown, b.file);
}

SoundEntry entryOf(std::string file) {
  std::string_view name = file;
  if (name.ends_with(kSoundFileExtension)) name.remove_suffix(kSoundFileExtension.size());
  SoundEntry entry;
  entry.shown = readableName(name);
  entry.key = foldCase(entry.shown);
  entry.file = std::move(file);
  return entry;
}

}  // namespace

std::string foldCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  while (!s.empty()) {
    char32_t c = 0;
    const std::size_t length = utf8CharAt(s, c);
    if (length == 0) {
      out += s.front();  // not a character: copied as it is
      s.remove_prefix(1);
      continue;
    }
    appendUtf8(out, lowerLetter(c));
    s.remove_prefix(length);
  }
  return out;
}

int naturalCompare(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      std::size_t endA = i, endB = j;
      while (endA < a.size() && isDigit(a[endA])) ++endA;
      while (endB < b.size() && isDigit(b[endB])) ++endB;
      // Without leading zeros the longer number is the larger; of two as long, the first
      // digit that differs tells.
      if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
      if (const int c = a.substr(i, endA - i).compare(b.substr(j, endB - j)); c != 0) return c < 0 ? -1 : 1;
      i = endA;
      j = endB;
      continue;
    }
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  const bool aLeft = i < a.size(), bLeft = j < b.size();
  return aLeft == bLeft ? 0 : aLeft ? 1 : -1;
}

void SoundList::setFiles(std::vector<std::string> files) {
  entries_.clear();
  entries_.reserve(files.size());
  for (std::string& file : files) entries_.push_back(entryOf(std::move(file)));
  std::sort(entries_.begin(), entries_.end(), listsBefore);
  applyFilter();
}

void SoundList::setFilter(std::string_view text) {
  filter_ = text;
  filterKey_ = foldCase(text);
  applyFilter();
}

void SoundList::applyFilter() {
  rows_.clear();
  rows_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].key.find(filterKey_) != std::string::npos) rows_.push_back(i);
}

std::optional<std::size_t> SoundList::rowOf(std::string_view file) const {
  for (std::size_t r = 0; r < rows_.size(); ++r)
    if (entries_[rows_[r]].file == file) return r;
  return std::nullopt;
}

const SoundEntry* SoundList::step(std::string_view file, int direction) const {
  if (rows_.empty()) return nullptr;
  if (file.empty()) return &row(direction > 0 ? 0 : rows_.size() - 1);
  // The first row that lists after the file; a listed file is passed over going forward.
  const SoundEntry from = entryOf(std::string(file));
  const auto after = std::partition_point(rows_.begin(), rows_.end(), [&](std::size_t i) {
    return !listsBefore(from, entries_[i]);
  });
  if (direction > 0) return after == rows_.end() ? nullptr : &entries_[*after];
  auto before = after;
  if (before != rows_.begin() && entries_[*std::prev(before)].file == file) --before;
  return before == rows_.begin() ? nullptr : &entries_[*std::prev(before)];
}

void SelectionRest::moved(std::string path, std::int64_t now) {
  waiting_ = std::move(path);
  movedAt_ = now;
}

std::optional<std::int64_t> SelectionRest::dueAt() const {
  if (!waiting_) return std::nullopt;
  return movedAt_ + kRestMs;
}

std::optional<std::string> SelectionRest::take(std::int64_t now) {
  if (!waiting_ || now < movedAt_ + kRestMs) return std::nullopt;
  std::optional<std::string> path = std::exchange(waiting_, std::nullopt);
  if (*path == last_) return std::nullopt;
  return path;
}

void SelectionRest::loaded(std::string path) {
  waiting_.reset();
  last_ = std::move(path);
}

std::vector<std::uint32_t> AuditionNote::play(int channel, std::int64_t now) {
  std::vector<std::uint32_t> out;
  if (const auto off = release()) out.push_back(*off);
  if (channel < 0 || channel > 15) return out;
  channel_ = channel;
  playedAt_ = now;
  out.push_back(noteOn(channel, kNote, kVelocity));
  return out;
}

std::optional<std::int64_t> AuditionNote::releaseAt() const {
  if (!channel_) return std::nullopt;
  return playedAt_ + kLengthMs;
}

std::optional<std::uint32_t> AuditionNote::release() {
  if (!channel_) return std::nullopt;
  const int channel = *std::exchange(channel_, std::nullopt);
  return noteOn(channel, kNote, 0);
}

std::optional<std::uint32_t> AuditionNote::releaseIfDue(std::int64_t now) {
  if (!channel_ || now < playedAt_ + kLengthMs) return std::nullopt;
  return release();
}

}  // namespace rotavox
