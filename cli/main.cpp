#include <iostream>

#include "batch_converter.h"
#include "zarn/child_guard.h"
#include "zarn/write_signals.h"

int main(int argc, char** argv) {
    zarn::ignoreWriteSignals();
    zarn::guardChildren();
    return zarn::runBatchConverter(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                   std::cerr);
}
