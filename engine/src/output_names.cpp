// BOARD.P01 gives BOARD_E01.ps (or .eps) and BOARD_E01_log.TXT beside it.
#include "output_names.h"

#include "zarn/conversion.h"
#include "zarn/path_helpers.h"

namespace zarn {

bool isPrintFileExtension(std::string_view ext) {
    return ext.size() >= 2 && (ext[1] == '1' || ext[1] == '0');
}

namespace {

// The path of the output without its extension: beside the input, NAME_E plus the extension
// after its first character.
std::string outputStem(const std::string& input, const std::string& name, std::string_view ext) {
    std::string stem = PathOnly(input);
    stem += '/';
    stem += name;
    stem += "_E";
    stem += ext.substr(1);
    return stem;
}

OutputNames outputNamesOfStem(const std::string& stem, bool eps) {
    return {stem + (eps ? ".eps" : ".ps"), stem + "_log.TXT", stem + ".pdf", stem + ".png"};
}

}  // namespace

std::optional<OutputNames> outputNamesOf(const std::string& input, bool eps) {
    const std::string ext = ExtOnly(input, false);
    const std::optional<std::string> name = NameOnly(input);
    if (!isPrintFileExtension(ext) || !name) return std::nullopt;
    return outputNamesOfStem(outputStem(input, *name, ext), eps);
}

}  // namespace zarn
