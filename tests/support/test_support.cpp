#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zarn::testing {

bool RecordingPlatform::isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PrintSubmission RecordingPlatform::sendToQueue(const PrintRequest& request) {
    std::string document;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(request.document, buffer, sizeof buffer, at);
        if (n <= 0) break;
        document.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    sent.emplace_back(request, document);
    return printAnswer;
}

ScratchDir::ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "zarn-test-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = std::filesystem::canonical(templ).string();
}

ScratchDir::~ScratchDir() {
    if (keep_) return;
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

}  // namespace zarn::testing

namespace zarn::testing {

std::string Board::bytes() const {
    std::vector<std::string> lines{first, creator, title, created, bbox, end};
    lines.insert(lines.end(), window.begin(), window.end());
    // The line after a scale line is read in the same turn of the fifteen.
    std::size_t turns = 15;
    for (const std::string& l : window) turns += l.find("zarn_units scale") != std::string::npos;
    for (std::size_t n = window.size(); n < turns; ++n) lines.push_back("% prolog line");
    lines.insert(lines.end(), body.begin(), body.end());
    return crlf(lines);
}

std::vector<std::string> Converted::logLines() const {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < log.size()) {
        const std::size_t end = log.find("\r\n", from);
        if (end == std::string::npos) {
            lines.push_back(log.substr(from));
            break;
        }
        lines.push_back(log.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

JobSettings quietSettings() {
    JobSettings s;
    s.LogAfdruk = 0;
    return s;
}

Converted convert(const ScratchDir& dir, const std::string& input, JobSettings settings,
                  const std::string& name) {
    Converted c;
    writeFile(dir.file(name), input);
    DroppedData drop;
    drop.paths.push_back(dir.file(name));
    c.result = convertDrop(drop, settings, c.platform);
    if (!c.result.log_path.empty() && fileExists(c.result.log_path))
        c.log = readFile(c.result.log_path);
    if (!c.result.output_path.empty() && fileExists(c.result.output_path))
        c.output = readFile(c.result.output_path);
    return c;
}

}  // namespace zarn::testing
