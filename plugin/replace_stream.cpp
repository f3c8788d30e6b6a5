#include "plugin/replace_stream.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "plugin/replace_stream_testing.h"

namespace linepeek {

namespace {

// A pair passes its output on in blocks of this many units: long enough to make the passing
// cheap, short enough that twenty pairs hold little.
constexpr std::size_t OutUnits = 4096;

} // namespace

ReplaceStream::ReplaceStream(std::size_t keepUnits, std::size_t limitUnits)
    : keepUnits_(keepUnits), limitUnits_(limitUnits) {}

void ReplaceStream::addPair(std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return;
  Stage stage;
  stage.from = from;
  stage.to = to;
  stage.borders.reset(new std::uint32_t[from.size()]);
  stage.borders[0] = 0;
  std::size_t border = 0;
  for (std::size_t k = 1; k < from.size(); ++k) {
    while (border > 0 && from[k] != from[border])
      border = stage.borders[border - 1];
    if (from[k] == from[border]) ++border;
    stage.borders[k] = static_cast<std::uint32_t>(border);
  }
  stages_.push_back(std::move(stage));
}

bool ReplaceStream::feed(std::u16string_view piece) {
  return pass(0, piece);
}

void ReplaceStream::finish() {
  for (std::size_t index = 0; index < stages_.size(); ++index) {
    Stage& stage = stages_[index];
    if (!stage.done) emit(index, stage.from.substr(0, stage.matched));
    stage.matched = 0;
    flush(index);
  }
}

// Hands `units` to pair `stage`, or to the kept result after the last pair. False once that
// receiver wants nothing more.
bool ReplaceStream::pass(std::size_t stage, std::u16string_view units) {
  if (stage < stages_.size()) return run(stage, units);
  const std::size_t room = keepUnits_ - kept_.size();
  kept_.append(units.data(), std::min(room, units.size()));
  return kept_.size() < keepUnits_;
}

// One pair over the next units of its input, matching by Knuth-Morris-Pratt so that each unit
// is looked at a bounded number of times however `from` overlaps itself. After a match the
// search starts afresh behind it: inserted text is never searched.
bool ReplaceStream::run(std::size_t index, std::u16string_view units) {
  Stage& stage = stages_[index];
  const std::u16string_view from = stage.from;
  std::size_t i = 0;
  while (i < units.size() && !stage.done) {
    if (stage.matched == 0) {
      // Units up to the next one that could start a match go on as they are.
      const std::size_t next = std::min(units.find(from[0], i), units.size());
      if (next > i) {
        emit(index, units.substr(i, next - i));
        i = next;
        continue;
      }
    }
    const char16_t unit = units[i++];
    while (stage.matched > 0 && from[stage.matched] != unit) {
      // The held units no longer lead to a match, but for their longest border: pass the rest.
      const std::size_t border = stage.borders[stage.matched - 1];
      emit(index, from.substr(0, stage.matched - border));
      stage.matched = border;
    }
    if (from[stage.matched] != unit) {
      emit(index, std::u16string_view(&unit, 1));
    } else if (++stage.matched == from.size()) {
      stage.matched = 0;
      emit(index, stage.to);
    }
  }
  return !stage.done;
}

// Output of pair `index`, cut at the limit; passed on in blocks.
void ReplaceStream::emit(std::size_t index, std::u16string_view units) {
  Stage& stage = stages_[index];
  while (!units.empty() && !stage.done) {
    if (stage.out.capacity() < OutUnits) stage.out.reserve(OutUnits);
    const std::size_t room = std::min(OutUnits - stage.out.size(), limitUnits_ - stage.produced);
    const std::size_t count = std::min(room, units.size());
    stage.out.append(units.data(), count);
    stage.produced += count;
    units.remove_prefix(count);
    if (stage.produced == limitUnits_) {
      // The cut: whatever this pair would still produce is never seen.
      flush(index);
      stage.done = true;
    } else if (stage.out.size() == OutUnits) {
      flush(index);
    }
  }
}

void ReplaceStream::flush(std::size_t index) {
  Stage& stage = stages_[index];
  if (stage.out.empty()) return;
  if (!pass(index + 1, stage.out)) stage.done = true;
  stage.out.clear();
}

void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to,
               std::size_t limitUnits) {
  if (from.empty()) return;
  ReplaceStream stream(std::u16string::npos, limitUnits);
  stream.addPair(from, to);
  stream.feed(text);
  stream.finish();
  text = stream.kept();
}

void applyReplacements(std::u16string& text, const std::array<ReplacePair, ReplaceSlots>& pairs,
                       std::size_t limitUnits) {
  ReplaceStream stream(std::u16string::npos, limitUnits);
  for (const ReplacePair& pair : pairs)
    stream.addPair(pair.from, pair.to);
  stream.feed(text);
  stream.finish();
  text = stream.kept();
}

} // namespace linepeek
