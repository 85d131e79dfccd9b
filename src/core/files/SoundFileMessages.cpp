#include "core/files/SoundFileMessages.h"

namespace rotavox {

std::optional<SoundFileMessage> soundFileMessage(std::string_view path, const SoundFileOutcome& outcome) {
  switch (outcome.kind) {
    case SoundFileOutcome::Kind::Done: return std::nullopt;
    case SoundFileOutcome::Kind::HeaderMismatch:
      return SoundFileMessage{"Error reading file", "This betaversion reads only Rotavox format 0.2"};
    case SoundFileOutcome::Kind::EndOfInput:
      return SoundFileMessage{"Error reading file",
                              "File corrupt or wrong version! This betaversion reads only Rotavox format 0.2"};
    case SoundFileOutcome::Kind::Failed:
      return SoundFileMessage{fileErrorTitle(path), fileErrorText(outcome.error)};
  }
  return std::nullopt;
}

}  // namespace rotavox
