// kvimage: builds and checks firmware image files for technicians and tests.
#include <iostream>
#include <string>
#include <vector>

#include "image/ImageTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kv::runImageTool(args, std::cout, std::cerr);
}
