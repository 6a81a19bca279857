// Shared by the engine tests: a platform that records instead of showing, a scratch
// directory, and whole-file reads and writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "zarn/platform.h"

namespace zarn::testing {

struct RecordingPlatform : Platform {
    struct Message {
        std::string title;
        MessageIcon icon;
        std::string text;
    };
    std::vector<Message> messages;
    std::vector<std::string> opened;
    std::vector<int> percents;
    int beeps = 0;
    int ended = 0;
    bool viewerWorks = true;

    bool isDirectory(const std::string& path) override;
    void showMessage(const std::string& title, MessageIcon icon, const std::string& text) override {
        messages.push_back({title, icon, text});
    }
    bool openTextViewer(const std::string& path) override {
        opened.push_back(path);
        return viewerWorks;
    }
    bool openImageViewer(const std::string& path) override {
        opened.push_back(path);
        return viewerWorks;
    }
    void beep() override { ++beeps; }
    void progress(int percent) override { percents.push_back(percent); }
    // What was sent to a print queue: the request and the document's bytes; the answer.
    std::vector<std::pair<PrintRequest, std::string>> sent;
    PrintSubmission printAnswer{42, {}};
    PrintSubmission sendToQueue(const PrintRequest& request) override;
    void endProgram() override { ++ended; }
};

// A fresh directory under the system's temporary directory (its path free of links), removed
// with its content unless keep() was called (a failing test keeps its files for a look).
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool keep_ = false;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Lines joined with CR LF, with a CR LF after the last.
std::string crlf(const std::vector<std::string>& lines);

}  // namespace zarn::testing

#include "zarn/conversion.h"

namespace zarn::testing {

// A small input: the six header lines, the window (15 lines from line 7) and a body.
struct Board {
    std::string first = "%!PS-Adobe-3.0";
    std::string creator = "%%Creator: Zarn1 6.10";
    std::string title = "%%Title: BOARD";
    std::string created = "%%CreationDate: 07-12-2026";
    std::string bbox = "%%BoundingBox: 0 0 595 842";
    std::string end = "%%EndComments";
    std::vector<std::string> window{"1 zarn_units scale", "0 0 translate"};
    std::vector<std::string> body{"0 0 m", "0 0 l", "s", "showpage", "\x04"};

    // The window is padded with prolog lines to fifteen turns of the analysis pass.
    std::string bytes() const;
};

// The start values, with the log popup off: a conversion that opens no viewer.
JobSettings quietSettings();

struct Converted {
    DropResult result;
    RecordingPlatform platform;
    std::string log, output;
    std::vector<std::string> logLines() const;
};

// Writes `input` as `name` into `dir` and drops it with `settings`.
Converted convert(const ScratchDir& dir, const std::string& input, JobSettings settings,
                  const std::string& name = "BOARD.P01");

}  // namespace zarn::testing
