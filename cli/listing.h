// The entries to show for the user's paths, in the order a file manager lists them.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace linepeek::cli {

struct Entry {
  std::string shownPath;          // UTF-8, as the user gave it, joined with entry names
  std::filesystem::path fullPath; // absolute, for the module
};

// Order of names within a folder: by name ignoring ASCII case, then by the exact bytes, so the
// order is the same on every platform and file system.
bool nameLess(std::string_view a, std::string_view b);

// "a" + "x" -> "a/x"; no second separator after a folder that ends in one; an empty folder (the
// current one) gives the bare name.
std::string joinShown(std::string_view folder, std::string_view name, char separator);

// Visits each path; a folder gives its entries instead (folders first, then files, each by
// nameLess), and with `recursive` each subfolder is followed by its own entries. Symbolic links
// to folders are shown but not followed. No paths means the current folder. A path or folder
// that cannot be reached goes to `failed` with the system's reason and the walk goes on.
void walkPaths(
    const std::vector<std::string>& paths, bool recursive,
    const std::function<void(const Entry&)>& visit,
    const std::function<void(const std::string& shownPath, const std::string& reason)>& failed);

} // namespace linepeek::cli
