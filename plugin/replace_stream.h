// Plain-text replacements applied to the line fields' UTF-16 text: the pairs of the settings,
// slot 1 first, over a text that arrives in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/bounds.h"

namespace linepeek {

// The most UTF-16 code units a pair leaves: the longest line the module takes from a file. A
// longer result is cut there before the next pair sees it. No line answer comes near it; it
// keeps pairs that each lengthen the text from growing it without end.
inline constexpr std::size_t ReplaceLimitUnits = static_cast<std::size_t>(WideWindow);

// The pairs of applyReplacements over a text that arrives in pieces, keeping the first
// `keepUnits` units of the result. Each pair passes its output on as soon as no later unit can
// change it (it holds back at most the length of its `from`) and stops at `limitUnits`, so the
// memory used does not depend on the length of the text, the work is linear in what each pair
// reads and writes, and everything stops once the kept units are known.
class ReplaceStream {
public:
  explicit ReplaceStream(std::size_t keepUnits, std::size_t limitUnits = ReplaceLimitUnits);
  ReplaceStream(const ReplaceStream&) = delete;
  ReplaceStream& operator=(const ReplaceStream&) = delete;

  // Adds the next pair; an empty `from` adds nothing. The texts must outlive the stream, and
  // every pair comes before the first piece.
  void addPair(std::u16string_view from, std::u16string_view to);
  // The next piece of the text. False once the kept units are known: later pieces change
  // nothing and need not be fed.
  bool feed(std::u16string_view piece);
  // The end of the text: passes on what the pairs held back as the possible start of a match.
  void finish();
  // The first keepUnits units of the result, or all of it when it is shorter.
  const std::u16string& kept() const { return kept_; }

private:
  struct Stage {
    std::u16string_view from;
    std::u16string_view to;
    // borders[k]: the length of the longest proper prefix of from[0, k] that is also its suffix.
    std::unique_ptr<std::uint32_t[]> borders;
    std::size_t matched = 0;  // units held back: they equal from[0, matched)
    std::size_t produced = 0; // units passed on so far, at most limitUnits
    bool done = false;        // nothing this pair could still pass on matters
    std::u16string out;       // output not yet passed on
  };

  bool pass(std::size_t stage, std::u16string_view units);
  bool run(std::size_t index, std::u16string_view units);
  void emit(std::size_t index, std::u16string_view units);
  void flush(std::size_t index);

  std::vector<Stage> stages_;
  std::u16string kept_;
  std::size_t keepUnits_;
  std::size_t limitUnits_;
};

} // namespace linepeek
