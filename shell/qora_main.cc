// Entry of the `qora` program.
#include <iostream>
#include <string>
#include <vector>

#include "shell/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return qora::RunCommandLine(arguments, std::cout, std::cerr);
}
