#include "core/files/PathRule.h"

namespace rotavox {

std::string soundFilePath(std::string_view folder, std::string_view name, char separator) {
  if (name.size() >= kSoundFileExtension.size() &&
      name.substr(name.size() - kSoundFileExtension.size()) == kSoundFileExtension)
    name.remove_suffix(kSoundFileExtension.size());
  std::string path(folder);
  if (path.empty() || path.back() != separator) path += separator;
  path += name;
  path += kSoundFileExtension;
  return path;
}

std::string_view fileNameOf(std::string_view path, char separator) {
  const std::size_t cut = path.rfind(separator);
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view folderOf(std::string_view path, char separator) {
  const std::size_t cut = path.rfind(separator);
  if (cut == std::string_view::npos) return {};
  return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
  // Greedy match with one backtrack point: linear enough for file names.
  std::size_t n = 0, p = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The length of the well-formed UTF-8 character at the start of `s` (no overlong forms, no
// surrogates, nothing beyond U+10FFFF), or 0 when there is none; its code point in `c`.
std::size_t utf8CharAt(std::string_view s, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000, c = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string readableName(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    char32_t c = 0;
    std::size_t length = utf8CharAt(bytes, c);
    if (length == 0) {
      // A stray byte: its Latin-1 letter, which is what most such names were written in.
      c = static_cast<unsigned char>(bytes.front());
      length = 1;
    }
    if (c < 0x20) c += 0x2400;
    else if (c == 0x7F) c = 0x2421;
    else if (c >= 0x80 && c < 0xA0) c = 0xFFFD;
    appendUtf8(out, c);
    bytes.remove_prefix(length);
  }
  return out;
}

bool holdsWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

}  // namespace rotavox
