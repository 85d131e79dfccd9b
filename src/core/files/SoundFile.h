#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/files/FileErrors.h"
#include "core/files/SoundControls.h"
#include "core/files/SoundFileLines.h"

namespace rotavox {

// The sound file: one value a line (kSoundFileLines), lines ended by CR LF. Texts stand
// between double quotes with nothing escaped, integers are plain decimal numbers.

inline constexpr std::string_view kSoundFileHeader = "Rotavox soundfileformat v.0.2";
// A header is accepted when it ends in these characters, letter case included.
inline constexpr std::string_view kSoundFileVersion = "v.0.2";
// No field may be longer: the longest text a line edit holds. Keeps a broken or hostile file
// from making the reader allocate without bound.
inline constexpr std::size_t kMaxFieldBytes = 32767;

// The positions a control on a Position line holds: a volume slider's range, 0..1 for a mute box.
PositionRange positionRange(ValueControl control);

// Where the reader gets its bytes from: a file, or memory in tests.
class ByteSource {
 public:
  struct Chunk {
    std::size_t count = 0;  // 0 at the end of input
    FileErrorCode error = FileErrorCode::None;
  };
  virtual ~ByteSource() = default;
  virtual Chunk read(char* buffer, std::size_t size) = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  Chunk read(char* buffer, std::size_t size) override;

 private:
  std::string_view bytes_;
};

// Splits the input into fields. Blanks in front of a field are skipped; a field that begins
// with a double quote runs to the next double quote and is taken without the quotes (the rest
// up to the separator is dropped); any other field runs to the next comma or line end, its
// trailing blanks dropped. A comma, CR LF, CR or LF ends a field. Reads only as far as the
// fields asked for.
class FieldReader {
 public:
  enum class Status { Field, EndOfInput, Failed };

  explicit FieldReader(ByteSource& source, std::size_t maxField = kMaxFieldBytes)
      : source_(source), maxField_(maxField) {}

  // The next field into `field`. EndOfInput when nothing but blanks is left; Failed when the
  // source fails (error() tells why) or the field is longer than the limit (ValueDoesNotFit).
  Status next(std::string& field);
  FileErrorCode error() const { return error_; }

 private:
  int peek();
  void skipSeparator();

  ByteSource& source_;
  std::size_t maxField_;
  std::array<char, 4096> buffer_{};
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool atEnd_ = false;
  FileErrorCode error_ = FileErrorCode::None;
};

// How a save or a load ended.
struct SoundFileOutcome {
  enum class Kind { Done, HeaderMismatch, EndOfInput, Failed };
  Kind kind = Kind::Done;
  FileErrorCode error = FileErrorCode::None;  // for Failed
  int line = 0;                               // the line it stopped at, for Failed

  static SoundFileOutcome done() { return {}; }
  static SoundFileOutcome failed(FileErrorCode code, int atLine = 0) { return {Kind::Failed, code, atLine}; }
  bool ok() const { return kind == Kind::Done; }
};

// Reads the header and then the further values in order; each value goes into its
// control (whose change handling runs) before the next one is read. Bytes after the last
// value are never read. Stops at the first problem; what was set stays set.
SoundFileOutcome applySoundFile(ByteSource& source, SoundControls& controls);

// The whole file for the controls' present values. Fails with ValueNotStorable when a text
// holds a double quote or a line break (it would not read back as the same value).
struct ComposedSoundFile {
  SoundFileOutcome outcome;
  std::string bytes;
};
ComposedSoundFile composeSoundFile(const SoundControls& controls);

// A field read as a 16-bit integer: a decimal number, rounded to the nearest (halves to the
// even neighbour), within -32768..32767.
std::optional<int> sixteenBitReading(std::string_view field);

// The text less its last character (a whole UTF-8 sequence); empty stays empty.
std::string_view withoutLastCharacter(std::string_view text);

}  // namespace rotavox
