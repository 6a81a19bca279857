// The one exception type that carries a failure inside a conversion to the error exit. It
// holds what kind of failure it is and where it arose; the error exit composes the message.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace zarn {

enum class FaultKind {
    BadName,            // the file name is not of the form *.Pxx
    MissingHeaderLine,  // a line the header must hold is not there
    ConvertedBefore,    // the file is an output of this program
    Runtime,            // anything else: I/O, overflow, a malformed number line
    Stopped,            // ended from outside while Ghostscript ran: the window closed, or a
                        // signal to the program; no message is shown
};

// Where a failure arose, as far as something in particular caused it; the message names
// only what is set.
struct FailureContext {
    std::string file;             // the file an I/O failure concerns; its description names it
    std::uint64_t inputLine = 0;  // the input line that caused it; 0 when none did
    std::string field;            // the window field whose value caused it
    int systemError = 0;          // the error number of a failed write; 0 when none
};

// The context of an I/O failure on `file`, with its error number when the system gave one.
inline FailureContext aboutFile(std::string file, int systemError = 0) {
    FailureContext context;
    context.file = std::move(file);
    context.systemError = systemError;
    return context;
}

class ConversionError : public std::exception {
public:
    ConversionError(FaultKind kind, std::string description, FailureContext context = {})
        : kind_(kind), description_(std::move(description)), context_(std::move(context)) {}
    explicit ConversionError(std::string description, FailureContext context = {})
        : ConversionError(FaultKind::Runtime, std::move(description), std::move(context)) {}

    FaultKind kind() const { return kind_; }
    const std::string& description() const { return description_; }
    const FailureContext& context() const { return context_; }
    FailureContext& context() { return context_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    FaultKind kind_;
    std::string description_;
    FailureContext context_;
};

// A conversion that its Ghostscript run saw stopped from outside.
inline ConversionError stoppedRun(std::string description) {
    return ConversionError(FaultKind::Stopped, std::move(description));
}

}  // namespace zarn
