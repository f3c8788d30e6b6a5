// Line extraction against plain references: windowText, splitHead and splitTail on the payload,
// then headLines and tailLines over the payload as a file with small windows, so that both
// passes, the edge rules and odd window starts are reached with short inputs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_cache.h"
#include "analysis/line_extraction_testing.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/lines.h"
#include "tests/reference/unicode.h"
#include "tests/support/fake_files.h"

namespace {

namespace ref = linepeek::reference;
using linepeek::fuzz::Input;

using linepeek::fuzz::KindChoice;
constexpr const auto& Kinds = linepeek::fuzz::DetectableKinds;

std::string describe(const std::vector<std::string>& lines) {
  std::string text = std::to_string(lines.size()) + " lines:";
  for (const std::string& line : lines)
    text += " '" + linepeek::fuzz::show(line) + "'";
  return text;
}

template <std::size_t N>
std::vector<std::string> slots(const std::array<std::string_view, N>& cacheSlots,
                               std::int32_t count) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < count && i < static_cast<std::int32_t>(N); ++i)
    lines.emplace_back(cacheSlots[static_cast<std::size_t>(i)]);
  return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const KindChoice choice = Kinds[input.pick(std::size(Kinds))];
  const std::uint8_t flags = input.byte();
  const bool skipEmpty = (flags & 1) != 0;
  const bool headEdge = (flags & 2) != 0;
  const bool tailEdge = (flags & 4) != 0;
  const bool bigEndian = (flags & 8) != 0;
  const auto offset = static_cast<std::int32_t>((flags >> 4) % 4);
  const std::int32_t first = 1 + static_cast<std::int32_t>(input.byte() % 64);
  const std::int32_t wide = first * (1 + static_cast<std::int32_t>(input.byte() % 8));
  const std::string_view payload = input.rest();
  const auto fail = [&](const std::string& what) { linepeek::fuzz::fail(data, size, what); };
  const auto kind = static_cast<linepeek::EncodingKind>(choice.kind);

  if (linepeek::isBlankLine(payload) != ref::isBlankLine(payload)) fail("isBlankLine");
  std::string decoded;
  const auto wideKind =
      bigEndian ? linepeek::EncodingKind::Utf16Be : linepeek::EncodingKind::Utf16Le;
  if (linepeek::windowText(payload, wideKind, offset, decoded) !=
      ref::utf16ToUtf8(payload, bigEndian, offset))
    fail("windowText of UTF-16, offset " + std::to_string(offset));
  const std::string_view text = linepeek::windowText(payload, kind, choice.bomLength, decoded);
  if (text != ref::decodeWindow(payload, choice.kind, choice.bomLength)) fail("windowText");

  // Slots hold leftovers from an earlier file: only those below the count may be read.
  linepeek::HeadLines heads;
  linepeek::TailLines tails;
  heads.slots.fill("stale");
  tails.slots.fill("stale");
  tails.count = 2;
  linepeek::splitHead(heads, text, headEdge, skipEmpty);
  const std::vector<std::string> head = ref::headLines(text, headEdge, skipEmpty, 10);
  if (slots(heads.slots, heads.count) != head)
    fail("splitHead gave " + describe(slots(heads.slots, heads.count)) + ", expected " +
         describe(head));
  linepeek::splitTail(tails, text, tailEdge, skipEmpty);
  const std::vector<std::string> tail = ref::tailLines(text, tailEdge, skipEmpty, 3);
  if (slots(tails.slots, tails.count) != tail)
    fail("splitTail gave " + describe(slots(tails.slots, tails.count)) + ", expected " +
         describe(tail));

  // The payload as a whole file; an empty file is preset by the cache and never split.
  if (payload.empty()) return 0;
  linepeek::fake::reset();
  linepeek::fake::putFile(u"window", std::string(payload));
  const linepeek::FileOwner file(linepeek::platform::openFile(u"window"));
  linepeek::AnalysisCache fileCache;
  fileCache.valid = true;
  fileCache.fileSize = static_cast<std::int64_t>(payload.size());
  fileCache.kind = kind;
  fileCache.bomLength = choice.bomLength;
  fileCache.headSample = std::string(payload.substr(0, static_cast<std::size_t>(first)));
  linepeek::Settings config;
  linepeek::loadDefaults(config);
  config.skipEmpty = skipEmpty;
  const linepeek::LineWindows windows{first, wide};
  const linepeek::TailLines& fileTails =
      linepeek::tailLines(fileCache, file.get(), config, windows);
  const linepeek::HeadLines& fileHeads =
      linepeek::headLines(fileCache, file.get(), config, windows);
  const std::vector<std::string> fileHead =
      ref::headGroup(payload, choice.kind, choice.bomLength, skipEmpty, first, wide);
  const std::vector<std::string> fileTail =
      ref::tailGroup(payload, choice.kind, choice.bomLength, skipEmpty, first, wide);
  if (slots(fileHeads.slots, fileHeads.count) != fileHead)
    fail("headLines gave " + describe(slots(fileHeads.slots, fileHeads.count)) + ", expected " +
         describe(fileHead));
  if (slots(fileTails.slots, fileTails.count) != fileTail)
    fail("tailLines gave " + describe(slots(fileTails.slots, fileTails.count)) + ", expected " +
         describe(fileTail));
  return 0;
}
