// The pack tool's entry: packtool create|list|extract ... (see packtool_lib.h).
#include <iostream>

#include "tools/packtool/packtool_lib.h"

int main(int argc, char** argv) {
  return packtool_run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
