#include "analysis/charset.h"

#include <cstring>
#include <memory>
#include <type_traits>

#include <uchardet.h>

#include "analysis/analysis_cache.h"
#include "analysis/encoding_name.h"

namespace linepeek {
namespace {

using Detector = std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)>;

const Charset* detectorSpelling(const char* detectorName) {
  for (const Charset& charset : Charsets) {
    if (charset.detector != nullptr && std::strcmp(charset.detector, detectorName) == 0)
      return &charset;
  }
  return nullptr;
}

// The forms of the module's own detection, which lead the table.
constexpr const Charset* Utf16Le = &Charsets[0];
constexpr const Charset* Utf16Be = &Charsets[1];
constexpr const Charset* Utf8 = &Charsets[2];
static_assert(std::string_view(Charsets[0].name) == "UTF-16LE" &&
              std::string_view(Charsets[1].name) == "UTF-16BE" &&
              std::string_view(Charsets[2].name) == "UTF-8");

} // namespace

const Charset* detectCharset(std::string_view sample) {
  // The detector allocates its probers with new, so a failure throws through it; the owner
  // releases what it holds.
  const Detector detector(uchardet_new(), &uchardet_delete);
  if (!detector) return nullptr;
  // A non-zero answer is the detector's own report of a failed allocation: no verdict.
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return nullptr;
  uchardet_data_end(detector.get());
  return detectorSpelling(uchardet_get_charset(detector.get()));
}

const Charset* charsetOf(AnalysisCache& cache, const Settings& config) {
  if (cache.charsetDone) return cache.charset;
  const Charset* charset = nullptr;
  switch (cache.kind) {
  case EncodingKind::Utf8:
    charset = Utf8;
    break;
  case EncodingKind::Utf16Le:
    charset = Utf16Le;
    break;
  case EncodingKind::Utf16Be:
    charset = Utf16Be;
    break;
  case EncodingKind::Other:
    if (!binaryFlag(cache, config)) charset = detectCharset(cache.headSample);
    break;
  }
  cache.charset = charset;
  cache.charsetDone = true;
  return charset;
}

const char* charsetName(AnalysisCache& cache, const Settings& config) {
  const Charset* charset = charsetOf(cache, config);
  return charset != nullptr ? charset->name : nullptr;
}

} // namespace linepeek
