// The benchmark's generator: the shape the measurements and the Ghostscript checks rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "process.h"

namespace zarn::gs {
namespace {

std::string generate(const TempDir& dir, const std::vector<std::string>& options) {
    std::vector<std::string> argv{ZARN_GENERATOR};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(dir.file("BENCH.P01"));
    const RunResult r = run(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    return readFile(dir.file("BENCH.P01"));
}

// Splits on CR with an optional LF after it, the way the converter reads.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t cr = std::min(text.find('\r', from), text.size());
        out.push_back(text.substr(from, cr - from));
        from = cr + 1;
        if (from < text.size() && text[from] == '\n') ++from;
    }
    return out;
}

bool isDrawing(const std::string& line) {
    return line.size() > 2 && (line.ends_with(" l") || line.ends_with(" m"));
}

TEST(Generator, SameSeedSameBytesOtherSeedOtherBytes) {
    TempDir dir;
    const std::string a = generate(dir, {"--size=50000", "--seed=3"});
    const std::string b = generate(dir, {"--size=50000", "--seed=3"});
    const std::string c = generate(dir, {"--size=50000", "--seed=4"});
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

struct Shape {
    const char* name;
    std::vector<std::string> options;
    bool version7;
    bool crOnly;
};

void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.name; }

class GeneratorShape : public ::testing::TestWithParam<Shape> {};

TEST_P(GeneratorShape, LooksLikeAPlotterFile) {
    const Shape& shape = GetParam();
    TempDir dir;
    std::vector<std::string> options{"--size=200000", "--seed=9"};
    options.insert(options.end(), shape.options.begin(), shape.options.end());
    const std::string bytes = generate(dir, options);

    EXPECT_NEAR(static_cast<double>(bytes.size()), 200000.0, 2000.0);
    const std::size_t crs = std::count(bytes.begin(), bytes.end(), '\r');
    const std::size_t lfs = std::count(bytes.begin(), bytes.end(), '\n');
    EXPECT_EQ(lfs, shape.crOnly ? 0 : crs);
    ASSERT_TRUE(bytes.ends_with(shape.crOnly ? "\x04\r" : "\x04\r\n"));

    const std::vector<std::string> l = lines(bytes);
    ASSERT_GT(l.size(), 30u);
    EXPECT_EQ(l[1], shape.version7 ? "%%Creator: Zarn1 7.04" : "%%Creator: Zarn1 6.10");
    EXPECT_EQ(l[4], "%%BoundingBox: 0 0 595 842");
    EXPECT_EQ(l[5], "%%EndComments");
    if (shape.version7) {
        EXPECT_TRUE(l[6].starts_with("{statusdict begin"));
        EXPECT_EQ(l[8], "0 842 translate");
        EXPECT_EQ(l[9], "1 -1 scale");
    }

    // The scale line and the translate line right after it, inside input lines 7 to 21; no
    // drawing before line 26, where both passes' translate windows have ended.
    std::size_t scaleAt = 0;
    for (std::size_t i = 6; i < 21; ++i)
        if (l[i].find("zarn_units scale") != std::string::npos) scaleAt = i;
    ASSERT_NE(scaleAt, 0u);
    EXPECT_TRUE(l[scaleAt + 1].ends_with(" translate"));
    EXPECT_LT(scaleAt + 1, 21u);
    for (std::size_t i = 0; i < 25; ++i) EXPECT_FALSE(isDrawing(l[i])) << l[i];

    // Every track starts on a lineto point, so the extent of the lineto points is the extent
    // of the marks; the plot uses every gray level and the thin-line setting.
    std::size_t moves = 0;
    for (std::size_t i = 25; i + 1 < l.size(); ++i) {
        if (!l[i].ends_with(" m")) continue;
        ++moves;
        EXPECT_EQ(l[i + 1], l[i].substr(0, l[i].size() - 1) + "l") << "line " << i + 1;
    }
    EXPECT_GT(moves, 100u);
    for (const char* level : {"0.0 g", "0.1 g", "0.2 g", "0.3 g", "0.4 g", "0.5 g", "0.6 g",
                              "0.7 g", "0.8 g", "2 w"})
        EXPECT_NE(std::find(l.begin(), l.end(), level), l.end()) << level;
    EXPECT_EQ(l[l.size() - 3], "showpage");
    EXPECT_EQ(l[l.size() - 2], "%%Trailer");
}

INSTANTIATE_TEST_SUITE_P(Shapes, GeneratorShape,
                         ::testing::Values(Shape{"version6", {}, false, false},
                                           Shape{"version7", {"--version7"}, true, false},
                                           Shape{"cr_only", {"--cr-only"}, false, true},
                                           Shape{"version7_cr_only_scale10",
                                                 {"--version7", "--cr-only", "--scale=10"},
                                                 true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zarn::gs
