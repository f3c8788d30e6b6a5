#include "cli/listing.h"

#include <algorithm>

#include "base/ascii.h"
#include "cli/system.h"
#include "cli/text.h"

namespace linepeek::cli {
namespace fs = std::filesystem;
namespace {

fs::path absolutePath(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::absolute(path, ec);
  return ec ? path : full;
}

bool walkFolder(const fs::path& folder, const std::string& shownFolder, bool recursive,
                const VisitFn& visit, const FailFn& failed) {
  struct Item {
    std::string name;
    fs::path path;
    bool isFolder;
    bool isLink;
  };
  std::vector<Item> items;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code statusError;
    const bool isFolder = it->is_directory(statusError);
    const bool isLink = it->is_symlink(statusError);
    items.push_back({pathToUtf8(it->path().filename()), it->path(), isFolder, isLink});
  }
  if (ec) {
    failed(shownFolder.empty() ? "." : shownFolder, ec.message());
    if (items.empty()) return true;
  }
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    if (a.isFolder != b.isFolder) return a.isFolder;
    return nameLess(a.name, b.name);
  });
  const char separator = joinSeparator(shownFolder);
  for (const Item& item : items) {
    const std::string shown = joinShown(shownFolder, item.name, separator);
    if (!visit({shown, item.path, item.isFolder})) return false;
    if (recursive && item.isFolder && !item.isLink &&
        !walkFolder(item.path, shown, recursive, visit, failed))
      return false;
  }
  return true;
}

} // namespace

bool nameLess(std::string_view a, std::string_view b) {
  const std::string la = asciiLowered(a);
  const std::string lb = asciiLowered(b);
  return la != lb ? la < lb : a < b;
}

std::string joinShown(std::string_view folder, std::string_view name, char separator) {
  std::string shown(folder);
  if (!shown.empty() && shown.back() != '/' && shown.back() != separator) shown += separator;
  shown += name;
  return shown;
}

bool walkPaths(const std::vector<std::string>& paths, bool recursive, const VisitFn& visit,
               const FailFn& failed) {
  if (paths.empty()) return walkFolder(fs::current_path(), "", recursive, visit, failed);
  for (const std::string& shown : paths)
    if (!walkPath(shown, recursive, visit, failed)) return false;
  return true;
}

bool walkPath(const std::string& shown, bool recursive, const VisitFn& visit,
              const FailFn& failed) {
  // Only a list read by lines can hand on a NUL, and no system call would see past it.
  if (shown.find('\0') != std::string::npos) {
    std::string escaped;
    for (const char c : shown)
      escaped += c == '\0' ? std::string("\\0") : std::string(1, c);
    failed(escaped,
           "a name cannot hold a NUL character (a list whose names end with NUL needs -0)");
    return true;
  }
  const fs::path path = pathFromUtf8(shown);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    failed(shown, ec ? ec.message() : "No such file or directory");
    return true;
  }
  // An absolute folder makes its entries' paths absolute without asking for the current folder.
  if (fs::is_directory(status))
    return walkFolder(absolutePath(path), shown, recursive, visit, failed);
  return visit({shown, absolutePath(path), false});
}

bool readPathList(InputBuffer& input, char separator,
                  const std::function<bool(const std::string&)>& path) {
  std::string name;
  while (input.readUntil(separator, name)) {
    if (separator == '\n' && !name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty() && !path(name)) return true;
  }
  return !input.failed();
}

} // namespace linepeek::cli
