#include "zarn/path_helpers.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace zarn {
namespace {

TEST(PathHelpers, Afhak) {
    EXPECT_EQ(afhak("  12 mm"), "12");
    EXPECT_EQ(afhak("0.95"), "0.95");
    EXPECT_EQ(afhak(""), "");
    EXPECT_EQ(afhak("    "), "");
    EXPECT_EQ(afhak("abc "), "abc");
    EXPECT_EQ(afhak("\tabc def"), "\tabc");  // only the blank separates
}

TEST(PathHelpers, SplittingPaths) {
    const struct {
        const char* path;
        const char* pathOnly;
        const char* fileOnly;
        const char* ext;
        // clang-format off
    } cases[] = {
        {"/jobs/board.P01", "/jobs", "board.P01", "P01"},
        {"/board.P01", "", "board.P01", "P01"},
        {"board.P01", "", "board.P01", "P01"},
        {"/jobs/", "/jobs", "", "/jobs/"},
        {"/jobs.old/board", "/jobs.old", "board", "old/board"},
        {"/jobs/board", "/jobs", "board", "/jobs/board"},
        {"C:\\jobs\\board.P01", "", "C:\\jobs\\board.P01", "P01"},  // a backslash is a character
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(PathOnly(c.path), c.pathOnly) << c.path;
        EXPECT_EQ(FileOnly(c.path), c.fileOnly) << c.path;
        EXPECT_EQ(ExtOnly(c.path, false), c.ext) << c.path;
        EXPECT_EQ(ExtOnly(c.path, true), std::string(".") + c.ext) << c.path;
    }
}

TEST(PathHelpers, NameOnlyNeedsADotInTheFileName) {
    EXPECT_EQ(NameOnly("/jobs/board.rev.P01"), "board.rev");
    EXPECT_EQ(NameOnly("/jobs/board.P01"), "board");
    EXPECT_EQ(NameOnly("/jobs/board"), std::nullopt);
    EXPECT_EQ(NameOnly("/jobs.P01/board"), std::nullopt);
}

TEST(PathHelpers, FileExistsOnlyForOrdinaryVisibleFiles) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("ZARN1_PS.INI"), "");
    testing::writeFile(dir.file(".hidden"), "");
    EXPECT_TRUE(FileExists(dir.file("ZARN1_PS.INI")));
    EXPECT_FALSE(FileExists(dir.file(".hidden")));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.file("missing")));
    EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace zarn
