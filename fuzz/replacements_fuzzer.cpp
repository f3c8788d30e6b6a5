// applyReplacements with up to twenty pairs taken from the input, against a plain left-to-right
// scan, at the product's limit and at a small one that the pairs reach; and splitReplacePair on
// the payload read as a settings value.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "plugin/replace_stream_testing.h"
#include "settings/settings.h"
#include "settings/settings_check.h"
#include "tests/reference/replacements.h"

namespace {

using linepeek::fuzz::Input;

// Mostly a three-letter alphabet, so that pairs match often and overlap; now and then a unit
// from all over the UTF-16 range, surrogates and zero included.
char16_t unitFrom(std::uint8_t b) {
  if (b < 224) return static_cast<char16_t>(u'a' + b % 3);
  if (b < 240) return static_cast<char16_t>(0xD800 + (b - 224) * 0x80);
  return static_cast<char16_t>((b - 240) * 0x1111);
}

std::u16string textFrom(Input& input, std::size_t length) {
  std::u16string text;
  for (std::size_t i = 0; i < length; ++i)
    text.push_back(unitFrom(input.byte()));
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  std::array<linepeek::ReplacePair, linepeek::ReplaceSlots> pairs{};
  const std::size_t used = input.pick(linepeek::ReplaceSlots + 1);
  const std::size_t smallLimit = 1 + input.pick(64);
  for (std::size_t slot = 0; slot < used; ++slot) {
    const std::uint8_t lengths = input.byte();
    pairs[slot].from = textFrom(input, lengths % 5);
    pairs[slot].to = textFrom(input, (lengths / 5) % 6);
  }
  const std::string_view payload = input.rest();
  std::u16string original;
  for (char c : payload)
    original.push_back(unitFrom(static_cast<std::uint8_t>(c)));

  // Every result cut at the small limit, each pair seeing the cut result of the one before.
  std::u16string cutExpected = original;
  for (const linepeek::ReplacePair& pair : pairs)
    linepeek::reference::applyPair(cutExpected, pair.from, pair.to, smallLimit);
  std::u16string cut = original;
  linepeek::applyReplacements(cut, pairs, smallLimit);
  if (cut != cutExpected) {
    linepeek::fuzz::fail(data, size,
                         "applyReplacements cut at " + std::to_string(smallLimit) + " gave '" +
                             linepeek::fuzz::show(cut) + "', expected '" +
                             linepeek::fuzz::show(cutExpected) + "'");
  }

  // Pair by pair, so a mismatch names the slot. Twenty growing pairs could make the text grow
  // five-fold each; past MaxUnits the input has nothing more to tell.
  constexpr std::size_t MaxUnits = 1 << 16;
  std::u16string expected = original;
  std::u16string stepwise = original;
  for (std::size_t slot = 0; slot < pairs.size(); ++slot) {
    if (expected.size() > MaxUnits) return 0;
    linepeek::reference::applyPair(expected, pairs[slot].from, pairs[slot].to);
    linepeek::applyPair(stepwise, pairs[slot].from, pairs[slot].to);
    if (stepwise != expected) {
      linepeek::fuzz::fail(data, size,
                           "applyPair slot " + std::to_string(slot + 1) + " from '" +
                               linepeek::fuzz::show(pairs[slot].from) + "' to '" +
                               linepeek::fuzz::show(pairs[slot].to) + "': got '" +
                               linepeek::fuzz::show(stepwise) + "', expected '" +
                               linepeek::fuzz::show(expected) + "'");
    }
  }
  if (expected.size() > MaxUnits) return 0;
  std::u16string whole = original;
  linepeek::applyReplacements(whole, pairs);
  if (whole != expected) {
    linepeek::fuzz::fail(data, size,
                         "applyReplacements gave '" + linepeek::fuzz::show(whole) +
                             "', expected '" + linepeek::fuzz::show(expected) + "'");
  }

  // The same payload as the raw value of a key Sn: split at the first "=", or nothing at all.
  const std::u16string value = linepeek::fuzz::widenBytes(payload);
  const linepeek::ReplacePair split = linepeek::splitReplacePair(value);
  const auto [from, to] = linepeek::reference::splitPair(value);
  if (split.from != from || split.to != to) {
    linepeek::fuzz::fail(data, size,
                         "splitReplacePair gave '" + linepeek::fuzz::show(split.from) + "' / '" +
                             linepeek::fuzz::show(split.to) + "'");
  }
  return 0;
}
