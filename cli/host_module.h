// The content module as a file manager sees it: loaded by path, asked for its field catalogue,
// then for one value of one file at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/host_codes.h"
#include "cli/system.h"
#include "cli/value.h"

namespace linepeek::cli {

// The value buffer handed to the module, in bytes, and the maxLen of every request, as a file
// manager sizes it: a line shows up to 4,095 UTF-16 units, a choice up to 8,191 bytes.
inline constexpr int ValueBytes = 8192;
// Each catalogue buffer starts at this many bytes, far more than a host's 256, and doubles while
// an answer fills it, up to the most.
inline constexpr int CatalogueTextBytes = 4096;
inline constexpr int MaxCatalogueTextBytes = 1 << 20;
// A module that never ends its catalogue is broken; stop asking after this many fields.
inline constexpr int MaxFields = 1024;

// One request of every entry: a field's index and the unit index passed with it.
struct Request {
  int field = 0;
  int unit = 0;
};

struct FieldInfo {
  int index = 0;
  std::string name;
  int type = 0;
  std::string units; // units, or choices for a multiple-choice field, separated by "|"
};

class HostModule {
public:
  // Loads the module and finds ContentGetSupportedField and ContentGetValueW. On failure answers
  // nothing and sets `error` to a message naming the path and the system's reason.
  static std::optional<HostModule> load(const std::string& path, std::string& error);

  // Asks for field 0, 1, ... until the module answers 0, each with buffers large enough for its
  // whole name and units. Fails (with `error`) only when the module offers more than MaxFields
  // fields.
  bool readCatalogue(std::vector<FieldInfo>& fields, std::string& error) const;

  // One value of one file. Negative answers, 0 and type codes this host does not know give
  // Value::Kind::None.
  Value value(const std::u16string& fileName, int field, int unit) const;
  // The answers to `requests` for one file, in their order.
  std::vector<Value> values(const std::u16string& fileName,
                            const std::vector<Request>& requests) const;

private:
  using SupportedFieldFn = int (*)(int, char*, char*, int);
  using GetValueWFn = int (*)(const char16_t*, int, int, void*, int, int);

  Library library_;
  SupportedFieldFn supportedField_ = nullptr;
  GetValueWFn getValueW_ = nullptr;
};

// The module to load when none is named: linepeek.so / linepeek.dll in `executableFolder`, or,
// when that does not exist, in ../lib/linepeek/ from there (the package layout, program in
// /usr/bin and module in /usr/lib/linepeek). When neither exists, the one beside the program, so
// that the load error names it. An empty folder gives the bare name.
std::string defaultModulePath(const std::string& executableFolder,
                              const std::function<bool(const std::string&)>& exists);

// The "|"-separated parts of a units text; none for the empty text.
std::vector<std::string> splitUnits(const std::string& units);

} // namespace linepeek::cli
