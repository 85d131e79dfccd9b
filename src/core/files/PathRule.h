#pragma once

#include <string>
#include <string_view>

namespace rotavox {

inline constexpr std::string_view kSoundFileExtension = ".rvs";
inline constexpr std::string_view kSoundFilePattern = "*.rvs";

// The full path of a sound file from the folder list's folder and the name field: a name
// ending exactly in ".rvs" (letter case included) loses it, then comes the folder, one
// separator (none added when the folder already ends in one, as the root does), the name and
// ".rvs". "bass" and "bass.rvs" give ".../bass.rvs", "bass.RVS" gives ".../bass.RVS.rvs".
std::string soundFilePath(std::string_view folder, std::string_view name, char separator = '/');

// The path of `name` in `folder`, with one separator between them (none added when the folder
// ends in one, as the root does).
std::string joinPath(std::string_view folder, std::string_view name, char separator = '/');

// A folder path as the lists keep it: without a trailing separator; the root stays "/".
std::string withoutTrailingSeparator(std::string path, char separator = '/');

// The part of a path after its last separator.
std::string_view fileNameOf(std::string_view path, char separator = '/');

// The folder part of a path, without the separator that ends it ("/" for a file in the root,
// "" when the path has no separator).
std::string_view folderOf(std::string_view path, char separator = '/');

// A file list pattern as the dialog uses it: '*' stands for any run of characters, '?' for
// one character; everything else must match exactly, letter case included.
bool matchesPattern(std::string_view name, std::string_view pattern);

// A file or folder name as the dialog shows it, in UTF-8. Names are bytes, and those from
// other systems need not be UTF-8: a byte that is not part of a UTF-8 character shows as its
// Latin-1 letter (a Latin-1 "Kl\xe4nge" reads "Klänge"), or as U+FFFD where that would be an
// invisible control; control characters show as their pictures (U+2400 ...) so that a line
// feed cannot break a list row.
std::string readableName(std::string_view bytes);

// True when a file name holds a wildcard of the file list patterns and so cannot name one file.
bool holdsWildcard(std::string_view name);

}  // namespace rotavox
