#include "zarn/path_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "zarn/conversion_error.h"

namespace zarn {

namespace {
constexpr char kSep = '/';
}

std::string_view afhak(std::string_view ingang) {
    std::size_t pos = 0;
    while (pos < ingang.size() && ingang[pos] == ' ') ++pos;
    const std::size_t blank = ingang.find(' ', pos);
    if (blank == std::string_view::npos) return ingang.substr(pos);
    return ingang.substr(pos, blank - pos);
}

bool FileExists(const std::string& strFile) {
    if (strFile.empty()) return false;
    struct stat st {};
    if (::stat(strFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // A dot file is this platform's hidden file.
    return FileOnly(strFile).rfind('.', 0) != 0;
}

std::string PathOnly(std::string_view filepath) {
    const std::size_t sep = filepath.rfind(kSep);
    if (sep == std::string_view::npos) return {};
    return std::string(filepath.substr(0, sep));
}

std::string FileOnly(std::string_view filepath) {
    const std::size_t sep = filepath.rfind(kSep);
    if (sep == std::string_view::npos) return std::string(filepath);
    return std::string(filepath.substr(sep + 1));
}

std::string ExtOnly(std::string_view filepath, bool dot) {
    const std::size_t mark = filepath.rfind('.');
    std::string ext(mark == std::string_view::npos ? filepath : filepath.substr(mark + 1));
    return dot ? "." + ext : ext;
}

std::optional<std::string> NameOnly(std::string_view filename) {
    const std::string file = FileOnly(filename);
    const std::size_t mark = file.rfind('.');
    if (mark == std::string::npos) return std::nullopt;
    return file.substr(0, mark);
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == kSep) return path;
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) {
        if (errno == ENAMETOOLONG)
            throw ConversionError("the working directory is too deep to name");
        throw ConversionError("cannot determine the working directory: " +
                              std::string(std::strerror(errno)));
    }
    // A path longer than the kernel opens at once is still one: the conversion follows it a
    // piece at a time.
    std::string full(cwd.get());
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t slash = std::min(path.find(kSep, from), path.size());
        const std::string_view part(path.data() + from, slash - from);
        if (!part.empty() && part != ".") (full += kSep) += part;
        from = slash + 1;
    }
    return full;
}

}  // namespace zarn
