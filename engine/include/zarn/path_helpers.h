// String operations on paths and words; '/' is the directory separator.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zarn {

// The first space-delimited word of `ingang` (leading spaces skipped; only code 32 counts).
std::string_view afhak(std::string_view ingang);
// True when `strFile` names an existing ordinary, non-hidden file.
bool FileExists(const std::string& strFile);
std::string PathOnly(std::string_view filepath);
std::string FileOnly(std::string_view filepath);
std::string ExtOnly(std::string_view filepath, bool dot);
// The file-name part before its last '.'; none when it has no '.'.
std::optional<std::string> NameOnly(std::string_view filename);
// `path` as a full path, as a drop delivers it: a relative one is taken from the working
// directory as the kernel resolves it, its "." parts gone and its ".." parts kept ("link/.."
// is not always "."). Throws ConversionError when the working directory cannot be named.
std::string absolutePath(const std::string& path);

}  // namespace zarn
