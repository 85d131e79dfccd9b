#include "core/files/SoundFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/common/Readings.h"
#include "core/editor/ParameterTable.h"

namespace rotavox {

namespace {

using K = SoundLineKind;
using P = Param;

constexpr SoundFileLine text(Param row) { return {K::Text, {row}, 0}; }
constexpr SoundFileLine octave(Param row) { return {K::Octave, {row}, 0}; }
constexpr SoundFileLine position(Param row) { return {K::Position, {row}, 0}; }
constexpr SoundFileLine mute(Param volumeRow) { return {K::Position, muteBoxOf(volumeRow), 0}; }
constexpr SoundFileLine reserved(int value) { return {K::Reserved, {}, value}; }

}  // namespace

// clang-format off
constexpr std::array<SoundFileLine, kSoundFileLineCount> kSoundFileLines = {{
    {K::Header, {}, 0},                                              //  1
    text(P::TextVolume),                                             //  2
    text(P::ComboOSC1shape),     octave(P::ComboOSC1oct),            //  3,  4
    text(P::TextOSC1semi),       text(P::TextOSC1detune),            //  5,  6
    text(P::TextOSC1pw),         text(P::TextOSC1pwm),               //  7,  8
    reserved(0),                 reserved(0),                        //  9, 10
    position(P::VScrollOSC1vol), mute(P::VScrollOSC1vol),            // 11, 12
    text(P::TextOSC1fbalance),                                       // 13
    text(P::ComboOSC2shape),     octave(P::ComboOSC2oct),            // 14, 15
    text(P::TextOSC2semi),       text(P::TextOSC2detune),            // 16, 17
    text(P::TextOSC2pw),         text(P::TextOSC2pwm),               // 18, 19
    reserved(0),                 reserved(0),                        // 20, 21
    position(P::VScrollOSC2vol), mute(P::VScrollOSC2vol),            // 22, 23
    text(P::TextOSC2fbalance),                                       // 24
    text(P::ComboOSC3shape),     octave(P::ComboOSC3oct),            // 25, 26
    text(P::TextOSC3semi),       text(P::TextOSC3detune),            // 27, 28
    text(P::TextOSC3pw),         text(P::TextOSC3pwm),               // 29, 30
    reserved(0),                 reserved(0),                        // 31, 32
    position(P::VScrollOSC3vol), mute(P::VScrollOSC3vol),            // 33, 34
    text(P::TextOSC3fbalance),                                       // 35
    reserved(0),  reserved(64), reserved(64), reserved(64),          // 36..39
    reserved(0),  reserved(0),  reserved(0),  reserved(0),           // 40..43
    reserved(64), reserved(0),                                       // 44, 45
    text(P::ComboFilter1),                                           // 46
    text(P::TextF1_cutoff),      text(P::TextF1_reso),               // 47, 48
    text(P::TextF1_drive),       text(P::TextF1_keytrack),           // 49, 50
    text(P::TextF1_envamt),      text(P::TextF1_envvol),             // 51, 52
    text(P::ComboFilter2),                                           // 53
    text(P::TextF2_cutoff),      text(P::TextF2_reso),               // 54, 55
    text(P::TextF2_drive),       text(P::TextF2_keytrack),           // 56, 57
    text(P::TextF2_envamt),      text(P::TextF2_envvel),             // 58, 59
    text(P::TextFilterParSer),                                       // 60
    text(P::TextEnv1T1), text(P::TextEnv1T2), text(P::TextEnv1L2), text(P::TextEnv1T3),  // 61..64
    text(P::TextEnv2T1), text(P::TextEnv2T2), text(P::TextEnv2L2), text(P::TextEnv2T3),  // 65..68
}};
// clang-format on

namespace {

// Every value control stands on exactly one line: octave selectors on octave lines, the
// volume sliders and their mute boxes on integer lines, everything else on text lines.
constexpr bool everyControlOnOneLine() {
  int lines[kValueControlCount] = {};
  for (const SoundFileLine& line : kSoundFileLines) {
    if (line.kind == SoundLineKind::Header || line.kind == SoundLineKind::Reserved) continue;
    const ParamKind kind = parameter(line.control.row).kind;
    if ((line.kind == SoundLineKind::Octave) != (kind == ParamKind::Octave)) return false;
    if ((line.kind == SoundLineKind::Position) != (kind == ParamKind::Volume)) return false;
    ++lines[valueIndex(line.control)];
  }
  for (int n : lines)
    if (n != 1) return false;
  return true;
}
static_assert(everyControlOnOneLine(), "the sound file stores each value control of the panel once");

}  // namespace

PositionRange positionRange(ValueControl control) {
  if (control.muteBox) return {0, 1};
  const Parameter& p = parameter(control.row);
  return {p.low, p.high};
}

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
      case SoundLineKind::Text: controls.write(line.control, field); break;
      case SoundLineKind::Octave:
        field.push_back('"');
        controls.write(line.control, field);
        break;
      case SoundLineKind::Position: {
        // A control never clamps a value from a file: what it cannot hold is an error.
        const std::optional<int> value = sixteenBitReading(field);
        if (!value || !positionRange(line.control).holds(*value))
          return SoundFileOutcome::failed(FileErrorCode::ValueDoesNotFit, lineNumber);
        controls.write(line.control, numberText(*value));
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
        const std::string shown = controls.shown(line.control);
        quoted(line.kind == SoundLineKind::Octave ? withoutLastCharacter(shown) : std::string_view(shown), lineNumber);
        break;
      }
      case SoundLineKind::Position: {
        // What a slider or mute box shows is always a whole number; a control that answered
        // otherwise would write a line that does not read back.
        const std::optional<int> value = sixteenBitReading(controls.shown(line.control));
        if (!value) {
          out.outcome = SoundFileOutcome::failed(FileErrorCode::ValueNotStorable, lineNumber);
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
