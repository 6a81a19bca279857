#include "renderings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "rendered_file.h"
#include "zarn/conversion_error.h"
#include "zarn/descriptor.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// Orange, 255 153 0 in the PNG: the colour rules give only full or half primaries and their
// halves mixed, and the gray levels are gray.
constexpr const char* kFrameColour = "1 0.6 0 setrgbcolor ";

// The picture's edge, from the page's clip in device pixels, so it holds whatever page the
// device took: a ring of pixels drawn as thin rectangles that cover their centres.
constexpr const char* kEdgeRing =
    "[1 0 0 1 0 0] setmatrix clippath pathbbox newpath "
    "4 dict begin /T exch round def /R exch round def /B exch round def /L exch round def "
    "L .25 add B .25 add R L sub .5 sub .5 rectfill "
    "L .25 add T .75 sub R L sub .5 sub .5 rectfill "
    "L .25 add B .25 add .5 T B sub .5 sub rectfill "
    "R .75 sub B .25 add .5 T B sub .5 sub rectfill end ";

// The %%BoundingBox in the page's default coordinates, which the page line's orientation
// turns with the job: a hairline half a pixel inside each edge, so it lies in the box's
// outermost pixels even where an edge is the page's.
std::string boxFrame(const WrittenBoxes& b, int dpi) {
    const double half = 36.0 / dpi;
    const double width = std::max(0.0, b.urx - b.llx - 2 * half);
    const double height = std::max(0.0, b.ury - b.lly - 2 * half);
    return "0 setlinewidth " + realText(b.llx + half) + " " + realText(b.lly + half) + " " +
           realText(width) + " " + realText(height) + " rectstroke ";
}

// The largest side of a PDF page without a unit of its own: 200 inches. Ghostscript takes far
// larger pages, up to a point where it falls back to its default page without a word.
constexpr std::int64_t kWidestPage = 14400;
// A picture larger than this is no preview, and Ghostscript would go on rendering it until its
// time ran out: A2 at 600 dpi is 139 million pixels.
constexpr std::int64_t kMostPreviewPixels = 200'000'000;
// How far the page Ghostscript made may differ from the page asked for: its sizes are reals.
constexpr double kPageSlack = 0.5;

// The sides, in PS units, of the page the renderings get: the box in EPS mode; none when the
// output names no page, which leaves Ghostscript's own.
bool renderedPage(const WrittenBoxes& b, bool eps, double& width, double& height) {
    width = eps ? b.urx - b.llx : b.pageWidth;
    height = eps ? b.ury - b.lly : b.pageHeight;
    return eps || b.page;
}

std::string sidesText(double width, double height, const char* unit) {
    return intText(static_cast<std::int64_t>(width)) + " x " +
           intText(static_cast<std::int64_t>(height)) + " " + unit;
}

// Why the page is not rendered, or nothing.
std::string pageRefusal(const WrittenBoxes& b, bool eps) {
    double width, height;
    if (!renderedPage(b, eps, width, height)) return {};
    const std::string what =
        std::string("the ") + (eps ? "box" : "page") + " is " + sidesText(width, height, "pt");
    if (width <= 0 || height <= 0) return what + ", and a page needs a width and a height";
    if (std::max(width, height) <= static_cast<double>(kWidestPage)) return {};
    return what + ", more than the " + intText(kWidestPage) + " pt (" + intText(kWidestPage / 72) +
           " inches) a side that is rendered";
}

// The page in pixels at `dpi`, as the device rounds them.
std::pair<double, double> pixelsOf(double width, double height, int dpi) {
    return {std::floor(width * dpi / 72 + 0.5), std::floor(height * dpi / 72 + 0.5)};
}

// Why the preview is not made, or nothing.
std::string previewRefusal(const WrittenBoxes& b, bool eps, int dpi) {
    if (std::string why = pageRefusal(b, eps); !why.empty()) return why;
    double width, height;
    if (!renderedPage(b, eps, width, height)) return {};
    const auto [across, down] = pixelsOf(width, height, dpi);
    if (across * down <= static_cast<double>(kMostPreviewPixels)) return {};
    return "at " + intText(dpi) + " dpi the " + (eps ? "box" : "page") + " would be " +
           sidesText(across, down, "pixels") + ", more than the " +
           intText(kMostPreviewPixels / 1'000'000) + " million a preview may have";
}

// In EPS mode the page is the box: its lower-left corner at the page's.
void cropToBox(GhostscriptJob& job, const WrittenBoxes& b) {
    job.options.insert(job.options.end(),
                       {"-dDEVICEWIDTHPOINTS=" + intText(b.urx - b.llx),
                        "-dDEVICEHEIGHTPOINTS=" + intText(b.ury - b.lly), "-dFIXEDMEDIA"});
    job.install = intText(-static_cast<std::int64_t>(b.llx)) + " " +
                  intText(-static_cast<std::int64_t>(b.lly)) + " translate";
    job.eps = true;
}

// Why what Ghostscript made is not the rendering asked for, or nothing.
using Inspection = std::function<std::string(const RenderedFile&, const GhostscriptReport&)>;

std::string pageSizeOff(const GhostscriptReport& r, const WrittenBoxes& b, bool eps) {
    double width, height;
    if (!renderedPage(b, eps, width, height)) return {};
    // The page line of a rotated forced page asks for the page turned; its orientation turns
    // the medium back.
    if (!eps && b.turned) std::swap(width, height);
    if (std::abs(r.pageWidth - width) <= kPageSlack &&
        std::abs(r.pageHeight - height) <= kPageSlack)
        return {};
    return "Ghostscript made a page of " + sidesText(r.pageWidth, r.pageHeight, "pt") +
           ", not the " + sidesText(width, height, "pt") + " asked for";
}

std::string inspectPdf(const RenderedFile& file, const GhostscriptReport& r, const WrittenBoxes& b,
                       bool eps) {
    char head[5] = {}, tail[64] = {};
    const std::uint64_t size = file.size();
    const std::uint64_t from = size > sizeof tail ? size - sizeof tail : 0;
    const std::size_t got = file.read(from, tail, sizeof tail);
    if (file.read(0, head, sizeof head) != sizeof head || std::memcmp(head, "%PDF-", 5) != 0 ||
        std::string_view(tail, got).find("%%EOF") == std::string_view::npos)
        return "what Ghostscript wrote is no complete PDF";
    return pageSizeOff(r, b, eps);
}

std::uint32_t bigEndian(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

std::string inspectPng(const RenderedFile& file, const GhostscriptReport& r, const WrittenBoxes& b,
                       bool eps, int dpi) {
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                                   0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    static constexpr unsigned char kEnd[] = {0,   0,   0,    0,    'I',  'E',
                                             'N', 'D', 0xae, 0x42, 0x60, 0x82};
    unsigned char head[24] = {}, tail[sizeof kEnd] = {};
    const std::uint64_t size = file.size();
    if (size < sizeof head + sizeof tail ||
        file.read(0, reinterpret_cast<char*>(head), sizeof head) != sizeof head ||
        file.read(size - sizeof tail, reinterpret_cast<char*>(tail), sizeof tail) != sizeof tail ||
        std::memcmp(head, kSignature, sizeof kSignature) != 0 ||
        std::memcmp(tail, kEnd, sizeof kEnd) != 0)
        return "what Ghostscript wrote is no complete PNG";
    if (std::string off = pageSizeOff(r, b, eps); !off.empty()) return off;
    double width, height;
    if (!renderedPage(b, eps, width, height)) return {};
    const auto [across, down] = pixelsOf(width, height, dpi);
    const double madeAcross = bigEndian(head + 16), madeDown = bigEndian(head + 20);
    if (madeAcross == across && madeDown == down) return {};
    return "Ghostscript made a picture of " + sidesText(madeAcross, madeDown, "pixels") +
           ", not the " + sidesText(across, down, "pixels") + " of the page";
}

std::uint64_t sizeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// Runs Ghostscript into the file at `path`, unless `refusal` says why not, and gives it its
// name when it holds what was asked for; on a failure, no file of the name stays.
void render(ConversionState& c, Platform& platform, const std::string& path, const char* role,
            GhostscriptJob job, const std::string& refusal, const Inspection& inspect) {
    RenderedFile file(c.folder.file(path), role);
    std::string failure = refusal;
    if (failure.empty()) {
        const Descriptor input(c.output.openForReading());
        job.input = input.get();
        job.inputSize = sizeOf(input.get());
        job.limits = ghostscriptLimits(job.inputSize);
        job.target = file.descriptor();
        const GhostscriptRun run = runGhostscript(
            job, "gs", [&](int percent) { return platform.working(job.task, percent); });
        if (run.status == GhostscriptStatus::Stopped) {
            file.discardOlder();
            throw stoppedRun(run.detail);
        }
        failure = run.status == GhostscriptStatus::Done ? inspect(file, run.report) : run.detail;
    }
    if (!failure.empty()) {
        file.discardOlder();
        throw ConversionError(
            std::string("the ") + role + " " + path + " was not written: " + failure,
            aboutFile(path));
    }
    file.publish();
}

}  // namespace

GhostscriptJob pdfJob(const WrittenBoxes& boxes, bool eps) {
    GhostscriptJob job;
    job.task = ChildTask::Pdf;
    // The page stays as the output sets it, never turned to suit the text.
    job.options = {"-sDEVICE=pdfwrite", "-dAutoRotatePages=/None"};
    if (eps) cropToBox(job, boxes);
    return job;
}

GhostscriptJob previewJob(const WrittenBoxes& boxes, bool eps, int dpi) {
    GhostscriptJob job;
    job.task = ChildTask::Preview;
    job.options = {"-sDEVICE=png16m", "-r" + intText(dpi)};
    if (eps) cropToBox(job, boxes);
    // In EPS mode the picture's edge is the box's.
    job.overPage = kFrameColour + (eps ? std::string() : boxFrame(boxes, dpi)) + kEdgeRing;
    return job;
}

Renderings writeRenderings(ConversionState& c, Platform& platform) {
    const JobSettings& s = c.settings;
    const WrittenBoxes& b = c.written;
    const bool eps = s.pageregel == 0;
    Renderings written;
    if (s.pdf) {
        render(c, platform, c.pdf_path, "PDF", pdfJob(b, eps), pageRefusal(b, eps),
               [&](const RenderedFile& f, const GhostscriptReport& r) {
                   return inspectPdf(f, r, b, eps);
               });
        written.pdf = c.pdf_path;
    }
    if (s.preview != 0) {
        render(c, platform, c.preview_path, "preview", previewJob(b, eps, s.preview),
               previewRefusal(b, eps, s.preview),
               [&](const RenderedFile& f, const GhostscriptReport& r) {
                   return inspectPng(f, r, b, eps, s.preview);
               });
        written.preview = c.preview_path;
    }
    return written;
}

}  // namespace zarn
