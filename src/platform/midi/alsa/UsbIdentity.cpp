#include "platform/midi/alsa/UsbIdentity.h"

#include <charconv>
#include <fstream>
#include <string>

namespace rotavox::alsaseq {

namespace {

// The first line or so of a small kernel file; empty when it cannot be read.
std::string readSmallFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) return {};
  char buffer[64] = {};
  in.read(buffer, sizeof buffer - 1);
  return std::string(buffer, static_cast<std::size_t>(in.gcount()));
}

}  // namespace

std::optional<std::uint16_t> parseHex16(std::string_view text) {
  text = trimmed(text);
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> parseUsbId(std::string_view text) {
  text = trimmed(text);
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view vendorText = text.substr(0, colon);
  const std::string_view productText = text.substr(colon + 1);
  // Blanks around the colon are not part of the kernel's format.
  if (trimmed(vendorText).size() != vendorText.size() || trimmed(productText).size() != productText.size())
    return std::nullopt;
  const auto vendor = parseHex16(vendorText);
  const auto product = parseHex16(productText);
  if (!vendor || !product) return std::nullopt;
  return std::pair{*vendor, *product};
}

std::optional<UsbIdentity> readUsbIdentity(int card, const SystemPaths& paths) {
  if (card < 0) return std::nullopt;
  const std::string cardDir = "card" + std::to_string(card);
  // The card's device link points at the USB interface; its parent is the USB device, which
  // holds the ids and the release number. The kernel resolves ".." after following the link.
  const std::filesystem::path usbDevice = paths.sysSound / cardDir / "device" / "..";

  UsbIdentity identity;
  if (const auto ids = parseUsbId(readSmallFile(paths.procAsound / cardDir / "usbid"))) {
    identity.vendor = ids->first;
    identity.product = ids->second;
  } else {
    const auto vendor = parseHex16(readSmallFile(usbDevice / "idVendor"));
    const auto product = parseHex16(readSmallFile(usbDevice / "idProduct"));
    if (!vendor || !product) return std::nullopt;
    identity.vendor = *vendor;
    identity.product = *product;
  }
  identity.release = parseHex16(readSmallFile(usbDevice / "bcdDevice"));
  return identity;
}

DeviceNumbers deviceNumbers(int card, std::uint32_t libraryVersion, const SystemPaths& paths) {
  return deviceNumbersOf(readUsbIdentity(card, paths), libraryVersion);
}

}  // namespace rotavox::alsaseq
