#include "zarn/path_helpers.h"

#include <sys/stat.h>

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

std::string NameOnly(std::string_view filename) {
    const std::string file = FileOnly(filename);
    const std::size_t mark = file.rfind('.');
    if (mark == std::string::npos)
        throw std::invalid_argument("the file name \"" + file + "\" has no extension");
    return file.substr(0, mark);
}

std::string ChangeExt(std::string_view filepath, std::string& newext) {
    const std::size_t mark = filepath.rfind('.');
    std::string base(mark == std::string_view::npos ? filepath : filepath.substr(0, mark));
    if (!newext.empty()) newext = "." + newext;
    return base + newext;
}

bool DirExists(const std::string& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FixPath(std::string_view strPath) {
    if (!strPath.empty() && strPath.back() == kSep) return std::string(strPath);
    return std::string(strPath) + kSep;
}

}  // namespace zarn
