#include "zarn/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "zarn/numbers.h"
#include "zarn/path_helpers.h"
#include "zarn/print_queue.h"
#include "zarn/setting_steps.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& ch : out)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return out;
}

// The colour box whose settings key is `key`, or none.
std::optional<Ctl> colourBoxOf(const std::string& key) {
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        if (key == kColourBoxes[i].settingsKey) return colourBoxControl(i);
    return std::nullopt;
}

// One line of the settings file as it streams past: only what the rules look at is kept, so
// memory stays the same whatever the line's length.
class SettingsLine {
public:
    void add(std::string_view piece) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (settled()) {
                size_ += piece.size() - i;  // the rest only makes the line longer
                return;
            }
            take(piece[i]);
        }
    }
    void apply(OptionControls& c, JobSettings& s, const SettingsReport& report) const;

private:
    static constexpr std::size_t kShownLength = 200;  // of a line in the bad-line message
    static constexpr std::size_t kKeptKey = 32;       // longer than any key
    static constexpr std::size_t kKeptWord = 127;     // the longest queue name

    void take(char ch);
    bool settled() const {
        return separator_ && value_.ended() && wordEnded_ && keyEnded_ &&
               shown_.size() > kShownLength;
    }
    // The key: the first word of the text before the separator, upper-cased.
    std::string key() const { return keyBegun_ && keyStart_ < *separator_ ? upperAscii(key_) : ""; }
    // The line for the bad-line message: its beginning.
    std::string shown() const {
        return size_ > kShownLength ? shown_.substr(0, kShownLength) + "..." : shown_;
    }

    std::uint64_t size_ = 0;
    std::string shown_;  // the first kShownLength + 1 bytes
    std::string key_;    // the line's first word, cut to kKeptKey + 1 bytes
    std::uint64_t keyStart_ = 0;
    bool keyBegun_ = false, keyEnded_ = false;
    std::optional<std::uint64_t> separator_;  // where the first " = " begins
    char before_[2] = {0, 0};                 // the two bytes before this one
    NumberScanner value_;                     // the first word after the separator
    bool valueBegun_ = false;
    std::string word_;  // the same word as text, cut to kKeptWord + 1 bytes
    bool wordEnded_ = false;
};

void SettingsLine::take(char ch) {
    const std::uint64_t at = size_++;
    if (shown_.size() <= kShownLength) shown_ += ch;
    if (!keyEnded_) {
        if (ch != ' ') {
            if (!keyBegun_) keyStart_ = at;
            keyBegun_ = true;
            if (key_.size() <= kKeptKey) key_ += ch;
        } else {
            keyEnded_ = keyBegun_;
        }
    }
    if (separator_) {
        // A blank before the word is skipped; one after it ends the number.
        valueBegun_ = valueBegun_ || ch != ' ';
        if (valueBegun_) value_.feed(ch);
        if (valueBegun_ && !wordEnded_) {
            wordEnded_ = ch == ' ';
            if (!wordEnded_ && word_.size() <= kKeptWord) word_ += ch;
        }
    } else if (at >= 2 && before_[0] == ' ' && before_[1] == '=' && ch == ' ') {
        separator_ = at - 2;
    }
    before_[0] = before_[1];
    before_[1] = ch;
}

void SettingsLine::apply(OptionControls& c, JobSettings& s, const SettingsReport& report) const {
    if (size_ <= 2 || shown_.compare(0, 2, "%%") == 0) return;
    if (!separator_) return;

    const std::string key = this->key();
    // A value that does not fit 16 bits (or not even a double) matches no range.
    std::optional<int> value;
    if (const std::optional<double> v = value_.valueIfFits()) value = roundEven16IfFits(*v);
    auto within = [&](int lo, int hi) { return value && *value >= lo && *value <= hi; };

    if (key == "COUNTRY") {
        if (value == 31 || value == 44) setEnglish(value == 44, s);
    } else if (key == "MARGINLENGTH") {
        if (!within(0, 99)) return;
        c.setText(Ctl::Text_eind, intText(*value));
        s.marge = static_cast<std::int16_t>(*value);
    } else if (key == "MARGINWIDTH") {
        if (!within(0, 99)) return;
        c.setText(Ctl::Text_breed, intText(*value));
        s.breedte = static_cast<std::int16_t>(*value);
    } else if (key == "PAGEMODE") {
        if (within(0, 1)) setPageMode(*value == 1, c, s);
    } else if (key == "FORCEA4") {
        if (within(0, 2)) setForcedSize(static_cast<ForcedSize>(*value), c, s);
    } else if (key == "POPUPTXT") {
        if (within(0, 1)) c.setTicked(Ctl::chkLogafdruk, *value == 1);
    } else if (const std::optional<Ctl> box = colourBoxOf(key)) {
        if (within(0, 1)) c.setTicked(*box, *value == 1);
    } else if (key == "ROTATE") {
        if (within(0, 1)) setRotation(*value == 1, c, s);
    } else if (key == "CROP") {
        if (within(0, 1)) setCropBoxEnabled(*value == 1, c, s);
    } else if (key == "INKBOX") {
        if (within(0, 1)) s.inkBox = *value == 1;
    } else if (key == "VERIFY") {
        if (within(0, 1)) s.verify = *value == 1;
    } else if (key == "PDF") {
        if (within(0, 1)) s.pdf = *value == 1;
    } else if (key == "PREVIEW") {
        // 1 asks for the usual resolution; a resolution in dpi may be given instead.
        if (within(0, 1)) s.preview = *value == 1 ? kPreviewDpi : 0;
        if (within(kPreviewDpiMin, kPreviewDpiMax)) s.preview = static_cast<std::int16_t>(*value);
    } else if (key == "DSC") {
        if (within(0, 1)) s.dsc = *value == 1;
    } else if (key == "QUEUE") {
        // A queue's name as the print system takes it; an empty value sends nothing.
        if (word_.empty()) {
            s.queue.clear();
        } else if (const std::optional<std::string> name = printQueueName(word_)) {
            s.queue = *name;
        } else if (report) {
            const bool en = s.english();
            report({texts::kErrorTitle.in(en), texts::kSettingsBadLine.in(en) + shown()});
        }
    } else if (key == "OK") {
        if (within(0, 1)) s.okido = static_cast<std::int16_t>(*value);
    } else if (report) {
        const bool en = s.english();
        report({texts::kErrorTitle.in(en), texts::kSettingsBadLine.in(en) + shown()});
    }
}

// Where the first line of `text` ends: at its first CR or LF.
std::size_t lineEnd(std::string_view text) {
    const char* p = text.data();
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', text.size()));
    const std::size_t upTo = cr != nullptr ? static_cast<std::size_t>(cr - p) : text.size();
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', upTo));
    if (lf != nullptr) return static_cast<std::size_t>(lf - p);
    return cr != nullptr ? upTo : std::string_view::npos;
}

}  // namespace

void applySettingsLine(const std::string& line, OptionControls& c, JobSettings& s,
                       const SettingsReport& report) {
    SettingsLine read;
    read.add(line);
    read.apply(c, s, report);
}

namespace {

// Opens `path` for reading without ever waiting: a FIFO, a device or a directory is refused
// (errno set) as a file that cannot be read, since opening or reading one may block for good.
int openRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
    const int reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = reason;
    return -1;
}

std::string reasonOf(int error) {
    return error == EINVAL ? "not a regular file" : std::string(std::strerror(error));
}

// Applies the file's lines as they stream past; false (errno set) when a read fails, after
// applying what was read before it.
bool applyLines(int fd, OptionControls& c, JobSettings& s, const SettingsReport& report) {
    // A line ends at CR (with an optional LF after it) or at a lone LF, so that files
    // written by the desktop's own editors read line by line too. The LF of a CR LF pair
    // ends an empty line, which the rules pass over.
    constexpr std::size_t kChunk = 1 << 16;
    const std::unique_ptr<char[]> chunk(new char[kChunk]);
    SettingsLine line;
    bool pending = false;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.get(), kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        std::string_view rest(chunk.get(), static_cast<std::size_t>(got));
        for (std::size_t end; (end = lineEnd(rest)) != std::string_view::npos;) {
            line.add(rest.substr(0, end));
            line.apply(c, s, report);
            line = SettingsLine();
            pending = false;
            rest.remove_prefix(end + 1);
        }
        line.add(rest);
        pending = pending || !rest.empty();
    }
    if (pending) line.apply(c, s, report);
    return true;
}

// Reads an opened settings file and closes it: the reason it failed, or none.
std::optional<std::string> readAndClose(int fd, OptionControls& c, JobSettings& s,
                                        const SettingsReport& report) {
    const bool read = applyLines(fd, c, s, report);
    const int error = errno;
    ::close(fd);
    if (read) return std::nullopt;
    return reasonOf(error);
}

}  // namespace

std::string userSettingsFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/')  // a relative one is to be ignored
        folder = config;
    else if (home != nullptr && home[0] != '\0')
        folder = std::string(home) + "/.config";
    else
        return {};
    return folder + "/zarn1-ps-repair/" + kSettingsFileName;
}

std::string noSettingsFileFound() {
    const std::string own = userSettingsFile();
    return std::string("none (neither ") + kSettingsFileName + " here nor " +
           (own.empty() ? std::string("a file of the user's") : own) + ")";
}

std::optional<std::string> settingsFileToRead() {
    if (FileExists(kSettingsFileName)) return std::string(kSettingsFileName);
    const std::string own = userSettingsFile();
    if (!own.empty() && FileExists(own)) return own;
    return std::nullopt;
}

bool readSettingsFile(const std::string& path, OptionControls& c, JobSettings& s,
                      const SettingsReport& report) {
    if (!FileExists(path)) return false;
    const int fd = openRegularFile(path);
    // There but unreadable, or a read that fails part way: what was applied stays.
    if (fd >= 0) (void)readAndClose(fd, c, s, report);
    return true;
}

std::optional<std::string> readNamedSettingsFile(const std::string& path, OptionControls& c,
                                                 JobSettings& s, const SettingsReport& report) {
    const int fd = openRegularFile(path);
    if (fd < 0) return reasonOf(errno);
    return readAndClose(fd, c, s, report);
}

}  // namespace zarn
