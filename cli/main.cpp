#include <iostream>

#include "batch_converter.h"

int main(int argc, char** argv) {
    return zarn::runBatchConverter(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                   std::cerr);
}
