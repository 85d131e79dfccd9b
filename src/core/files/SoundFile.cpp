#include "core/files/SoundFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/common/Readings.h"
#include "core/editor/ParameterTable.h"

namespace rotavox {

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
