#include "renderings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "zarn/conversion_error.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// Orange, 255 153 0 in the PNG: the colour rules give only full or half primaries and their
// halves mixed, and the gray levels are gray.
constexpr const char* kFrameColour = "1 0.6 0 setrgbcolor";

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

// Drawn when the first page is shown; later pages, and the end of the job, are not output.
std::string framePrologue(const std::string& frames) {
    return "<< /EndPage { 2 ne exch 0 eq and dup { gsave initgraphics " +
           std::string(kFrameColour) + " " + frames + "grestore } if } bind >> setpagedevice";
}

void removeQuietly(const FileAt& file) { ::unlinkat(file.dir, file.name.c_str(), 0); }

// Lines of a message are separated by CR.
std::string asMessageLines(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::replace(text.begin(), text.end(), '\n', '\r');
    return text;
}

// The largest side of a PDF page without a unit of its own: 200 inches. Ghostscript takes far
// larger pages, up to a point where it falls back to its default page without a word.
constexpr double kWidestPage = 14400;
// A picture larger than this is no preview, and Ghostscript would go on rendering it until its
// time ran out: A2 at 600 dpi is 139 million pixels.
constexpr double kMostPreviewPixels = 200e6;

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
std::string pageTooLarge(const WrittenBoxes& b, bool eps) {
    double width, height;
    if (!renderedPage(b, eps, width, height) || std::max(width, height) <= kWidestPage) return {};
    return std::string("the ") + (eps ? "box" : "page") + " is " + sidesText(width, height, "pt") +
           ", more than the 14400 pt (200 inches) a side that is rendered";
}

// Why the preview is not made, or nothing: the page in pixels as the device rounds them.
std::string previewTooLarge(const WrittenBoxes& b, bool eps, int dpi) {
    if (std::string why = pageTooLarge(b, eps); !why.empty()) return why;
    double width, height;
    if (!renderedPage(b, eps, width, height)) return {};
    const double across = std::floor(width * dpi / 72 + 0.5);
    const double down = std::floor(height * dpi / 72 + 0.5);
    if (across * down <= kMostPreviewPixels) return {};
    return "at " + intText(dpi) + " dpi the " + (eps ? "box" : "page") + " would be " +
           sidesText(across, down, "pixels") + ", more than the 200 million a preview may have";
}

// Runs Ghostscript into the file at `path`, unless `refusal` says why not; on a failure the
// file is removed, and an older one is not left behind either.
void render(ConversionState& c, const std::string& path, const char* role,
            GhostscriptCommand command, const std::string& refusal = {}) {
    const FileAt at = c.folder.file(path);
    OutputFile file;
    file.create(at, role);
    command.outputFile = file.descriptor();
    command.limit = timeLimitFor(c.output_path);
    std::string failure = refusal;
    if (failure.empty()) {
        const GhostscriptRun run = runGhostscript(command, "gs");
        if (run.status != GhostscriptStatus::Done) failure = run.detail;
    }
    if (!failure.empty()) {
        removeQuietly(at);
        file.closeQuietly();
        throw ConversionError(asMessageLines(std::string("the ") + role + " " + path +
                                             " was not written: " + failure),
                              aboutFile(path));
    }
    file.close();
}

}  // namespace

GhostscriptCommand pdfCommand(const std::string& output, bool eps) {
    // The page stays as the output sets it, never turned to suit the text.
    GhostscriptCommand command{{"-sDEVICE=pdfwrite", "-dAutoRotatePages=/None"}, {}, output};
    if (eps) command.options.emplace_back("-dEPSCrop");
    return command;
}

GhostscriptCommand previewCommand(const std::string& output, const WrittenBoxes& boxes, bool eps,
                                  int dpi) {
    GhostscriptCommand command{{"-sDEVICE=png16m", "-r" + intText(dpi)}, {}, output};
    if (eps) command.options.emplace_back("-dEPSCrop");
    // In EPS mode the picture's edge is the box's.
    command.prologue = framePrologue((eps ? std::string() : boxFrame(boxes, dpi)) + kEdgeRing);
    return command;
}

Renderings writeRenderings(ConversionState& c) {
    const JobSettings& s = c.settings;
    const bool eps = s.pageregel == 0;
    Renderings written;
    if (s.pdf) {
        render(c, c.pdf_path, "PDF", pdfCommand(c.output_path, eps), pageTooLarge(c.written, eps));
        written.pdf = c.pdf_path;
    }
    if (s.preview != 0) {
        render(c, c.preview_path, "preview",
               previewCommand(c.output_path, c.written, eps, s.preview),
               previewTooLarge(c.written, eps, s.preview));
        written.preview = c.preview_path;
    }
    return written;
}

}  // namespace zarn
