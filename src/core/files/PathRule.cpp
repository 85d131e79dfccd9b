#include "core/files/PathRule.h"

#include "core/files/Utf8.h"

namespace rotavox {

std::string soundFilePath(std::string_view folder, std::string_view name, char separator) {
  if (name.size() >= kSoundFileExtension.size() &&
      name.substr(name.size() - kSoundFileExtension.size()) == kSoundFileExtension)
    name.remove_suffix(kSoundFileExtension.size());
  return joinPath(folder, name, separator) + std::string(kSoundFileExtension);
}

std::string joinPath(std::string_view folder, std::string_view name, char separator) {
  std::string path(folder);
  if (path.empty() || path.back() != separator) path += separator;
  path += name;
  return path;
}

std::string withoutTrailingSeparator(std::string path, char separator) {
  while (path.size() > 1 && path.back() == separator) path.pop_back();
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
