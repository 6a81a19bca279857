#include "zarn/spool/cups_queue.h"

#include <cups/cups.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace zarn::spool {

namespace {

// A local scheduler answers at once; a host that is gone, or one that stops answering, is not
// waited for longer than this.
constexpr int kConnectMs = 5000;
constexpr std::chrono::seconds kAnswer{30};
constexpr std::size_t kNameBytes = 255;  // the most an IPP name holds

// Bytes outside printable ASCII as \xNN, so that a message from the server (translated, or
// naming a queue in another encoding) stays one readable line.
std::string printable(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    std::string out;
    for (const char ch : text) {
        if (ch >= ' ' && ch <= '~') {
            out += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(ch));
            out += hex;
        }
    }
    return out;
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        const unsigned char lead = byte(0);
        std::size_t n = 1;
        unsigned char low = 0x80, high = 0xBF;  // the second byte: no overlong forms, no
        if (lead >= 0xC2 && lead <= 0xDF) {     // surrogates, nothing beyond U+10FFFF
            n = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + n > s.size() || (n > 1 && (byte(1) < low || byte(1) > high))) return false;
        for (std::size_t k = 2; k < n; ++k)
            if (byte(k) < 0x80 || byte(k) > 0xBF) return false;
        i += n;
    }
    return true;
}

// The input's name as IPP takes a job's name: UTF-8 as it is, a name in any other encoding
// read as Latin-1 (as the boards of old systems are named), control characters as '?', cut
// to what a name holds without splitting a character.
std::string jobName(std::string_view title) {
    std::string name;
    if (validUtf8(title)) {
        for (const char ch : title) name += (ch >= 0 && ch < ' ') || ch == 0x7F ? '?' : ch;
    } else {
        for (const char ch : title) {
            const auto byte = static_cast<unsigned char>(ch);
            if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
                name += '?';
            } else if (byte < 0x80) {
                name += ch;
            } else {
                name += static_cast<char>(0xC0 | (byte >> 6));
                name += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
    }
    if (name.size() > kNameBytes) {
        std::size_t end = kNameBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
        name.resize(end);
    }
    return name.empty() ? "?" : name;
}

// What the library last said went wrong, or `otherwise` when it said nothing.
std::string lastError(const std::string& otherwise) {
    const char* said = cupsLastErrorString();
    const std::string text = said ? printable(said) : "";
    return text.empty() ? otherwise : text;
}

// A wait for the server's answer ends once it has been silent for kAnswer.
int giveUp(http_t*, void*) { return 0; }

// Nobody sits at a terminal to type a password: a server that wants one refuses the job.
const char* noPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

struct Closer {
    void operator()(http_t* http) const { httpClose(http); }
};

class Submission {
public:
    explicit Submission(const PrintRequest& r) : r_(r), name_(jobName(r.title)) {}

    PrintSubmission run() {
        cupsSetPasswordCB2(noPassword, nullptr);
        // CUPS says "Host is down" whatever kept it from the server; the address says more.
        const char* server = cupsServer();
        http_ = connect();
        if (!http_) {
            const std::string at =
                server[0] == '/' ? server : std::string(server) + ":" + std::to_string(ippPort());
            return {0, "No print server answers at " + printable(at) + "."};
        }
        const int job = createJob();
        if (job <= 0) return {0, lastError("The print server did not take the job.")};
        const std::string failure = sendDocument(job);
        if (failure.empty()) return {job, {}};
        // Over a connection of its own: the first may be broken, and a document cut short on
        // it is dropped with it.
        http_.reset();
        if (const Connection again = connect())
            cupsCancelJob2(again.get(), r_.queue.c_str(), job, 0);
        return {0, failure};
    }

private:
    using Connection = std::unique_ptr<http_t, Closer>;

    static Connection connect() {
        Connection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                     1, kConnectMs, nullptr));
        if (http) httpSetTimeout(http.get(), static_cast<double>(kAnswer.count()), giveUp, nullptr);
        return http;
    }

    // The job without its document, by IPP itself: cupsCreateJob would first look the queue up
    // and, the server gone, call it missing.
    int createJob() {
        char uri[1024], resource[1024], scheme[32], user[256], host[256];
        int port = 0;
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                         ippPort(), "/printers/%s", r_.queue.c_str());
        httpSeparateURI(HTTP_URI_CODING_NONE, uri, scheme, sizeof scheme, user, sizeof user, host,
                        sizeof host, &port, resource, sizeof resource);
        ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, name_.c_str());
        // The medium in points; CUPS takes the queue's own size of these sides where it has one
        // (its A4 for the forced A4 page), and its custom size otherwise.
        if (r_.pageWidth > 0 && r_.pageHeight > 0) {
            const std::string media =
                "Custom." + std::to_string(r_.pageWidth) + "x" + std::to_string(r_.pageHeight);
            ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, media.c_str());
        }
        ipp_t* response = cupsDoRequest(http_.get(), request, resource);  // frees the request
        int job = 0;
        if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING)
            job = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
        ippDelete(response);
        return job;
    }

    // The document, from its first byte whatever its descriptor's offset; "" when the server
    // took it all.
    std::string sendDocument(int job) {
        if (cupsStartDocument(http_.get(), r_.queue.c_str(), job, name_.c_str(),
                              CUPS_FORMAT_POSTSCRIPT, 1) != HTTP_STATUS_CONTINUE)
            return lastError("The print server did not take the document.");
        static constexpr std::size_t kChunk = 64 * 1024;
        const auto buffer = std::make_unique<char[]>(kChunk);
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(r_.document, buffer.get(), kChunk, at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                return "The output could not be read (" + std::string(std::strerror(errno)) + ").";
            if (n == 0) break;
            if (cupsWriteRequestData(http_.get(), buffer.get(), static_cast<std::size_t>(n)) !=
                HTTP_STATUS_CONTINUE)
                return lastError("The print server stopped reading the document.");
            at += n;
        }
        if (cupsFinishDocument(http_.get(), r_.queue.c_str()) > IPP_STATUS_OK_CONFLICTING)
            return lastError("The print server did not take the document.");
        return {};
    }

    const PrintRequest& r_;
    const std::string name_;
    Connection http_;
};

}  // namespace

PrintSubmission submitToCups(const PrintRequest& request) { return Submission(request).run(); }

}  // namespace zarn::spool
