#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rotavox {

// The rules of the sound browser: the order and the filter of its list, when a moved
// selection loads, and the note it plays after a load. Times are milliseconds on any
// steady clock.

// The text with the letters of the Latin, Greek and Cyrillic alphabets in lower case, for
// comparing names without regard to case. Anything else stays as it is, bytes that are not
// UTF-8 too.
std::string foldCase(std::string_view utf8);

// The order names are listed in: runs of digits compare by their number ("pad 2" before
// "pad 10"), everything else character by character. Give it folded names. Names that
// compare the same (as "pad 02" and "pad 2") are equal here; the list orders them further.
int naturalCompare(std::string_view a, std::string_view b);

// One sound of the browser's folder.
struct SoundEntry {
  std::string file;   // the name in the folder, its own bytes, extension included
  std::string shown;  // readable UTF-8, without the extension
  std::string key;    // shown, case folded: what the order and the filter look at
};

// The sound files of one folder as the browser lists them: in natural order, those whose
// shown name contains the filter (letter case aside).
class SoundList {
 public:
  // The folder's sound files, in any order; the filter stays.
  void setFiles(std::vector<std::string> files);
  void setFilter(std::string_view text);
  const std::string& filter() const { return filter_; }

  // Files in the folder, and the rows the filter lets through.
  std::size_t fileCount() const { return entries_.size(); }
  std::size_t rowCount() const { return rows_.size(); }
  const SoundEntry& row(std::size_t at) const { return entries_[rows_[at]]; }
  std::optional<std::size_t> rowOf(std::string_view file) const;

  // The row `direction` (+1 next, -1 previous) steps to from `file`, which need not be
  // listed (filtered out, deleted): then the step goes from where it would stand. From no
  // file, next is the first row and previous the last. Nothing past either end.
  const SoundEntry* step(std::string_view file, int direction) const;

 private:
  void applyFilter();

  std::vector<SoundEntry> entries_;  // in list order
  std::vector<std::size_t> rows_;    // indices into entries_
  std::string filter_;
  std::string filterKey_;
};

// When the browser loads the sound its selection moved to: once the selection has rested on
// it for kRestMs. A held arrow key moves it faster than that, so only where the key stops
// is loaded and the instrument never plays what the list has left behind.
class SelectionRest {
 public:
  static constexpr std::int64_t kRestMs = 150;

  // The selection moved to the sound at `path`.
  void moved(std::string path, std::int64_t now);
  // When take() will have a sound for a caller that waits, if one is waiting.
  std::optional<std::int64_t> dueAt() const;
  // The sound to load now: the one the selection has rested on, unless it came back to the
  // sound loaded last.
  std::optional<std::string> take(std::int64_t now);
  // A load of `path` begins, whatever asked for it: nothing waits any more.
  void loaded(std::string path);

 private:
  std::optional<std::string> waiting_;
  std::int64_t movedAt_ = 0;
  std::string last_;
};

// The note that lets the user hear each sound: after a load, a Note On that is released
// kLengthMs later, or sooner when the next load begins. The release goes on the channel of
// its Note On, whatever the channel is by then.
class AuditionNote {
 public:
  static constexpr int kNote = 60;
  static constexpr int kVelocity = 100;
  static constexpr std::int64_t kLengthMs = 600;

  // The messages to send for a note after a load on `channel`: the release of a note still
  // sounding, then the Note On. None on a channel that is no channel.
  std::vector<std::uint32_t> play(int channel, std::int64_t now);
  // When the sounding note is to be released, if one sounds.
  std::optional<std::int64_t> releaseAt() const;
  // The release of the sounding note: now, or only when it is due at `now`.
  std::optional<std::uint32_t> release();
  std::optional<std::uint32_t> releaseIfDue(std::int64_t now);

 private:
  std::optional<int> channel_;  // of the sounding note
  std::int64_t playedAt_ = 0;
};

}  // namespace rotavox
