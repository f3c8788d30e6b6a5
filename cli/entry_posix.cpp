// The program entry point: the arguments as UTF-8, then run().
#include <string>
#include <vector>

#include "cli/system.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  return linepeek::cli::run(args);
}
