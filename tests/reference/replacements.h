// The replacement pairs of the line fields, written for clarity rather than speed.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace linepeek::reference {

// No pair leaves more UTF-16 units than this: the longest line the module takes from a file.
inline constexpr std::size_t ReplaceLimit = 4194304;

// A settings value "from=to" split at its first "="; without one, an empty pair.
inline std::pair<std::u16string, std::u16string> splitPair(const std::u16string& value) {
  const std::size_t equals = value.find(u'=');
  if (equals == std::u16string::npos) return {};
  return {value.substr(0, equals), value.substr(equals + 1)};
}

// Left to right: where `from` starts, `to` goes out and the scan skips `from`; any other unit
// goes out as it is. The result is cut at `limit` units, and the scan stops once it has them.
// An empty `from` changes nothing.
inline void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to,
                      std::size_t limit = ReplaceLimit) {
  if (from.empty()) return;
  std::u16string out;
  std::size_t at = 0;
  while (at < text.size() && out.size() < limit) {
    if (text.compare(at, from.size(), from) == 0) {
      out += to;
      at += from.size();
    } else {
      out += text[at++];
    }
  }
  if (out.size() > limit) out.resize(limit);
  text = std::move(out);
}

} // namespace linepeek::reference
