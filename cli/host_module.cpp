#include "cli/host_module.h"

#include <algorithm>
#include <cstring>

#include "cli/listing.h"
#include "cli/text.h"

namespace linepeek::cli {

std::optional<HostModule> HostModule::load(const std::string& path, std::string& error) {
  HostModule module;
  std::string reason;
  if (!module.library_.open(path, reason)) {
    error = "cannot load module '" + path + "': " + reason;
    return std::nullopt;
  }
  void* supported = module.library_.symbol("ContentGetSupportedField", reason);
  if (supported == nullptr) {
    error = "module '" + path + "' lacks ContentGetSupportedField: " + reason;
    return std::nullopt;
  }
  void* getValue = module.library_.symbol("ContentGetValueW", reason);
  if (getValue == nullptr) {
    error = "module '" + path + "' lacks ContentGetValueW: " + reason;
    return std::nullopt;
  }
  // Function addresses come back as object pointers from the loader.
  module.supportedField_ = reinterpret_cast<SupportedFieldFn>(supported);
  module.getValueW_ = reinterpret_cast<GetValueWFn>(getValue);
  return module;
}

bool HostModule::readCatalogue(std::vector<FieldInfo>& fields, std::string& error) const {
  fields.clear();
  std::vector<char> name;
  std::vector<char> units;
  for (int index = 0; index < MaxFields; ++index) {
    // An answer that fills the buffer may have been cut to fit: it is asked again with a larger
    // one, so that a cut list is never taken for the whole one.
    for (int bytes = CatalogueTextBytes;; bytes *= 2) {
      // One spare zero byte beyond maxLen, so a module that forgets the terminator is still read
      // safely.
      name.assign(static_cast<std::size_t>(bytes) + 1, '\0');
      units.assign(static_cast<std::size_t>(bytes) + 1, '\0');
      const int type = supportedField_(index, name.data(), units.data(), bytes);
      if (type == NoMoreFields) return true;
      const auto filled = [&](const std::vector<char>& text) {
        return std::strlen(text.data()) + 1 >= static_cast<std::size_t>(bytes);
      };
      if ((filled(name) || filled(units)) && bytes < MaxCatalogueTextBytes) continue;
      fields.push_back({index, validUtf8(name.data()), type, validUtf8(units.data())});
      break;
    }
  }
  error = "the module offers more than " + std::to_string(MaxFields) + " fields";
  return false;
}

Value HostModule::value(const std::u16string& fileName, int field, int unit) const {
  // Exactly maxLen bytes, zeroed before every call, so that a sanitizer sees any write past
  // them; the answer is read only within them, so a missing terminator is never overread.
  alignas(std::int64_t) char buffer[ValueBytes] = {};
  const int answer = getValueW_(fileName.c_str(), field, unit, buffer, ValueBytes, 0);
  switch (answer) {
  case Numeric64: {
    std::int64_t number = 0;
    std::memcpy(&number, buffer, sizeof number);
    return Value::ofNumber(number);
  }
  case StringW: {
    std::u16string units(ValueBytes / 2, u'\0');
    std::memcpy(units.data(), buffer, units.size() * sizeof(char16_t));
    return Value::ofText(utf16ToUtf8(units.substr(0, units.find(u'\0'))));
  }
  case MultipleChoice: {
    const char* end = std::find(buffer, buffer + ValueBytes, '\0');
    return Value::ofText(
        validUtf8(std::string_view(buffer, static_cast<std::size_t>(end - buffer))));
  }
  default:
    return {};
  }
}

std::vector<Value> HostModule::values(const std::u16string& fileName,
                                      const std::vector<Request>& requests) const {
  std::vector<Value> answers;
  answers.reserve(requests.size());
  for (const Request& request : requests)
    answers.push_back(value(fileName, request.field, request.unit));
  return answers;
}

std::string defaultModulePath(const std::string& executableFolder,
                              const std::function<bool(const std::string&)>& exists) {
  const char* name = defaultModuleName();
  if (executableFolder.empty()) return name;
  const char separator = joinSeparator(executableFolder);
  std::string beside = joinShown(executableFolder, name, separator);
  if (exists(beside)) return beside;
  std::string installed = executableFolder;
  for (const char* part : {"..", "lib", "linepeek", name})
    installed = joinShown(installed, part, separator);
  return exists(installed) ? installed : beside;
}

std::vector<std::string> splitUnits(const std::string& units) {
  std::vector<std::string> parts;
  if (units.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = units.find('|', start);
    parts.push_back(units.substr(start, bar - start));
    if (bar == std::string::npos) return parts;
    start = bar + 1;
  }
}

} // namespace linepeek::cli
