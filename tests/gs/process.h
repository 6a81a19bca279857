// Runs the converter, the generator and Ghostscript as child processes, never through a shell.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarn::gs {

struct RunResult {
    int status = -1;  // exit status; -1 when the child could not start or did not exit normally
    std::string out, err;
};

// Runs argv[0] (looked up in PATH when it holds no slash) with the given arguments and
// collects what it writes to stdout and stderr.
RunResult run(const std::vector<std::string>& argv);

// The full path of an executable found in PATH, if any.
std::optional<std::string> findInPath(const std::string& name);

// A fresh directory under the system's temporary directory; removed with its content unless
// keep() was called (a failing test keeps its files for a look).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool keep_ = false;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace zarn::gs
