// kavello-subconv: see subconv.h.
#include <iostream>
#include <string>
#include <vector>

#include "subconv.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = kv::subconv::ParseArguments(args, error);
  if (!options) {
    std::cerr << "kavello-subconv: " << error << "\n" << kv::subconv::Usage();
    return kv::subconv::kExitUsage;
  }
  if (options->help) {
    std::cout << kv::subconv::Usage();
    return kv::subconv::kExitOk;
  }
  return kv::subconv::Convert(*options, std::cerr);
}
