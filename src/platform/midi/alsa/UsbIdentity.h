#pragma once

// The USB identity of a sound card, read from what the kernel writes about it in /proc and
// sysfs: the vendor and product ids and the device's release number of a USB MIDI interface.
// Plain file reads, no ALSA call; tests point the paths at a fake tree.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/midi/alsa/AlsaSeqRules.h"

namespace rotavox::alsaseq {

// Where the kernel tells about sound cards.
struct SystemPaths {
  std::filesystem::path procAsound = "/proc/asound";   // holds cardN/usbid
  std::filesystem::path sysSound = "/sys/class/sound";  // holds cardN/device -> USB interface
};

// "0582:0096" (as in /proc/asound/cardN/usbid) -> vendor, product.
std::optional<std::pair<std::uint16_t, std::uint16_t>> parseUsbId(std::string_view text);
// A 16-bit hexadecimal number as sysfs writes it ("0100\n").
std::optional<std::uint16_t> parseHex16(std::string_view text);

// The USB ids of a card, or nothing when the card is not a USB device (or none is given).
std::optional<UsbIdentity> readUsbIdentity(int card, const SystemPaths& paths);
// The numbers of a capability record for a port of this card (-1: none).
DeviceNumbers deviceNumbers(int card, std::uint32_t libraryVersion, const SystemPaths& paths);

}  // namespace rotavox::alsaseq
