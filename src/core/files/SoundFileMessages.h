#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/files/SoundFile.h"

namespace rotavox {

// The message box that tells how a save or a load of `path` failed; nothing when it did not.
struct SoundFileMessage {
  std::string caption;
  std::string text;
};
std::optional<SoundFileMessage> soundFileMessage(std::string_view path, const SoundFileOutcome& outcome);

}  // namespace rotavox
