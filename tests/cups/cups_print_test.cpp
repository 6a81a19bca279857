// Print jobs through a CUPS scheduler of the test's own (never the system's) with a PostScript
// queue, as a typesetter's would be: what the queue prints must render as the converter's output
// does, on the same page with the same ink; and a job the print system does not take fails
// clearly.
#include <cups/cups.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace zarn::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kQueue = "zarn";
constexpr const char* kSample = ZARN_SAMPLE;

// A PostScript printer with two sizes of its own and custom pages up to 200 inches. Without a
// *cupsFilter line CUPS sends it PostScript through pstops alone, as it does for a typesetter.
constexpr const char* kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*NickName: "Zarn test typesetter"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*OpenUI *PageSize: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageSize A3: "<</PageSize[842 1191]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4: "0 0 595 842"
*ImageableArea A3: "0 0 842 1191"
*DefaultPaperDimension: A4
*PaperDimension A4: "595 842"
*PaperDimension A3: "842 1191"
*VariablePaperSize: True
*MaxMediaWidth: "14400"
*MaxMediaHeight: "14400"
*CustomPageSize True: "pop pop pop <</PageSize[5 -2 roll]/ImagingBBox null>>setpagedevice"
*ParamCustomPageSize Width: 1 points 36 14400
*ParamCustomPageSize Height: 2 points 36 14400
*ParamCustomPageSize WidthOffset: 3 points 0 0
*ParamCustomPageSize HeightOffset: 4 points 0 0
*ParamCustomPageSize Orientation: 5 int 0 3
)ppd";

// The system keeps its daemons where not every user's PATH looks.
std::optional<std::string> systemProgram(const std::string& name) {
    if (auto found = findInPath(name)) return found;
    const std::string sbin = "/usr/sbin/" + name;
    return ::access(sbin.c_str(), X_OK) == 0 ? std::optional(sbin) : std::nullopt;
}

http_t* connectTo(const std::string& socket) {
    return httpConnect2(socket.c_str(), ippPort(), nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                        1000, nullptr);
}

// The scheduler with its configuration, spool, log and socket in a scratch folder, and the
// queue kQueue, which prints into a file there. It never outlives the test.
class PrivateCupsd {
public:
    PrivateCupsd() {
        namespace fs = std::filesystem;
        const std::string& root = dir_.path();
        // Its filters run as lp: they must reach the folder, and write their scratch and what
        // they print.
        fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        for (const char* sub : {"spool", "cache", "state", "log", "tmp", "out"})
            fs::create_directory(dir_.file(sub));
        for (const char* open : {"tmp", "out"})
            fs::permissions(dir_.file(open), fs::perms::all | fs::perms::sticky_bit);
        std::string files =
            "DataDir /usr/share/cups\nServerBin /usr/lib/cups\nFileDevice Yes\n"
            "Sandboxing Relaxed\nServerRoot " +
            root + "\n";
        std::istringstream paths(
            "RequestRoot spool TempDir tmp StateDir state CacheDir cache AccessLog log/access_log "
            "ErrorLog log/error_log PageLog log/page_log Printcap printcap");
        for (std::string key, sub; paths >> key >> sub;) files += key + " " + dir_.file(sub) + "\n";
        writeFile(dir_.file("cups-files.conf"), files);
        writeFile(
            dir_.file("cupsd.conf"),
            "Listen " + socket() +
                "\nLogLevel debug\nWebInterface No\nBrowsing No\n"
                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n<Policy default>\n"
                "  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n</Policy>\n");
        writeFile(dir_.file("typesetter.ppd"), kPpd);

        const std::string cupsd = systemProgram("cupsd").value_or("cupsd"),
                          conf = dir_.file("cupsd.conf"), confFiles = dir_.file("cups-files.conf"),
                          out = dir_.file("log/stdout");
        const char* argv[] = {cupsd.c_str(),     "-f",   "-c", conf.c_str(), "-s",
                              confFiles.c_str(), nullptr};
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            const int in = ::open("/dev/null", O_RDONLY);
            const int log = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(in, STDIN_FILENO);
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
            ::execv(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        // A constructor that throws has no destructor to stop the scheduler.
        const auto fail = [&](const std::string& what) {
            stop();
            throw std::runtime_error(what + logTail());
        };
        for (const auto deadline = Clock::now() + std::chrono::seconds(10);;) {
            if (http_t* http = connectTo(socket())) {
                httpClose(http);
                break;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) != 0 || Clock::now() > deadline)
                fail("cupsd did not start: " + readFile(out));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const RunResult added =
            run({systemProgram("lpadmin").value_or("lpadmin"), "-h", socket(), "-p", kQueue, "-E",
                 "-v", "file://" + printed(), "-P", dir_.file("typesetter.ppd"), "-o",
                 "printer-error-policy=abort-job"});
        if (added.status != 0) fail("lpadmin failed: " + added.err);
    }
    ~PrivateCupsd() { stop(); }

    std::string socket() const { return dir_.file("cups.sock"); }
    std::string printed() const { return dir_.file("out/printed.ps"); }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (const auto deadline = Clock::now() + std::chrono::seconds(5);
             ::waitpid(pid_, nullptr, WNOHANG) == 0;) {
            if (Clock::now() > deadline) ::kill(pid_, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

    struct Job {
        int state = 0;
        std::string name, media;
    };
    // The job once it has ended, as the scheduler tells it; waits at most 20 s.
    Job waitForEnd(int id) const {
        Job job;
        http_t* http = connectTo(socket());
        const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
        for (const auto deadline = Clock::now() + std::chrono::seconds(20);
             http && job.state < IPP_JSTATE_CANCELED && Clock::now() < deadline;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                         cupsUser());
            ipp_t* response = cupsDoRequest(http, request, "/");
            const auto text = [&](const char* name) {
                const char* value =
                    ippGetString(ippFindAttribute(response, name, IPP_TAG_ZERO), 0, nullptr);
                return std::string(value ? value : "");
            };
            job = {ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0),
                   text("job-name"), text("media")};
            ippDelete(response);
        }
        httpClose(http);
        return job;
    }

    std::string logTail() const {
        const std::string path = dir_.file("log/error_log");
        const std::string log = fileExists(path) ? readFile(path) : "";
        return "\n..." + log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    }

private:
    ScratchDir dir_;
    pid_t pid_ = -1;
};

// A rendering's page (width, height) and ink (llx, lly, urx, ury), in points.
struct Rendered {
    double page[2]{}, ink[4]{};
};

std::ostream& operator<<(std::ostream& os, const Rendered& r) {
    return os << "page " << r.page[0] << " x " << r.page[1] << ", ink " << r.ink[0] << " "
              << r.ink[1] << " " << r.ink[2] << " " << r.ink[3];
}

// Ghostscript's bbox device finds the ink; at the end of the page the page device tells the
// page it was given.
Rendered render(const std::string& file) {
    const RunResult r = run({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=bbox", "-c",
                             "<< /EndPage { exch pop 2 ne dup { currentpagedevice /PageSize get "
                             "{ =only ( ) print } forall } if } bind >> setpagedevice",
                             "-f", file});
    EXPECT_EQ(r.status, 0) << r.err;
    Rendered out;
    std::istringstream page(r.out);
    EXPECT_TRUE(page >> out.page[0] >> out.page[1]) << file << ":\n" << r.out;
    std::istringstream ink(
        r.err.substr(std::min(r.err.find("%%HiResBoundingBox: "), r.err.size())));
    std::string key;
    EXPECT_TRUE(ink >> key >> out.ink[0] >> out.ink[1] >> out.ink[2] >> out.ink[3]) << r.err;
    return out;
}

class CupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!systemProgram("cupsd"))
            GTEST_SKIP() << "cupsd is not installed: the Debian package cups-daemon (with "
                            "cups-client and cups-core-drivers; scripts/setup.sh installs them)";
        cupsd_.emplace();
        ::setenv("CUPS_SERVER", cupsd_->socket().c_str(), 1);  // for lp and the converter
    }
    void TearDown() override {
        if (HasFailure() && cupsd_) std::cerr << cupsd_->logTail() << "\n";
    }

    RunResult convert(const std::string& input, const std::vector<std::string>& args) {
        std::vector<std::string> argv{ZARN_CONVERTER, "--no-settings", "--lang=uk"};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(input);
        return run(argv);
    }

    ScratchDir dir_;
    std::optional<PrivateCupsd> cupsd_;
};

struct Print {
    const char* name;
    const char* input;                 // a file name; a generated board when it ends in 7
    std::vector<std::string> options;  // the converter's
    bool sentByConverter;              // --send-to, instead of lp
};

void PrintTo(const Print& p, std::ostream* os) { *os << p.name; }

const std::vector<std::string> kA3Turned{"--dsc", "--force=a3", "--rotate", "--crop=0.95"};
const std::vector<std::string> kGenerate{ZARN_GENERATOR, "--seed=12",         "--version7",
                                         "--scale=2",    "--origin=800,1200", "--size=30000"};

// clang-format off
const Print kPrints[] = {
    {"sample", "BOARD.P01", {"--dsc"}, false},
    {"sample_a4", "BOARD.P01", {"--dsc", "--force=a4"}, false},
    {"sample_a3_turned_cropped", "BOARD.P01", kA3Turned, false},
    {"generated", "GEN.P07", {"--dsc"}, false},
    {"generated_a4", "GEN.P07", {"--dsc", "--force=a4"}, false},
    {"generated_a3_turned_cropped", "GEN.P07", kA3Turned, false},
    // A name in Latin-1, as older systems wrote them.
    {"sent_by_the_converter", "KAART\xC9.P01", {"--send-to=zarn"}, true},
};
// clang-format on

class Printed : public CupsTest, public ::testing::WithParamInterface<Print> {};

TEST_P(Printed, ArrivesAsTheOutputRendersDirectly) {
    const Print& p = GetParam();
    const std::string input = dir_.file(p.input);
    if (input.ends_with('7')) {
        std::vector<std::string> argv = kGenerate;
        argv.push_back(input);
        ASSERT_EQ(run(argv).status, 0);
    } else {
        std::filesystem::copy_file(kSample, input);
    }
    const RunResult converted = convert(input, p.options);
    ASSERT_EQ(converted.status, 0) << converted.err;
    // BOARD.P01 -> BOARD_E01.ps, beside it.
    const std::string output =
        input.substr(0, input.size() - 4) + "_E" + input.substr(input.size() - 2) + ".ps";

    int job = 0;
    if (p.sentByConverter) {
        // The job, as the print system names it, ends stdout.
        job = std::atoi(converted.out.c_str() + converted.out.rfind("\nzarn-") + 6);
        EXPECT_TRUE(converted.out.ends_with("\nzarn-" + std::to_string(job) + "\n"))
            << converted.out;
    } else {
        const RunResult lp = run({"lp", "-d", kQueue, output});
        ASSERT_EQ(lp.status, 0) << lp.err;
        job = std::atoi(lp.out.c_str() + lp.out.find("zarn-") + 5);
    }
    ASSERT_GT(job, 0);
    const PrivateCupsd::Job ended = cupsd_->waitForEnd(job);
    ASSERT_EQ(ended.state, IPP_JSTATE_COMPLETED);

    // Ghostscript reads a name as UTF-8: the Latin-1 one is rendered under another.
    std::filesystem::copy_file(output, dir_.file("direct.ps"));
    const Rendered direct = render(dir_.file("direct.ps")), arrived = render(cupsd_->printed());
    SCOPED_TRACE(::testing::Message() << "direct: " << direct << "; arrived: " << arrived);
    if (p.sentByConverter) {
        EXPECT_EQ(ended.name, "KAART\xC3\x89.P01");
        EXPECT_EQ(ended.media, "Custom." + std::to_string(static_cast<int>(direct.page[0])) + "x" +
                                   std::to_string(static_cast<int>(direct.page[1])));
    }
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(arrived.page[i], direct.page[i], 1);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(arrived.ink[i], direct.ink[i], 1);
}

INSTANTIATE_TEST_SUITE_P(Queue, Printed, ::testing::ValuesIn(kPrints),
                         [](const auto& info) { return std::string(info.param.name); });

// A job the print system does not take: status 1 and one sentence on stderr saying why, with
// the output and the log as complete as without a queue.
TEST_F(CupsTest, AJobNotTakenFailsWithItsReasonAfterTheFilesAreComplete) {
    const std::string input = dir_.file("BOARD.P01");
    std::filesystem::copy_file(kSample, input);
    const std::string output = dir_.file("BOARD_E01.ps"), log = dir_.file("BOARD_E01_log.TXT");
    ASSERT_EQ(convert(input, {"--dsc"}).status, 0);
    const std::string wantedOutput = readFile(output), wantedLog = readFile(log);
    const struct {
        const char* queue;
        bool serverStopped;
        std::string says;
    } rows[] = {
        {"nosuch", false, "nosuch: The printer or class does not exist."},
        {"zarn", true, "zarn: No print server answers at " + cupsd_->socket() + "."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        if (row.serverStopped) cupsd_->stop();
        std::filesystem::remove(output);
        std::filesystem::remove(log);
        const RunResult r = convert(input, {std::string("--send-to=") + row.queue});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_TRUE(r.err.ends_with("\nthe job was not sent to the print queue " + row.says + " (" +
                                    input + ")\n"))
            << r.err;
        EXPECT_EQ(readFile(output), wantedOutput);
        EXPECT_EQ(readFile(log), wantedLog);
    }
}

}  // namespace
}  // namespace zarn::testing
