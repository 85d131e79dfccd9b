#include "core/files/SoundFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/common/Readings.h"
#include "core/editor/ParameterTable.h"

namespace rotavox {

namespace {

using K = SoundLineKind;

constexpr SoundFileLine text(std::string_view control) { return {K::Text, control, 0}; }
constexpr SoundFileLine octave(std::string_view control) { return {K::Octave, control, 0}; }
constexpr SoundFileLine position(std::string_view control) { return {K::Position, control, 0}; }
constexpr SoundFileLine reserved(int value) { return {K::Reserved, {}, value}; }

}  // namespace

// clang-format off
constexpr std::array<SoundFileLine, kSoundFileLineCount> kSoundFileLines = {{
    {K::Header, {}, 0},                                        //  1
    text("TextVolume"),                                        //  2
    text("ComboOSC1shape"),   octave("ComboOSC1oct"),          //  3,  4
    text("TextOSC1semi"),     text("TextOSC1detune"),          //  5,  6
    text("TextOSC1pw"),       text("TextOSC1pwm"),             //  7,  8
    reserved(0),              reserved(0),                     //  9, 10
    position("VScrollOSC1vol"), position("CheckOSC1mute"),     // 11, 12
    text("TextOSC1fbalance"),                                  // 13
    text("ComboOSC2shape"),   octave("ComboOSC2oct"),          // 14, 15
    text("TextOSC2semi"),     text("TextOSC2detune"),          // 16, 17
    text("TextOSC2pw"),       text("TextOSC2pwm"),             // 18, 19
    reserved(0),              reserved(0),                     // 20, 21
    position("VScrollOSC2vol"), position("CheckOSC2mute"),     // 22, 23
    text("TextOSC2fbalance"),                                  // 24
    text("ComboOSC3shape"),   octave("ComboOSC3oct"),          // 25, 26
    text("TextOSC3semi"),     text("TextOSC3detune"),          // 27, 28
    text("TextOSC3pw"),       text("TextOSC3pwm"),             // 29, 30
    reserved(0),              reserved(0),                     // 31, 32
    position("VScrollOSC3vol"), position("CheckOSC3mute"),     // 33, 34
    text("TextOSC3fbalance"),                                  // 35
    reserved(0),  reserved(64), reserved(64), reserved(64),    // 36..39
    reserved(0),  reserved(0),  reserved(0),  reserved(0),     // 40..43
    reserved(64), reserved(0),                                 // 44, 45
    text("ComboFilter1"),                                      // 46
    text("TextF1_cutoff"),    text("TextF1_reso"),             // 47, 48
    text("TextF1_drive"),     text("TextF1_keytrack"),         // 49, 50
    text("TextF1_envamt"),    text("TextF1_envvol"),           // 51, 52
    text("ComboFilter2"),                                      // 53
    text("TextF2_cutoff"),    text("TextF2_reso"),             // 54, 55
    text("TextF2_drive"),     text("TextF2_keytrack"),         // 56, 57
    text("TextF2_envamt"),    text("TextF2_envvel"),           // 58, 59
    text("TextFilterParSer"),                                  // 60
    text("TextEnv1T1"), text("TextEnv1T2"), text("TextEnv1L2"), text("TextEnv1T3"),  // 61..64
    text("TextEnv2T1"), text("TextEnv2T2"), text("TextEnv2L2"), text("TextEnv2T3"),  // 65..68
}};
// clang-format on

namespace {

// Every parameter of the editor stands on exactly one line, octave selectors on octave lines,
// the volume sliders and their mute boxes on integer lines, everything else on text lines.
constexpr bool everyParameterOnOneLine() {
  int lines[kParameterCount] = {};
  for (const SoundFileLine& line : kSoundFileLines) {
    if (line.kind == SoundLineKind::Header || line.kind == SoundLineKind::Reserved) continue;
    if (const auto row = parameterRow(line.control)) {
      const ParamKind kind = kParameters[*row].kind;
      if ((line.kind == SoundLineKind::Octave) != (kind == ParamKind::Octave)) return false;
      if ((line.kind == SoundLineKind::Position) != (kind == ParamKind::Volume)) return false;
      ++lines[*row];
      continue;
    }
    // Not a parameter: only a volume slider's mute box may stand on a line of its own.
    bool mute = false;
    for (const Parameter& p : kParameters) mute = mute || (p.kind == ParamKind::Volume && p.companion == line.control);
    if (!mute || line.kind != SoundLineKind::Position) return false;
  }
  for (int n : lines)
    if (n != 1) return false;
  return true;
}
static_assert(everyParameterOnOneLine(), "the sound file stores each parameter of the table once");

}  // namespace

MemorySource::Chunk MemorySource::read(char* buffer, std::size_t size) {
  const std::size_t n = std::min(size, bytes_.size());
  if (n > 0) std::memcpy(buffer, bytes_.data(), n);
  bytes_.remove_prefix(n);
  return {n, FileErrorCode::None};
}

int FieldReader::peek() {
  if (pos_ < len_) return static_cast<unsigned char>(buffer_[pos_]);
  if (atEnd_ || error_ != FileErrorCode::None) return -1;
  const ByteSource::Chunk chunk = source_.read(buffer_.data(), buffer_.size());
  if (chunk.error != FileErrorCode::None) {
    error_ = chunk.error;
    return -1;
  }
  pos_ = 0;
  len_ = std::min(chunk.count, buffer_.size());
  if (len_ == 0) {
    atEnd_ = true;
    return -1;
  }
  return static_cast<unsigned char>(buffer_[pos_]);
}

// Drops the comma or line end that closes a field; CR LF counts as one line end.
void FieldReader::skipSeparator() {
  const int c = peek();
  if (c == ',' || c == '\n') {
    ++pos_;
  } else if (c == '\r') {
    ++pos_;
    if (peek() == '\n') ++pos_;
  }
}

FieldReader::Status FieldReader::next(std::string& field) {
  field.clear();
  if (error_ != FileErrorCode::None) return Status::Failed;
  int c = peek();
  while (c == ' ' || c == '\t') {
    ++pos_;
    c = peek();
  }
  if (c < 0) return error_ != FileErrorCode::None ? Status::Failed : Status::EndOfInput;

  auto append = [&](char ch) {
    if (field.size() >= maxField_) {
      error_ = FileErrorCode::ValueDoesNotFit;
      return false;
    }
    field.push_back(ch);
    return true;
  };

  if (c == '"') {
    ++pos_;
    for (c = peek(); c >= 0 && c != '"'; c = peek()) {
      if (!append(static_cast<char>(c))) return Status::Failed;
      ++pos_;
    }
    if (c == '"') ++pos_;
    // Whatever stands between the closing quote and the separator is not part of the field.
    for (c = peek(); c >= 0 && c != ',' && c != '\r' && c != '\n'; c = peek()) ++pos_;
  } else {
    for (; c >= 0 && c != ',' && c != '\r' && c != '\n'; c = peek()) {
      if (!append(static_cast<char>(c))) return Status::Failed;
      ++pos_;
    }
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
  }
  if (error_ != FileErrorCode::None) return Status::Failed;
  skipSeparator();
  // A failure while looking for the separator comes up with the next field.
  return Status::Field;
}

std::optional<int> sixteenBitReading(std::string_view field) {
  const std::optional<double> reading = strictReading(field);
  if (!reading) return std::nullopt;
  const std::int64_t whole = roundHalfEven(*reading);
  if (whole < -32768 || whole > 32767) return std::nullopt;
  return static_cast<int>(whole);
}

std::string_view withoutLastCharacter(std::string_view text) {
  if (text.empty()) return text;
  std::size_t end = text.size() - 1;
  // Step back over UTF-8 continuation bytes to the start of the last character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

SoundFileOutcome applySoundFile(ByteSource& source, SoundControls& controls) {
  FieldReader reader(source);
  std::string field;
  for (int index = 0; index < kSoundFileLineCount; ++index) {
    const int lineNumber = index + 1;
    const SoundFileLine& line = kSoundFileLines[static_cast<std::size_t>(index)];
    switch (reader.next(field)) {
      case FieldReader::Status::EndOfInput: return {SoundFileOutcome::Kind::EndOfInput, FileErrorCode::None, lineNumber};
      case FieldReader::Status::Failed: return SoundFileOutcome::failed(reader.error(), lineNumber);
      case FieldReader::Status::Field: break;
    }
    switch (line.kind) {
      case SoundLineKind::Header:
        if (field.size() < kSoundFileVersion.size() ||
            std::string_view(field).substr(field.size() - kSoundFileVersion.size()) != kSoundFileVersion)
          return {SoundFileOutcome::Kind::HeaderMismatch, FileErrorCode::None, lineNumber};
        break;
      case SoundLineKind::Text:
        if (!controls.setText(line.control, field)) return SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
        break;
      case SoundLineKind::Octave:
        field.push_back('"');
        if (!controls.setText(line.control, field)) return SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
        break;
      case SoundLineKind::Position: {
        const std::optional<PositionRange> range = controls.positionRange(line.control);
        if (!range) return SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
        // A control never clamps a value from a file: what it cannot hold is an error.
        const std::optional<int> value = sixteenBitReading(field);
        if (!value || !range->holds(*value)) return SoundFileOutcome::failed(FileErrorCode::ValueDoesNotFit, lineNumber);
        if (!controls.setPosition(line.control, *value))
          return SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
        break;
      }
      case SoundLineKind::Reserved: break;
    }
  }
  return SoundFileOutcome::done();
}

ComposedSoundFile composeSoundFile(const SoundControls& controls) {
  ComposedSoundFile out;
  out.bytes.reserve(1024);
  auto quoted = [&](std::string_view value, int lineNumber) {
    if (value.find_first_of("\"\r\n") != std::string_view::npos) {
      out.outcome = SoundFileOutcome::failed(FileErrorCode::ValueNotStorable, lineNumber);
      return false;
    }
    out.bytes += '"';
    out.bytes += value;
    out.bytes += "\"\r\n";
    return true;
  };
  for (int index = 0; index < kSoundFileLineCount; ++index) {
    const int lineNumber = index + 1;
    const SoundFileLine& line = kSoundFileLines[static_cast<std::size_t>(index)];
    switch (line.kind) {
      case SoundLineKind::Header: quoted(kSoundFileHeader, lineNumber); break;
      case SoundLineKind::Text:
      case SoundLineKind::Octave: {
        const std::optional<std::string> shown = controls.text(line.control);
        if (!shown) {
          out.outcome = SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
          break;
        }
        quoted(line.kind == SoundLineKind::Octave ? withoutLastCharacter(*shown) : std::string_view(*shown),
               lineNumber);
        break;
      }
      case SoundLineKind::Position: {
        const std::optional<int> value = controls.position(line.control);
        if (!value) {
          out.outcome = SoundFileOutcome::failed(FileErrorCode::ControlMissing, lineNumber);
          break;
        }
        out.bytes += numberText(*value) + "\r\n";
        break;
      }
      case SoundLineKind::Reserved: out.bytes += numberText(line.constant) + "\r\n"; break;
    }
    if (!out.outcome.ok()) {
      out.bytes.clear();
      return out;
    }
  }
  return out;
}

}  // namespace rotavox
