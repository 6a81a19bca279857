// The one exception type that carries a failure inside a conversion to the error exit.
#pragma once

#include <stdexcept>
#include <string>

namespace zarn {

class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& description) : std::runtime_error(description) {}
};

}  // namespace zarn
