#include "settings/replace_pairs.h"

#include <cstddef>
#include <string>
#include <utility>

#include "settings/settings.h"

namespace linepeek {

std::u16string replaceKey(int slotNumber) {
  std::u16string key = u"S";
  for (char c : std::to_string(slotNumber))
    key.push_back(static_cast<char16_t>(c));
  return key;
}

ReplacePair splitReplacePair(const std::u16string& value) {
  // Nothing is trimmed: blanks beside the "=" take part in the matching.
  const std::size_t split = value.find(u'=');
  if (split == std::u16string::npos) return ReplacePair{};
  return ReplacePair{value.substr(0, split), value.substr(split + 1)};
}

void loadReplacePairs(const std::u16string& path, Settings& target) {
  // A missing key gives "=", which splits into two empty texts: a slot that does nothing.
  for (int slot = 0; slot < ReplaceSlots; ++slot) {
    target.replaces[static_cast<std::size_t>(slot)] =
        splitReplacePair(readIniString(u"Replaces", replaceKey(slot + 1), u"=", path));
  }
}

void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to) {
  if (from.empty()) return;
  std::size_t found = text.find(from);
  if (found == std::u16string::npos) return;
  // Searching resumes right after each inserted `to`, so only the original text past the last
  // occurrence is ever searched: one left-to-right pass that copies, never an in-place rescan.
  std::u16string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  while (found != std::u16string::npos) {
    result.append(text, copied, found - copied);
    result.append(to);
    copied = found + from.size();
    found = text.find(from, copied);
  }
  result.append(text, copied, std::u16string::npos);
  text = std::move(result);
}

void applyReplacements(std::u16string& text, const std::array<ReplacePair, ReplaceSlots>& pairs) {
  for (const ReplacePair& pair : pairs)
    applyPair(text, pair.from, pair.to);
}

} // namespace linepeek
