// Ghostscript as the outside referee: inputs and outputs must render without a PostScript
// error, and the marks that Ghostscript finds must fill the bounding box we wrote.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace zarn::gs {
namespace {

using testing::findInPath;
using testing::readFile;
using testing::run;
using testing::RunResult;
using testing::ScratchDir;
using testing::writeFile;

// ---------------------------------------------------------------------------------------------
// Inputs

// A small input written here, shaped like a plotter's file: header, optional version-7 page
// set-up, prolog, scale and translate, set-up lines up to the end of the translate window, then
// a drawing in which every stroked point is also the point of an "x y l" line.
struct Written {
    bool version7 = false;
    std::string first = "%!PS-Adobe-3.0";
    std::string scale;   // first word of the scale line
    std::string origin;  // "x y" of the translate line
    int span = 1000;     // extent of the drawing in raw units
    std::vector<std::string> ending;
    std::string eol = "\r\n";
    bool startsAtEdges = false;  // tracks of a wide pen that start ("m") at the four edges
};

std::string point(int x, int y, const char* op) {
    return std::to_string(x) + " " + std::to_string(y) + " " + op;
}

// One track per gray level 0.0 ... 0.9 (with "2 w" among the widths), a flashed pad at the far
// right and a filled pad; the extremes lie at 2 % and 99 % of the span.
std::vector<std::string> drawing(int span) {
    auto at = [span](int permille) { return static_cast<int>(1LL * span * permille / 1000); };
    std::vector<std::string> d;
    for (int i = 0; i < 10; ++i) {
        d.push_back("0." + std::to_string(i) + " g");
        d.push_back(i % 3 == 0 ? "2 w" : std::to_string(std::max(1, span / 250)) + " w");
        const int x0 = at(20 + 90 * i), y0 = at(20 + 40 * i);
        d.push_back(point(x0, y0, "m"));
        d.push_back(point(x0, y0, "l"));
        d.push_back(point(x0, at(500 + 30 * i), "l"));
        d.push_back(point(at(100 + 85 * i), at(990), "l"));
        d.push_back("s");
    }
    d.push_back("0.0 g");
    d.push_back(std::to_string(std::max(1, span / 80)) + " w");
    d.push_back(point(at(990), at(400), "m"));
    d.push_back(point(at(990), at(400), "l"));
    d.push_back("s");
    d.push_back(point(at(500), at(500), "m"));
    d.push_back(point(at(500), at(500), "l"));
    d.push_back(point(at(560), at(500), "l"));
    d.push_back(point(at(560), at(540), "l"));
    d.push_back(point(at(500), at(540), "l"));
    d.push_back("c");
    d.push_back("f");
    return d;
}

std::string zarnFile(const Written& w) {
    std::vector<std::string> lines{w.first,
                                   w.version7 ? "%%Creator: Zarn1 7.04" : "%%Creator: Zarn1 6.10",
                                   "%%Title: GS",
                                   "%%CreationDate: 07-12-2026",
                                   "%%BoundingBox: 0 0 595 842",
                                   "%%EndComments"};
    if (w.version7) {
        lines.insert(lines.end(), {"{statusdict begin 595 842 0 1 setpageparams end} stopped pop",
                                   "60 45 {dup mul exch dup mul add 1 exch sub} setscreen",
                                   "0 842 translate", "1 -1 scale"});
    }
    lines.insert(lines.end(), {"/m {moveto} def", "/l {lineto} def", "/s {stroke} def",
                               "/g {setgray} def", "/w {setlinewidth} def", "/c {closepath} def",
                               "/f {fill} def", "/zarn_units {0.05625 mul dup} def"});
    lines.push_back(w.scale + " zarn_units scale");
    lines.push_back(w.origin + " translate");
    lines.insert(lines.end(), {"1 setlinecap", "1 setlinejoin", "%%Page: 1 1", "gsave"});
    // No drawing inside either pass's translate window (up to input line 25).
    while (lines.size() < 25) lines.push_back("newpath");
    for (const std::string& line : drawing(w.span)) lines.push_back(line);
    if (w.startsAtEdges) {
        const int span = w.span, mid = span / 2, in = span / 5;
        lines.push_back(std::to_string(std::max(1, span / 60)) + " w");
        for (const auto& [from, to] :
             {std::pair(point(0, mid, "m"), point(in, mid, "l")),
              std::pair(point(span, mid, "m"), point(span - in, mid, "l")),
              std::pair(point(mid, 0, "m"), point(mid, in, "l")),
              std::pair(point(mid, span, "m"), point(mid, span - in, "l"))})
            lines.insert(lines.end(), {from, to, "s"});
    }
    for (const std::string& line : w.ending) lines.push_back(line);
    std::string bytes;
    for (const std::string& line : lines) bytes += line + w.eol;
    return bytes;
}

struct Input {
    std::string name;
    std::vector<std::string> generatorArgs;  // generated by the benchmark's generator ...
    std::string bytes;                       // ... or written here
};

Input generated(std::string name, std::vector<std::string> args) {
    return {std::move(name), std::move(args), {}};
}
Input written(std::string name, const Written& w) { return {std::move(name), {}, zarnFile(w)}; }

const std::vector<Input>& inputs() {
    static const std::vector<Input> all = [] {
        const std::string eoj = "\x04";
        Written fractionalOrigin;  // 24.8 and 15.5 are read as 25 and 16
        fractionalOrigin.scale = "10";
        fractionalOrigin.origin = "24.8 15.5";
        fractionalOrigin.span = 600;
        fractionalOrigin.ending = {"showpage", eoj};

        Written showpageLast;
        showpageLast.scale = "1";
        showpageLast.origin = "700 900";
        showpageLast.span = 8000;
        showpageLast.ending = {"grestore", "showpage"};

        Written v7;  // offsets 1748 and 3496 Zarn units
        v7.version7 = true;
        v7.scale = "2";
        v7.origin = "1000 2000";
        v7.span = 3000;
        v7.ending = {"grestore", "showpage", "%%Trailer", eoj};

        Written v7Clamped;  // the version-7 correction would make the origin negative
        v7Clamped.version7 = true;
        v7Clamped.scale = "1";
        v7Clamped.origin = "200 400";
        v7Clamped.span = 6000;
        v7Clamped.ending = {"gsave showpage grestore", eoj};

        Written epsFirstLine;
        epsFirstLine.first = "%!PS-Adobe-3.0 EPSF-3.0";
        epsFirstLine.scale = "0.5";
        epsFirstLine.origin = "3000 2500";
        epsFirstLine.span = 16000;
        epsFirstLine.ending = {"showpage", "%%EOF"};

        Written crOnly;
        crOnly.scale = "0.05";
        crOnly.origin = "20000 30000";
        crOnly.span = 120000;
        crOnly.ending = {"showpage", "%%Trailer", eoj};
        crOnly.eol = "\r";

        // clang-format off
        return std::vector<Input>{
            generated("gen_scale1_28", {"--seed=11", "--scale=1.28", "--size=30000"}),
            generated("gen_v7_scale2", {"--seed=12", "--version7", "--scale=2",
                                        "--origin=800,1200", "--size=30000"}),
            generated("gen_v7_origin_clamped", {"--seed=13", "--version7", "--scale=1",
                                                "--origin=100,300", "--size=30000"}),
            generated("gen_cr_only_scale0_05", {"--seed=14", "--cr-only", "--scale=0.05",
                                                "--origin=20000,30000", "--size=30000"}),
            generated("gen_scale10", {"--seed=15", "--scale=10", "--origin=50,80", "--size=30000"}),
            written("scale10_fractional_origin", fractionalOrigin),
            written("ends_in_showpage", showpageLast),
            written("v7_scale2", v7),
            written("v7_origin_clamped_gsave_showpage", v7Clamped),
            written("eps_first_line_ends_in_eof", epsFirstLine),
            written("cr_only_scale0_05", crOnly),
        };
        // clang-format on
    }();
    return all;
}

// The inputs and one whose tracks start ("m") at its edges with a wide pen: only the ink box
// sees where those start. The version-7 correction clamps its origin to 0, so its ink starts
// below and left of it.
const std::vector<Input>& inkInputs() {
    static const std::vector<Input> all = [] {
        Written edges;
        edges.version7 = true;
        edges.scale = "1";
        edges.origin = "100 300";
        edges.span = 6000;
        edges.ending = {"grestore", "showpage", "\x04"};
        edges.startsAtEdges = true;
        std::vector<Input> more = inputs();
        more.push_back(written("v7_track_starts_at_edges", edges));
        return more;
    }();
    return all;
}

// ---------------------------------------------------------------------------------------------
// Conversion modes

struct Mode {
    std::string name;
    std::vector<std::string> args;
    bool eps;
    double widthMargin, endMargin;  // PS units the converter adds to the job's width and height
    bool rotated = false;           // the page parameter line turns the page over
};

constexpr const char* kAllGray = "--gray=0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8";
// Forced pages keep the default colour rules (0.1, 0.2 and 0.4).
// clang-format off
const std::vector<Mode> kModes{
    {"print", {"--print", kAllGray}, false, 43, 28},
    {"print_no_margins", {"--print", kAllGray, "--end-margin=0", "--extra-width=0"}, false, 3, 3},
    {"print_a4", {"--print", "--force=a4"}, false, 43, 28},
    {"print_a3_rotated", {"--print", "--force=a3", "--rotate"}, false, 43, 28, true},
    {"eps", {"--eps", kAllGray}, true, 43, 28},
    {"eps_no_margins", {"--eps", kAllGray, "--end-margin=0", "--extra-width=0"}, true, 1, 0},
};
// clang-format on

// clang-format off
const Mode kPrint{"print", {"--print"}, false, 43, 28};
const Mode kA4{"a4", {"--force=a4"}, false, 43, 28};
const Mode kA3{"a3_crop_rotated", {"--force=a3", "--crop=0.95", "--rotate"}, false, 43, 28, true};
const Mode kEps{"eps", {"--eps"}, true, 43, 28};
// clang-format on

Mode with(Mode mode, const std::string& option) {
    mode.args.push_back(option);
    return mode;
}

// gtest prints parameters on failure; the name says it all.
void PrintTo(const Input& input, std::ostream* os) { *os << input.name; }
void PrintTo(const Mode& mode, std::ostream* os) { *os << mode.name; }

// ---------------------------------------------------------------------------------------------
// Reading what the converter wrote and what Ghostscript found

struct Box {
    double llx, lly, urx, ury;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "[" << b.llx << " " << b.lly << " " << b.urx << " " << b.ury << "]";
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t cr = std::min(text.find('\r', from), text.size());
        lines.push_back(text.substr(from, cr - from));
        from = cr + 1;
        if (from < text.size() && text[from] == '\n') ++from;
    }
    return lines;
}

std::optional<Box> boxAfter(const std::string& line, const std::string& key) {
    if (line.rfind(key, 0) != 0) return std::nullopt;
    std::istringstream in(line.substr(key.size()));
    Box b{};
    if (!(in >> b.llx >> b.lly >> b.urx >> b.ury)) return std::nullopt;
    return b;
}

// The first box after `key` in the output.
Box headerBox(const std::string& output, const std::string& key) {
    for (const std::string& line : linesOf(readFile(output)))
        if (const auto b = boxAfter(line, key)) return *b;
    ADD_FAILURE() << "no " << key << "in " << output;
    return {};
}

// What the geometry of an output allows: the box we wrote, the widest line, the scale.
struct OutputGeometry {
    Box box{};
    double halfWidth = 0;  // PS units
    double slack = 0;      // whole-unit rounding of the box and the translate, PS units
    double tolerance() const { return halfWidth + slack; }
};

OutputGeometry geometryOf(const std::string& output) {
    OutputGeometry g;
    double scale = 0, widest = 0;
    bool haveBox = false;
    for (const std::string& line : linesOf(output)) {
        if (auto b = boxAfter(line, "%%BoundingBox: "); b && !haveBox) {
            g.box = *b;
            haveBox = true;
        } else if (line.find("zarn_units scale") != std::string::npos) {
            scale = std::strtod(line.c_str(), nullptr);
        } else if (line.size() > 2 && line.compare(line.size() - 2, 2, " w") == 0) {
            char* end = nullptr;
            const double width = std::strtod(line.c_str(), &end);
            if (end == line.c_str() + line.size() - 2) widest = std::max(widest, width);
        }
    }
    EXPECT_TRUE(haveBox) << "no %%BoundingBox line in the output";
    EXPECT_GT(scale, 0) << "no scale line in the output";
    constexpr double kPsPerZarn = 0.05625;
    g.halfWidth = widest * scale * kPsPerZarn / 2;
    // Box edges are whole PS units (0.5); coordinates and the rewritten translate are whole
    // Zarn and raw units (0.5 and scale / 2 Zarn units); the bbox device works in pixels.
    g.slack = 0.5 + (0.5 + scale / 2) * kPsPerZarn + 0.05;
    return g;
}

// Margins aside, the marks lie at every edge of the box we wrote, up to half the widest line:
// the measurement is neither short nor long.
void expectReachesEdges(const Box& m, const OutputGeometry& g, const Mode& mode) {
    const double tol = g.tolerance();
    EXPECT_NEAR(m.llx, g.box.llx, tol);
    EXPECT_NEAR(m.lly, g.box.lly, tol);
    EXPECT_NEAR(m.urx, g.box.urx - mode.widthMargin, tol);
    EXPECT_NEAR(m.ury, g.box.ury - mode.endMargin, tol);
}

class GhostscriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto found = findInPath("gs");
        if (!found) {
            GTEST_SKIP() << "Ghostscript (gs) is not in PATH: install the Debian package "
                            "ghostscript (scripts/setup.sh does) to run these checks";
        }
        gs_ = *found;
    }
    void TearDown() override {
        if (HasFailure()) {
            dir_.keep();
            std::cerr << "files kept in " << dir_.path() << "\n";
        }
    }

    // Puts the input into the scratch directory under a plotter's file name.
    std::string materialise(const Input& input) {
        const std::string path = dir_.file("GS.P07");
        if (input.generatorArgs.empty()) {
            writeFile(path, input.bytes);
        } else {
            std::vector<std::string> argv{ZARN_GENERATOR};
            argv.insert(argv.end(), input.generatorArgs.begin(), input.generatorArgs.end());
            argv.push_back(path);
            const RunResult r = run(argv);
            EXPECT_EQ(r.status, 0) << r.err;
        }
        return path;
    }

    // Returns the output path, or an empty string when the conversion failed.
    std::string convert(const std::string& input, const Mode& mode) {
        std::vector<std::string> argv{ZARN_CONVERTER, "--no-settings"};
        argv.insert(argv.end(), mode.args.begin(), mode.args.end());
        argv.push_back(input);
        const RunResult r = run(argv);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string output = dir_.file(mode.eps ? "GS_E07.eps" : "GS_E07.ps");
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), output);
        return r.status == 0 ? output : std::string{};
    }

    RunResult ghostscript(const std::string& device, const std::vector<std::string>& options,
                          const std::string& file) {
        std::vector<std::string> argv{gs_,       "-q",        "-dSAFER",
                                      "-dBATCH", "-dNOPAUSE", "-sDEVICE=" + device};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(file);
        return run(argv);
    }

    // The union of every non-empty page's marks, as the bbox device reports them; the file
    // renders without a PostScript error.
    std::optional<Box> marks(const std::vector<std::string>& options, const std::string& file) {
        const RunResult r = ghostscript("bbox", options, file);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
        std::optional<Box> all;
        std::istringstream report(r.err + "\n" + r.out);
        std::string line;
        while (std::getline(report, line)) {
            const auto b = boxAfter(line, "%%HiResBoundingBox: ");
            if (!b || (b->urx <= b->llx && b->ury <= b->lly)) continue;  // an empty page
            all = all ? Box{std::min(all->llx, b->llx), std::min(all->lly, b->lly),
                            std::max(all->urx, b->urx), std::max(all->ury, b->ury)}
                      : *b;
        }
        EXPECT_TRUE(all) << "Ghostscript found no marks\n" << r.err;
        return all;
    }

    // Every mark on a page large enough for any coordinate, whatever page the file sets up:
    // the origin moved far up and right, and moved back in the report.
    Box unclippedMarks(const std::string& output) {
        const auto m =
            marks({"-dDEVICEWIDTHPOINTS=40000", "-dDEVICEHEIGHTPOINTS=40000", "-dFIXEDMEDIA", "-c",
                   "<< /Install { initmatrix 20000 20000 translate } >> setpagedevice", "-f"},
                  output);
        EXPECT_TRUE(m);
        return m ? Box{m->llx - 20000, m->lly - 20000, m->urx - 20000, m->ury - 20000} : Box{};
    }

    ScratchDir dir_;
    std::string gs_;
};

// ---------------------------------------------------------------------------------------------
// Every output, in every mode

using Case = std::tuple<Input, Mode>;

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return std::get<Input>(info.param).name + "_" + std::get<Mode>(info.param).name;
}

class Output : public GhostscriptTest, public ::testing::WithParamInterface<Case> {
protected:
    std::string converted() {
        const auto& [input, mode] = GetParam();
        return convert(materialise(input), mode);
    }
};

class OutputMarks : public Output {};

// Rendered on a page large enough for everything, the marks fill the box we wrote; cropped to
// that box, as a program placing an EPS crops it, none is lost. A rotated page is turned over by
// the interpreter, so it is only rendered.
TEST_P(OutputMarks, FillOurBoundingBox) {
    const Mode& mode = std::get<Mode>(GetParam());
    const std::string output = converted();
    ASSERT_FALSE(output.empty());
    const Box m = unclippedMarks(output);
    if (mode.rotated) return;
    const OutputGeometry g = geometryOf(readFile(output));
    SCOPED_TRACE(::testing::Message()
                 << "marks " << m << ", ours " << g.box << ", tolerance " << g.tolerance());
    expectReachesEdges(m, g, mode);
    if (!mode.eps) return;
    const auto cropped = marks({"-dEPSCrop"}, output);
    ASSERT_TRUE(cropped);
    // Shifted back by the box's corner, they are the job's marks.
    expectReachesEdges({cropped->llx + g.box.llx, cropped->lly + g.box.lly,
                        cropped->urx + g.box.llx, cropped->ury + g.box.lly},
                       g, mode);
}

INSTANTIATE_TEST_SUITE_P(All, OutputMarks,
                         ::testing::Combine(::testing::ValuesIn(inputs()),
                                            ::testing::ValuesIn(kModes)),
                         caseName);

// ---------------------------------------------------------------------------------------------
// The ink box

// clang-format off
const std::vector<Mode> kInkModes{
    {"eps_ink", {"--eps", "--ink-box", "--end-margin=0", "--extra-width=0"}, true, 1, 0},
    {"print_ink", {"--print", "--ink-box", "--end-margin=0", "--extra-width=0"}, false, 3, 3},
};
// clang-format on

class InkBox : public Output {};

// What the bbox device's pixels and single-precision arithmetic may be off by.
constexpr double kMeasuring = 0.05;

// Every mark inside the box with nothing allowed beyond the measurement's own error; no side
// more than 1 pt beyond the ink (the margins aside, and EPS mode's 1 on the right); the
// HiRes box the ink within 0.1 pt. In print mode every mark is on the page: ink that starts
// below or left of 0, as a version-7 board's may after its correction, moves onto it.
TEST_P(InkBox, HoldsEveryMarkAndNoMore) {
    const Mode& mode = std::get<Mode>(GetParam());
    const std::string output = converted();
    ASSERT_FALSE(output.empty());
    const Box box = headerBox(output, "%%BoundingBox: ");
    const Box hiRes = headerBox(output, "%%HiResBoundingBox: ");
    const Box m = unclippedMarks(output);
    SCOPED_TRACE(::testing::Message() << "marks " << m << ", box " << box << ", hires " << hiRes);
    // How far each edge of the box (margins aside) lies beyond the marks: left, bottom, right, top.
    const double beyond[] = {m.llx - box.llx, m.lly - box.lly, box.urx - mode.widthMargin - m.urx,
                             box.ury - mode.endMargin - m.ury};
    for (const double d : beyond) {
        EXPECT_GE(d, -kMeasuring);
        EXPECT_LE(d, 1 + kMeasuring);
    }
    for (const double d :
         {hiRes.llx - m.llx, hiRes.lly - m.lly, hiRes.urx - m.urx, hiRes.ury - m.ury})
        EXPECT_LE(std::abs(d), 0.1);
    if (mode.eps) return;
    const Box page = headerBox(output, "%%PageBoundingBox: ");
    SCOPED_TRACE(::testing::Message() << "page " << page);
    EXPECT_GE(m.llx, -kMeasuring);
    EXPECT_GE(m.lly, -kMeasuring);
    EXPECT_LE(m.urx, page.urx + kMeasuring);
    EXPECT_LE(m.ury, page.ury + kMeasuring);
}

INSTANTIATE_TEST_SUITE_P(Modes, InkBox,
                         ::testing::Combine(::testing::ValuesIn(inkInputs()),
                                            ::testing::ValuesIn(kInkModes)),
                         caseName);

// ---------------------------------------------------------------------------------------------
// The document for spoolers

class DscLayout : public Output {
protected:
    // The page as a PDF of the output shows it.
    std::string pdfPage(const std::string& output) {
        const std::string pdf = dir_.file("page.pdf");
        ghostscript("pdfwrite", {"-sOutputFile=" + pdf}, output);
        const RunResult info = run({"pdfinfo", pdf});
        const std::size_t at = info.out.find("Page size:");
        return at == std::string::npos ? info.out
                                       : info.out.substr(at, info.out.find('\n', at) - at);
    }
};

// Sorted into prolog, set-up and page, the output draws what it draws without, on the same page.
TEST_P(DscLayout, DrawsWhatThePlainOutputDraws) {
    if (!findInPath("pdfinfo")) GTEST_SKIP() << "pdfinfo is not in PATH: install poppler-utils";
    const auto& [input, mode] = GetParam();
    const std::string file = materialise(input);
    const std::string plainOutput = convert(file, mode);
    ASSERT_FALSE(plainOutput.empty());
    const std::string plainPage = pdfPage(plainOutput);
    const Box plain = unclippedMarks(plainOutput);
    const std::string output = convert(file, with(mode, "--dsc"));
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(pdfPage(output), plainPage);
    const Box marks = unclippedMarks(output);
    for (double Box::*side : {&Box::llx, &Box::lly, &Box::urx, &Box::ury})
        EXPECT_NEAR(marks.*side, plain.*side, 0.01);
}

const Mode kInkA4{"ink_a4", {"--ink-box", "--force=a4"}, false, 43, 28};

INSTANTIATE_TEST_SUITE_P(Print, DscLayout,
                         ::testing::Combine(::testing::ValuesIn(inkInputs()),
                                            ::testing::Values(kPrint, kA3, kInkA4)),
                         caseName);

// ---------------------------------------------------------------------------------------------
// Verification

// Ghostscript's verdict ends the log and stderr and decides the exit status; a page warning is
// said either way.
TEST_F(GhostscriptTest, VerificationNamesTheSidesAndDecidesTheStatus) {
    Written wide;  // about 395 mm wide
    wide.scale = "1";
    wide.origin = "100 100";
    wide.span = 20000;
    wide.ending = {"showpage"};
    Written far = wide;  // about 40 m wide: beyond what the bbox device measures
    far.span = 2000000;
    const std::string input = materialise(inputs().front()), large = dir_.file("WIDE.P07");
    writeFile(large, zarnFile(wide));
    writeFile(dir_.file("FAR.P07"), zarnFile(far));
    const std::vector<std::string> noMargins{"--end-margin=0", "--extra-width=0", "--lang=uk"};
    // clang-format off
    const struct { std::vector<std::string> args; int status; std::vector<const char*> says; } cases[] = {
        {{"--eps", input}, 1, {" Marks outside the BoundingBox: left 0.9 mm, bottom 0.9 mm, right 0.4 mm, top 0.7 mm",
                               " The ink box (INKBOX = 1, --ink-box) would hold every mark"}},
        {{"--eps", "--ink-box", input}, 0, {" Verified: every mark lies inside the BoundingBox"}},
        {{"--print", "--ink-box", "--force=a4", large}, 1,
         {" Warning: the job is ", " the forced A4 page 210 x 297 mm: the film will be cut",
          " Verified: every mark lies inside the BoundingBox", " Marks outside the page: right "}},
        {{"--eps", dir_.file("FAR.P07")}, 1, {" Not verified: the BoundingBox reaches "}},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::vector<std::string> argv{ZARN_CONVERTER, "--no-settings", "--verify", "-q", "--json"};
        argv.insert(argv.end(), noMargins.begin(), noMargins.end());
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult r = run(argv);
        EXPECT_EQ(r.status, c.status) << r.err;
        // A file whose check failed has an outcome of its own.
        EXPECT_NE(r.out.find(c.status == 0 ? "\"outcome\":\"converted\""
                                           : "\"outcome\":\"not verified\""),
                  std::string::npos)
            << r.out;
        const std::string& named = c.args.back();
        const std::string logged = readFile(named.substr(0, named.size() - 4) + "_E07_log.TXT");
        // Quiet, a check that passed says nothing; the log says it all the same.
        for (const char* line : c.says) {
            EXPECT_EQ(r.err.find(line + 1) != std::string::npos, c.status != 0) << r.err;
            EXPECT_NE(logged.find(line), std::string::npos) << line;
        }
    }
    const RunResult missing =
        run({"env", "PATH=/nonexistent", ZARN_CONVERTER, "--no-settings", "--verify", input});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Niet gecontroleerd: Ghostscript"), std::string::npos)
        << missing.err;
}

// ---------------------------------------------------------------------------------------------
// The PDF and the preview

// What the picture or the PDF page shows: the page in print mode, the box in EPS mode.
Box shownBox(const std::string& output, const Mode& mode) {
    return headerBox(output, mode.eps ? "%%BoundingBox: " : "%%PageBoundingBox: ");
}

using Rgb = std::array<unsigned char, 3>;
constexpr Rgb kOrange{255, 153, 0};

struct Pixels {
    int width = 0, height = 0;
    std::string rgb;  // rows from the top, 3 bytes a pixel
    Rgb at(int x, int y) const {
        const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
        return {static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
                static_cast<unsigned char>(rgb[i + 2])};
    }
};

// The picture's pixels as netpbm's PNG reader gives them; none when it is no 8-bit RGB PNG.
std::optional<Pixels> readPng(const std::string& path) {
    const RunResult r = run({"pngtopnm", path});
    std::istringstream in(r.out);
    std::string magic;
    int maxValue = 0;
    Pixels p;
    if (r.status != 0 || !(in >> magic >> p.width >> p.height >> maxValue) || magic != "P6" ||
        maxValue != 255)
        return std::nullopt;
    p.rgb = r.out.substr(static_cast<std::size_t>(in.tellg()) + 1);
    if (p.rgb.size() != 3 * static_cast<std::size_t>(p.width) * p.height) return std::nullopt;
    return p;
}

// How many of the pixels from (x, y) on, `n` steps of (dx, dy), are orange.
int orangeAlong(const Pixels& p, int x, int y, int dx, int dy, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i) count += p.at(x + i * dx, y + i * dy) == kOrange;
    return count;
}

// The renderings show the shown box: the PDF as its one page, the preview as its picture at the
// resolution asked, the picture's edge pixels orange; in print mode so are the outermost pixels
// of the %%BoundingBox. A rotated page's frame turns with it, so it is not previewed here.
TEST_F(GhostscriptTest, RenderingsShowTheOutputsPage) {
    for (const char* tool : {"pdfinfo", "pngtopnm"})
        if (!findInPath(tool)) GTEST_SKIP() << tool << " is not in PATH";
    const std::string input = materialise(inputs().front());
    const struct {
        Mode mode;
        const char* size;  // pdfinfo's; none: as the output's page or box
        int dpi;           // the preview's; none: no preview
    } cases[] = {
        // clang-format off
        {kPrint, nullptr, 72}, {kA4, "595 x 841 pts", 100}, {kA3, "799 x 1130 pts", 0},
        {kEps, nullptr, 150}, {kA4, "595 x 841 pts", 10},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode.name + " at " + std::to_string(c.dpi) + " dpi");
        Mode mode = with(c.mode, "--pdf");
        if (c.dpi != 0) mode = with(mode, "--preview=" + std::to_string(c.dpi));
        const std::string output = convert(input, mode);
        ASSERT_FALSE(output.empty());
        const Box shown = shownBox(output, c.mode);
        const std::string size = std::to_string(static_cast<int>(shown.urx - shown.llx)) + " x " +
                                 std::to_string(static_cast<int>(shown.ury - shown.lly)) + " pts";
        if (c.size) {
            EXPECT_EQ(size, c.size);
        }
        const RunResult info = run({"pdfinfo", dir_.file("GS_E07.pdf")});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("Page size:       " + size), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("Pages:           1\n"), std::string::npos) << info.out;
        if (c.dpi == 0) continue;
        const std::optional<Pixels> p = readPng(dir_.file("GS_E07.png"));
        ASSERT_TRUE(p) << "not an RGB PNG";
        const double k = c.dpi / 72.0;  // pixels a PS unit
        const int w = p->width, h = p->height;
        EXPECT_EQ(w, std::floor((shown.urx - shown.llx) * k + 0.5));
        EXPECT_EQ(h, std::floor((shown.ury - shown.lly) * k + 0.5));
        EXPECT_EQ(orangeAlong(*p, 0, 0, 1, 0, w) + orangeAlong(*p, 0, h - 1, 1, 0, w), 2 * w);
        EXPECT_EQ(orangeAlong(*p, 0, 0, 0, 1, h) + orangeAlong(*p, w - 1, 0, 0, 1, h), 2 * h);
        if (c.mode.eps) continue;
        // The frame lies in the pixels whose centres are half a pixel inside the box.
        const Box b = headerBox(output, "%%BoundingBox: ");
        // Where an edge of the box is the page's, the frames are one.
        const int left = std::floor(b.llx * k + 0.5),
                  right = std::min<int>(w - 1, std::floor(b.urx * k - 0.5));
        const int top = std::max<int>(0, std::floor(h - b.ury * k + 0.5)),
                  bottom = std::floor(h - b.lly * k - 0.5);
        ASSERT_TRUE(left > 0 && bottom < h - 1);
        const int across = right - left + 1, down = bottom - top + 1;
        EXPECT_EQ(orangeAlong(*p, left, top, 1, 0, across), across);
        EXPECT_EQ(orangeAlong(*p, left, bottom, 1, 0, across), across);
        EXPECT_EQ(orangeAlong(*p, left, top, 0, 1, down), down);
        EXPECT_EQ(orangeAlong(*p, right, top, 0, 1, down), down);
        // Outside the frame, nothing is orange.
        EXPECT_EQ(orangeAlong(*p, left - 1, top + 1, 0, 1, down - 2), 0);
    }
}

}  // namespace
}  // namespace zarn::gs
