// With every addition off, what the converter writes is what it wrote before the additions:
// generated inputs under several option sets, against fingerprints of the older release's
// output and log. The additions named off explicitly change nothing either.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace {

using zarn::testing::readFile;
using zarn::testing::RunResult;
using zarn::testing::ScratchDir;

// Every addition, off.
const std::vector<std::string> kAdditionsOff{"--no-ink-box", "--no-verify", "--no-pdf",
                                             "--no-preview", "--no-dsc",    "--no-send-to"};

// The folder's path in `bytes` counts as "@".
std::string fingerprint(const std::string& bytes, const std::string& folder) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    const auto take = [&h](unsigned char b) { h = (h ^ b) * 0x100000001b3ULL; };
    for (std::size_t i = 0; i < bytes.size();) {
        if (bytes.compare(i, folder.size(), folder) == 0) {
            take('@');
            i += folder.size();
        } else {
            take(static_cast<unsigned char>(bytes[i++]));
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> all;
    for (std::string w; in >> w;) all.push_back(w);
    return all;
}

TEST(Unchanged, WithEveryAdditionOffTheBytesAreThoseOfBefore) {
    std::istringstream manifest(readFile(ZARN_UNCHANGED_MANIFEST));
    int cases = 0;
    for (std::string line; std::getline(manifest, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t bar1 = line.find(" | "), bar2 = line.find(" | ", bar1 + 3);
        const std::string generated = line.substr(0, bar1);
        const std::string options = line.substr(bar1 + 3, bar2 - bar1 - 3);
        const std::vector<std::string> expected = words(line.substr(bar2 + 3));
        ASSERT_EQ(expected.size(), 3u) << line;
        SCOPED_TRACE(std::string(generated).append(" | ").append(options));
        ScratchDir dir;
        const std::string input = dir.file("GEN.P01");
        std::vector<std::string> argv{ZARN_GENERATOR};
        for (const std::string& w : words(generated)) argv.push_back(w);
        argv.push_back(input);
        ASSERT_EQ(zarn::testing::run(argv).status, 0);
        ASSERT_EQ(fingerprint(readFile(input), dir.path()), expected[0]) << "the generator changed";
        const bool eps = options.find("--eps") != std::string::npos;
        for (const bool namedOff : {false, true}) {
            std::vector<std::string> convert{ZARN_CONVERTER, "--no-settings", "-q"};
            for (const std::string& w : words(options)) convert.push_back(w);
            if (namedOff) convert.insert(convert.end(), kAdditionsOff.begin(), kAdditionsOff.end());
            convert.push_back(input);
            const RunResult r = zarn::testing::run(convert);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(
                fingerprint(readFile(dir.file(eps ? "GEN_E01.eps" : "GEN_E01.ps")), dir.path()),
                expected[1]);
            EXPECT_EQ(fingerprint(readFile(dir.file("GEN_E01_log.TXT")), dir.path()), expected[2]);
        }
        ++cases;
    }
    EXPECT_GE(cases, 30);
}

}  // namespace
