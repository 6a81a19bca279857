#include "command_line.h"

#include <getopt.h>

#include <algorithm>
#include <string>

#include "zarn/colour_boxes.h"
#include "zarn/job_settings.h"
#include "zarn/print_queue.h"

namespace zarn {

const char* const kProgram = "zarn1-ps-convert";

const char* const kUsage =
    "Usage: zarn1-ps-convert [OPTIONS] FILE...\n"
    "       zarn1-ps-convert [OPTIONS] --watch=DIR\n"
    "Repairs Zarn1 PostScript print files (*.Pxx): writes NAME_Exx.ps (print mode) or\n"
    "NAME_Exx.eps (EPS mode) and the log NAME_Exx_log.TXT beside each FILE.\n"
    "\n"
    "  --print             print mode: page bounding box and page size line (default)\n"
    "  --eps               EPS mode: no page size, no page ends\n"
    "  --force=WHICH       none, a4 or a3: force the page size (print mode only)\n"
    "  --rotate            rotate the forced page (print mode only)\n"
    "  --crop=TEXT         crop factor for a forced page, 0.90 - 1.00 (default 1.00);\n"
    "                      at most 4 digits and points, as the window's field holds\n"
    "  --end-margin=TEXT   extra end margin in mm, at most 2 digits (default 10)\n"
    "  --extra-width=TEXT  extra width in mm, at most 2 digits (default 15)\n"
    "  --gray=LIST         gray levels that become colour, from 0.1 ... 0.8, comma-separated,\n"
    "                      or none (default 0.1,0.2,0.4)\n"
    "  --lang=WHICH        nl or uk: language of the log and the messages (default nl)\n"
    "  --settings=FILE     read this settings file first; options given here override it\n"
    "                      (default: ZARN1_PS.INI in the current directory when it is there,\n"
    "                      else ~/.config/zarn1-ps-repair/ZARN1_PS.INI when that is there)\n"
    "  --no-settings       read no settings file\n"
    "  --one-drop          hand all FILEs to one conversion, as one drop on the window would\n"
    "                      (which refuses more than one file)\n"
    "  --rich-text         the drop also offers rich text, as some editors' drags do\n"
    "  --ink-box           measure the ink: every point and track start widened by half the\n"
    "                      pen that draws it, the box rounded outward, a %%HiResBoundingBox,\n"
    "                      and in print mode the ink moved onto the page (--no-ink-box:\n"
    "                      measure the points only, the default)\n"
    "  --verify            check the output with Ghostscript: every mark inside the box and\n"
    "                      the page, said in the log and here; a FILE that fails the check\n"
    "                      or cannot be checked counts as not converted (--no-verify)\n"
    "  --pdf               also write the job as a PDF, NAME_Exx.pdf, with Ghostscript\n"
    "                      (--no-pdf)\n"
    "  --preview[=DPI]     also write a preview picture, NAME_Exx.png, at DPI (10 - 600,\n"
    "                      default 100) with the box framed in orange (--no-preview)\n"
    "  --dsc               print mode: a document that print spoolers understand, its page\n"
    "                      kept and its set-up in the page (--no-dsc)\n"
    "  --send-to=QUEUE     send each converted job to this print queue (print mode; implies\n"
    "                      --dsc); a job that cannot be sent counts as not converted\n"
    "                      (--no-send-to)\n"
    "  --watch=DIR         a hot folder: convert each print file that lands in DIR once it\n"
    "                      is complete, into DIR/done or DIR/error, until stopped\n"
    "  --settle=SECONDS    in a hot folder: how long a file must stay unchanged (default 2)\n"
    "  -j, --jobs=N        conversions at once (default: the cores in a hot folder, else 1);\n"
    "                      FILEs are reported in the order given\n"
    "  --json              print one JSON object a FILE (JSON Lines) instead of the paths:\n"
    "                      the files, the outcome and the measurements\n"
    "  -q, --quiet         print nothing for a file that converted\n"
    "  -h, --help          show this help and exit\n"
    "  -V, --version       show the version and exit\n"
    "\n"
    "Every value can follow its option after '=' or as the next argument; DPI only after\n"
    "'='. A FILE whose PDF or preview cannot be written counts as not converted.\n"
    "Exit status: 0 when every FILE converted, 1 when any did not, 2 for a usage error.\n";

namespace {

enum Id {
    kPrint = 256,
    kEps,
    kForce,
    kRotate,
    kCrop,
    kEndMargin,
    kExtraWidth,
    kGray,
    kLang,
    kSettings,
    kNoSettings,
    kOneDrop,
    kRichText,
    kInkBox,
    kNoInkBox,
    kVerify,
    kNoVerify,
    kPdf,
    kNoPdf,
    kPreview,
    kNoPreview,
    kDsc,
    kNoDsc,
    kSendTo,
    kNoSendTo,
    kJson,
    kWatch,
    kSettle,
    kJobs,
};

constexpr option kLongOptions[] = {
    {"print", no_argument, nullptr, kPrint},
    {"eps", no_argument, nullptr, kEps},
    {"force", required_argument, nullptr, kForce},
    {"rotate", no_argument, nullptr, kRotate},
    {"crop", required_argument, nullptr, kCrop},
    {"end-margin", required_argument, nullptr, kEndMargin},
    {"extra-width", required_argument, nullptr, kExtraWidth},
    {"gray", required_argument, nullptr, kGray},
    {"lang", required_argument, nullptr, kLang},
    {"settings", required_argument, nullptr, kSettings},
    {"no-settings", no_argument, nullptr, kNoSettings},
    {"one-drop", no_argument, nullptr, kOneDrop},
    {"rich-text", no_argument, nullptr, kRichText},
    {"ink-box", no_argument, nullptr, kInkBox},
    {"no-ink-box", no_argument, nullptr, kNoInkBox},
    {"verify", no_argument, nullptr, kVerify},
    {"no-verify", no_argument, nullptr, kNoVerify},
    {"pdf", no_argument, nullptr, kPdf},
    {"no-pdf", no_argument, nullptr, kNoPdf},
    {"preview", optional_argument, nullptr, kPreview},
    {"no-preview", no_argument, nullptr, kNoPreview},
    {"dsc", no_argument, nullptr, kDsc},
    {"no-dsc", no_argument, nullptr, kNoDsc},
    {"send-to", required_argument, nullptr, kSendTo},
    {"no-send-to", no_argument, nullptr, kNoSendTo},
    {"json", no_argument, nullptr, kJson},
    {"watch", required_argument, nullptr, kWatch},
    {"settle", required_argument, nullptr, kSettle},
    {"jobs", required_argument, nullptr, kJobs},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

std::vector<bool> parseGray(const std::string& list) {
    std::vector<bool> ticks(8, false);
    if (list == "none") return ticks;
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        const std::string item = list.substr(from, comma - from);
        if (item.size() != 3 || item[0] != '0' || item[1] != '.' || item[2] < '1' || item[2] > '8')
            throw UsageError("--gray: \"" + item + "\" is not one of 0.1 ... 0.8");
        ticks[colourBoxOfDigit(item[2])] = true;
        from = comma + 1;
    }
    return ticks;
}

// A bare --preview asks for the usual resolution.
int previewDpi(const std::string& text) {
    if (text.empty()) return kPreviewDpi;
    const bool digits = text.size() <= 3 && std::all_of(text.begin(), text.end(), [](char ch) {
                            return ch >= '0' && ch <= '9';
                        });
    const int dpi = digits ? std::stoi(text) : 0;
    if (dpi < kPreviewDpiMin || dpi > kPreviewDpiMax)
        throw UsageError("--preview: \"" + text + "\" is not a resolution from " +
                         std::to_string(kPreviewDpiMin) + " to " + std::to_string(kPreviewDpiMax) +
                         " dpi");
    return dpi;
}

// Seconds, a whole number or one with a decimal point: 0 to 3600.
std::chrono::milliseconds settlePeriod(const std::string& text) {
    const bool number =
        !text.empty() && text.size() <= 8 &&
        std::all_of(text.begin(), text.end(),
                    [](char ch) { return (ch >= '0' && ch <= '9') || ch == '.'; }) &&
        std::count(text.begin(), text.end(), '.') <= 1 && text != ".";
    const double seconds = number ? std::stod(text) : -1;
    if (seconds < 0 || seconds > 3600)
        throw UsageError("--settle: \"" + text + "\" is not a number of seconds from 0 to 3600");
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

// How many conversions at once: 1 to 256.
int jobCount(const std::string& text) {
    const bool digits =
        !text.empty() && text.size() <= 3 &&
        std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    const int n = digits ? std::stoi(text) : 0;
    if (n < 1 || n > 256)
        throw UsageError("--jobs: \"" + text + "\" is not a number from 1 to 256");
    return n;
}

// A field takes only what its key filter lets through, up to its length.
std::string fieldText(const char* option, const std::string& text, std::size_t maxLength,
                      bool points) {
    const bool fits =
        text.size() <= maxLength && std::all_of(text.begin(), text.end(), [&](char ch) {
            return (ch >= '0' && ch <= '9') || (points && ch == '.');
        });
    if (!fits)
        throw UsageError(std::string(option) + ": \"" + text +
                         "\" does not fit the field: at most " + std::to_string(maxLength) +
                         (points ? " digits and points" : " digits"));
    return text;
}

void takeOption(int id, const std::string& value, Options& o) {
    switch (id) {
        case kPrint: o.eps = false; break;
        case kEps: o.eps = true; break;
        case kRotate: o.rotate = true; break;
        case kNoSettings: o.noSettings = true; break;
        case kOneDrop: o.oneDrop = true; break;
        case kRichText: o.richText = true; break;
        case kInkBox: o.inkBox = true; break;
        case kNoInkBox: o.inkBox = false; break;
        case kVerify: o.verify = true; break;
        case kNoVerify: o.verify = false; break;
        case kPdf: o.pdf = true; break;
        case kNoPdf: o.pdf = false; break;
        case kPreview: o.preview = previewDpi(value); break;
        case kNoPreview: o.preview = 0; break;
        case kDsc: o.dsc = true; break;
        case kNoDsc: o.dsc = false; break;
        case kSendTo:
            if (!printQueueName(value))
                throw UsageError("--send-to: \"" + value + "\" is not the name of a print queue");
            o.sendTo = value;
            break;
        case kNoSendTo: o.sendTo = ""; break;
        case kJson: o.json = true; break;
        case kWatch: o.watch = value; break;
        case kSettle: o.settle = settlePeriod(value); break;
        case 'j':
        case kJobs: o.jobs = jobCount(value); break;
        case 'q': o.quiet = true; break;
        case 'h': o.help = true; break;
        case 'V': o.version = true; break;
        case kForce:
            if (value != "none" && value != "a4" && value != "a3")
                throw UsageError("--force takes none, a4 or a3");
            o.force = value;
            break;
        case kCrop: o.crop = fieldText("--crop", value, 4, true); break;
        case kEndMargin: o.endMargin = fieldText("--end-margin", value, 2, false); break;
        case kExtraWidth: o.extraWidth = fieldText("--extra-width", value, 2, false); break;
        case kGray: o.gray = parseGray(value); break;
        case kLang:
            if (value != "nl" && value != "uk") throw UsageError("--lang takes nl or uk");
            o.lang = value;
            break;
        case kSettings: o.settingsFile = value; break;
    }
}

// What getopt_long refused: ':' for a missing value, '?' for an option it does not know or
// a value given to an option that takes none.
std::string refusal(int id, const std::string& arg) {
    if (optopt != 0 && arg.rfind("--", 0) == 0)
        for (const option& known : kLongOptions)
            if (known.name != nullptr && known.val == optopt)
                return std::string("--") + known.name +
                       (id == ':' ? " needs a value" : " takes no value");
    if (optopt > 0 && optopt < 256)
        return std::string("unknown option -") + static_cast<char>(optopt);
    return "unknown option " + arg;
}

}  // namespace

Options parseCommandLine(const std::vector<std::string>& args) {
    std::vector<std::string> copies{kProgram};
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);

    Options o;
    optind = 0;  // a fresh scan: GNU getopt also forgets its state
    opterr = 0;  // our own messages
    const int argc = static_cast<int>(copies.size());
    for (;;) {
        const int id = getopt_long(argc, argv.data(), ":qhVj:", kLongOptions, nullptr);
        if (id == -1) break;
        if (id == '?' || id == ':') throw UsageError(refusal(id, argv[optind - 1]));
        takeOption(id, optarg != nullptr ? optarg : "", o);
    }
    for (int i = optind; i < argc; ++i) o.files.push_back(argv[i]);

    if (o.noSettings && o.settingsFile)
        throw UsageError("--settings and --no-settings exclude each other");
    if (o.watch && !o.files.empty()) throw UsageError("--watch takes no FILE");
    if (!o.help && !o.version && !o.watch && o.files.empty()) throw UsageError("no FILE given");
    return o;
}

}  // namespace zarn
