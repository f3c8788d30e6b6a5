// The program entry point: the arguments as UTF-8, then run().
#include <string>
#include <vector>

#include "cli/system.h"
#include "cli/text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(linepeek::cli::utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
  }
  return linepeek::cli::run(args);
}
