#include "settings/replace_pairs.h"

#include <cstddef>
#include <string>

#include "settings/key_table.h"
#include "settings/settings.h"
#include "settings/settings_check.h"

namespace linepeek {

std::u16string replaceKey(int slotNumber) {
  return std::u16string(ReplaceKeyPrefix) + decimalText(slotNumber);
}

ReplacePair splitReplacePair(const std::u16string& value, bool* hasEquals) {
  // Nothing is trimmed: blanks beside the "=" take part in the matching.
  const std::size_t split = value.find(u'=');
  if (hasEquals != nullptr) *hasEquals = split != std::u16string::npos;
  if (split == std::u16string::npos) return ReplacePair{};
  return ReplacePair{value.substr(0, split), value.substr(split + 1)};
}

void loadReplacePairs(const std::u16string& path, Settings& target) {
  // A missing key gives "=", which splits into two empty texts: a slot that does nothing.
  for (int slot = 0; slot < ReplaceSlots; ++slot) {
    target.replaces[static_cast<std::size_t>(slot)] =
        splitReplacePair(readIniString(std::u16string(ReplaceSection), replaceKey(slot + 1),
                                       std::u16string(ReplaceDefault), path));
  }
}

} // namespace linepeek
