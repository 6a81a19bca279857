// zarn1-gen-board: writes a seeded, realistic Zarn1 photoplot of about the requested size.
//
// The file looks like what the plotter writes: the six header comments, for version 7 its own
// page set-up, a prolog, the scale and translate lines, and a body of tracks, flashed pads,
// filled pads, gray and width changes, ending with showpage, %%Trailer and the end-of-job
// character. Every stroked point, the start of a track included, is also the point of an
// "x y l" line, so the measured extent of the drawing is the extent of its marks.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: zarn1-gen-board --size=BYTES --seed=N [--version7] [--cr-only]\n"
    "                       [--scale=TEXT] [--origin=X,Y] OUT\n"
    "Writes a Zarn1 photoplot of about BYTES bytes to OUT.\n"
    "  --version7     a version 7 file (creator 7.04, its own page set-up, a mirrored page)\n"
    "  --cr-only      end lines with a carriage return only (default CR LF)\n"
    "  --scale=TEXT   the scale factor as written in the scale line (default: chosen by seed)\n"
    "  --origin=X,Y   the translate values in raw units (default: chosen by seed)\n";

// splitmix64: small, fast, and the same sequence on every platform.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi].
    int range(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool chance(int percent) { return range(1, 100) <= percent; }

private:
    std::uint64_t state_;
};

class Writer {
public:
    Writer(std::FILE* f, const char* eol) : f_(f), eol_(eol), eolLen_(std::strlen(eol)) {
        buf_.reserve(kBuffer + 256);
    }
    ~Writer() { flush(); }

    void line(std::string_view text) {
        buf_.append(text);
        end();
    }
    // "x y op", the shape of nearly every body line.
    void point(int x, int y, char op) {
        number(x);
        buf_.push_back(' ');
        number(y);
        buf_.push_back(' ');
        buf_.push_back(op);
        end();
    }
    std::uint64_t written() const { return flushed_ + buf_.size(); }
    bool ok() const { return ok_; }
    void flush() {
        if (buf_.empty()) return;
        if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
        flushed_ += buf_.size();
        buf_.clear();
    }

private:
    static constexpr std::size_t kBuffer = 1 << 20;

    void number(int v) {
        char tmp[16];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        buf_.append(tmp, r.ptr);
    }
    void end() {
        buf_.append(eol_, eolLen_);
        if (buf_.size() >= kBuffer) flush();
    }

    std::FILE* f_;
    const char* eol_;
    std::size_t eolLen_;
    std::string buf_;
    std::uint64_t flushed_ = 0;
    bool ok_ = true;
};

struct Options {
    std::uint64_t size = 0;
    std::uint64_t seed = 0;
    bool haveSize = false, haveSeed = false;
    bool version7 = false;
    bool crOnly = false;
    std::string scale;
    bool haveOrigin = false;
    int originX = 0, originY = 0;
    std::string out;
};

bool parseU64(std::string_view s, std::uint64_t& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && !s.empty();
}

bool parseInt(std::string_view s, int& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && !s.empty();
}

bool parseArgs(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&](std::string_view name, std::string_view& v) {
            if (a.substr(0, name.size()) != name) return false;
            v = a.substr(name.size());
            return true;
        };
        std::string_view v;
        if (value("--size=", v)) {
            if (!parseU64(v, o.size)) return error = "bad --size", false;
            o.haveSize = true;
        } else if (value("--seed=", v)) {
            if (!parseU64(v, o.seed)) return error = "bad --seed", false;
            o.haveSeed = true;
        } else if (a == "--version7") {
            o.version7 = true;
        } else if (a == "--cr-only") {
            o.crOnly = true;
        } else if (value("--scale=", v)) {
            char* end = nullptr;
            const std::string text(v);
            const double d = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(d > 0)) return error = "bad --scale", false;
            o.scale = text;
        } else if (value("--origin=", v)) {
            const std::size_t comma = v.find(',');
            if (comma == std::string_view::npos || !parseInt(v.substr(0, comma), o.originX) ||
                !parseInt(v.substr(comma + 1), o.originY) || o.originX < 0 || o.originY < 0)
                return error = "bad --origin (two whole numbers, not negative)", false;
            o.haveOrigin = true;
        } else if (a == "--help") {
            return error.clear(), false;
        } else if (!a.empty() && a[0] == '-') {
            return error = "unknown option " + std::string(a), false;
        } else if (o.out.empty()) {
            o.out = a;
        } else {
            return error = "only one OUT", false;
        }
    }
    if (!o.haveSize || !o.haveSeed || o.out.empty())
        return error = "--size, --seed and OUT are required", false;
    return true;
}

// Geometry is planned in Zarn units (1/1280 inch) and written in raw units (Zarn / scale).
struct Plan {
    double scale;
    int boardW, boardH;  // Zarn units
    int raw(int zarn) const { return static_cast<int>(zarn / scale + 0.5); }
};

class Body {
public:
    Body(Writer& w, Rng& rng, const Plan& plan) : w_(w), rng_(rng), plan_(plan) {}

    // One step of the plot: mostly tracks, now and then a layer (gray) change, a width change,
    // a row of flashed pads or a filled pad.
    void step() {
        const int r = rng_.range(1, 1000);
        if (r <= 20) {
            gray();
        } else if (r <= 50) {
            width(trackWidth());
        } else if (r <= 65) {
            padRow();
        } else if (r <= 75) {
            squarePad();
        } else {
            track();
        }
    }

private:
    void gray() {
        // Layer after layer, each in its own density, black in between; 0.9 has no colour rule
        // but occurs in real plots.
        static constexpr const char* kLevels[] = {"0.1 g", "0.0 g", "0.2 g", "0.3 g", "0.0 g",
                                                  "0.4 g", "0.5 g", "0.0 g", "0.6 g", "0.7 g",
                                                  "0.0 g", "0.8 g", "0.9 g"};
        w_.line(kLevels[layer_++ % std::size(kLevels)]);
    }
    int trackWidth() {
        // The plotter's thin-line setting "2 w" is frequent; the rest are track widths.
        if (rng_.chance(30)) return 2;
        static constexpr int kZarn[] = {10, 16, 20, 25, 32};
        return std::max(1, plan_.raw(kZarn[rng_.range(0, 4)]));
    }
    void width(int raw) {
        char tmp[24];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, raw);
        std::memcpy(r.ptr, " w", 2);
        w_.line(std::string_view(tmp, r.ptr + 2 - tmp));
    }
    int clampX(int z) const { return std::min(std::max(z, 0), plan_.boardW); }
    int clampY(int z) const { return std::min(std::max(z, 0), plan_.boardH); }

    void track() {
        // Routed on a 1/40 inch grid, horizontal, vertical and 45 degree segments.
        constexpr int kGrid = 32;
        int x = rng_.range(0, plan_.boardW / kGrid) * kGrid;
        int y = rng_.range(0, plan_.boardH / kGrid) * kGrid;
        w_.point(plan_.raw(x), plan_.raw(y), 'm');
        w_.point(plan_.raw(x), plan_.raw(y), 'l');
        const int segments = rng_.range(1, 6);
        for (int i = 0; i < segments; ++i) {
            const int len = rng_.range(1, 40) * kGrid;
            switch (rng_.range(0, 5)) {
                case 0: x += len; break;
                case 1: x -= len; break;
                case 2: y += len; break;
                case 3: y -= len; break;
                case 4: x += len, y += len; break;
                default: x += len, y -= len; break;
            }
            x = clampX(x);
            y = clampY(y);
            w_.point(plan_.raw(x), plan_.raw(y), 'l');
        }
        w_.line("s");
    }
    void padRow() {
        // Flashed round pads at 0.1 inch pitch, like the pins of a DIL package.
        static constexpr int kZarn[] = {64, 80, 96, 120};
        width(std::max(1, plan_.raw(kZarn[rng_.range(0, 3)])));
        const int pins = rng_.range(4, 20);
        int x = rng_.range(0, plan_.boardW / 128) * 128;
        const int y = rng_.range(0, plan_.boardH / 128) * 128;
        for (int i = 0; i < pins && x <= plan_.boardW; ++i, x += 128) {
            w_.point(plan_.raw(x), plan_.raw(y), 'm');
            w_.point(plan_.raw(x), plan_.raw(y), 'l');
            w_.line("s");
        }
    }
    void squarePad() {
        // A filled SMD pad: every corner is a lineto point.
        const int half = rng_.range(16, 64);
        const int x = clampX(rng_.range(half, plan_.boardW - half));
        const int y = clampY(rng_.range(half, plan_.boardH - half));
        const int x0 = plan_.raw(x - half), x1 = plan_.raw(x + half);
        const int y0 = plan_.raw(y - half), y1 = plan_.raw(y + half);
        w_.point(x0, y0, 'm');
        w_.point(x0, y0, 'l');
        w_.point(x1, y0, 'l');
        w_.point(x1, y1, 'l');
        w_.point(x0, y1, 'l');
        w_.line("c");
        w_.line("f");
    }

    Writer& w_;
    Rng& rng_;
    const Plan& plan_;
    std::size_t layer_ = 0;
};

std::string stemOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "BOARD" : name;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parseArgs(argc, argv, o, error)) {
        if (error.empty()) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "zarn1-gen-board: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    Rng rng(o.seed);
    static constexpr const char* kScales[] = {"1.28", "1", "2", "0.64"};
    if (o.scale.empty()) o.scale = kScales[rng.range(0, 3)];
    Plan plan{std::strtod(o.scale.c_str(), nullptr), 0, 0};
    // Between a small card and a double Eurocard, in Zarn units.
    plan.boardW = rng.range(4000, 12800);
    plan.boardH = rng.range(3000, 9000);
    if (!o.haveOrigin) {
        o.originX = plan.raw(rng.range(256, 1280));
        o.originY = plan.raw(rng.range(256, 1280));
    }

    std::FILE* f = std::fopen(o.out.c_str(), "wb");
    if (!f) {
        std::perror(o.out.c_str());
        return 1;
    }
    bool ok = true;
    {
        Writer w(f, o.crOnly ? "\r" : "\r\n");
        w.line("%!PS-Adobe-3.0");
        w.line(o.version7 ? "%%Creator: Zarn1 7.04" : "%%Creator: Zarn1 6.10");
        w.line("%%Title: " + stemOf(o.out));
        char date[64];
        std::snprintf(date, sizeof date, "%%%%CreationDate: %02d-%02d-20%02d %02d:%02d",
                      rng.range(1, 28), rng.range(1, 12), rng.range(10, 29), rng.range(0, 23),
                      rng.range(0, 59));
        w.line(date);
        w.line("%%BoundingBox: 0 0 595 842");
        w.line("%%EndComments");
        if (o.version7) {
            // Version 7 sets up its own page and draws with the y axis pointing down.
            w.line("{statusdict begin 595 842 0 1 setpageparams end} stopped pop");
            w.line("60 45 {dup mul exch dup mul add 1 exch sub} setscreen");
            w.line("0 842 translate");
            w.line("1 -1 scale");
        }
        for (const char* def : {"/m {moveto} def", "/l {lineto} def", "/s {stroke} def",
                                "/g {setgray} def", "/w {setlinewidth} def", "/c {closepath} def",
                                "/f {fill} def", "/zarn_units {0.05625 mul dup} def"})
            w.line(def);
        w.line(o.scale + " zarn_units scale");
        w.line(std::to_string(o.originX) + " " + std::to_string(o.originY) + " translate");
        // Enough set-up lines that the first drawing line lies beyond the translate window
        // of both the measuring and the rewriting pass.
        for (const char* setup :
             {"1 setlinecap", "1 setlinejoin", "%%EndProlog", "%%BeginSetup", "%%EndSetup",
              "%%Page: 1 1", "%%BeginPageSetup", "%%EndPageSetup", "gsave"})
            w.line(setup);

        // The board outline first, so that every file has marks at its extremes.
        Body body(w, rng, plan);
        w.line("0.0 g");
        w.line("2 w");
        const int W = plan.raw(plan.boardW), H = plan.raw(plan.boardH);
        w.point(0, 0, 'm');
        w.point(0, 0, 'l');
        w.point(W, 0, 'l');
        w.point(W, H, 'l');
        w.point(0, H, 'l');
        w.point(0, 0, 'l');
        w.line("s");

        const std::uint64_t tail = 40;  // grestore, showpage, %%Trailer, end of job
        while (w.written() + tail < o.size) body.step();
        w.line("grestore");
        w.line("showpage");
        w.line("%%Trailer");
        w.line("\x04");
        w.flush();
        ok = w.ok();
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "zarn1-gen-board: writing %s failed\n", o.out.c_str());
        return 1;
    }
    return 0;
}
