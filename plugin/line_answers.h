// The answers of the thirteen line fields: pick a line while the file is open, then trim,
// decode, replace and copy it after the file is closed. Both phases run under the value lock.
#pragma once

#include <string_view>

#include "analysis/analysis_cache.h"
#include "plugin/catalogue.h"
#include "settings/settings.h"

namespace linepeek {

struct PickedLine {
  bool found = false;
  // 8-bit: UTF-8 when the file is Unicode, else the file's own bytes. A view of the cache's line
  // text, which nothing changes between the two phases.
  std::string_view text;
  // What the text decodes in: `charset` when it is set and the platform can decode it, else
  // `codePage`.
  int codePage = platform::AnsiCodePage;
  const Charset* charset = nullptr;
};

// The line that `field` (a HeadLine or TailLine row) names, from the head or tail group, which
// it computes first when the cache has not, and what it decodes in: UTF-8 when the file is
// Unicode, else by the unit: OEM for DosUnit, with the "Charset" field offered the file's charset
// for AutoUnit (charsetOf), ANSI for any other index.
PickedLine pickLine(AnalysisCache& cache, platform::FileHandle file, const Field& field,
                    int unitIndex, const Settings& config);

// Trims the line, decodes it as picked and applies the replacement pairs. Answers StringW
// with the text copied into `valueBuffer`, or FieldEmpty leaving it untouched.
// `maxLen` is the buffer's size in bytes, as hosts size it: the answer is at most maxLen / 2
// units with its zero, cut before a surrogate pair that does not fit whole. A buffer too small
// for the zero answers FieldEmpty.
// A long line is decoded and replaced piece by piece, and only as far as the kept units of the
// answer need: its memory does not grow with the line.
int finishLine(const PickedLine& picked, void* valueBuffer, int maxLen, const Settings& config);

} // namespace linepeek
