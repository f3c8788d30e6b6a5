// The entries to show for the user's paths, in the order a file manager lists them.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/input_buffer.h"

namespace linepeek::cli {

struct Entry {
  std::string shownPath;          // UTF-8, as the user gave it, joined with entry names
  std::filesystem::path fullPath; // absolute, for the module
  bool isFolder = false;          // a folder, or a link to one
};

// Order of names within a folder: by name ignoring ASCII case, then by the exact bytes, so the
// order is the same on every platform and file system.
bool nameLess(std::string_view a, std::string_view b);

// "a" + "x" -> "a/x"; no second separator after a folder that ends in one; an empty folder (the
// current one) gives the bare name.
std::string joinShown(std::string_view folder, std::string_view name, char separator);

// Answers false to stop the walk.
using VisitFn = std::function<bool(const Entry&)>;
using FailFn = std::function<void(const std::string& shownPath, const std::string& reason)>;

// Visits each path; a folder gives its entries instead (folders first, then files, each by
// nameLess), and with `recursive` each subfolder is followed by its own entries. Symbolic links
// to folders are shown but not followed. No paths means the current folder. A path or folder
// that cannot be reached goes to `failed` with the system's reason and the walk goes on. False
// when `visit` stopped the walk.
bool walkPaths(const std::vector<std::string>& paths, bool recursive, const VisitFn& visit,
               const FailFn& failed);
// The same for one path. A name that holds a NUL is reported with each NUL shown as "\0".
bool walkPath(const std::string& shown, bool recursive, const VisitFn& visit, const FailFn& failed);

// Hands each path of a list to `path`: the names between `separator`s ('\0', or '\n' with a
// CR before it dropped), the last one with or without a separator after it; empty names are
// skipped; `path` answers false to stop. Answers false when the input failed.
bool readPathList(InputBuffer& input, char separator,
                  const std::function<bool(const std::string&)>& path);

} // namespace linepeek::cli
