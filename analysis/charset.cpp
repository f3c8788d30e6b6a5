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

const char* ianaSpelling(const char* detectorName) {
  for (const CharsetSpelling& spelling : DetectorSpellings) {
    if (std::strcmp(spelling.detector, detectorName) == 0) return spelling.iana;
  }
  return nullptr;
}

} // namespace

const char* detectCharset(std::string_view sample) {
  // The detector allocates its probers with new, so a failure throws through it; the owner
  // releases what it holds.
  const Detector detector(uchardet_new(), &uchardet_delete);
  if (!detector) return nullptr;
  // A non-zero answer is the detector's own report of a failed allocation: no verdict.
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return nullptr;
  uchardet_data_end(detector.get());
  return ianaSpelling(uchardet_get_charset(detector.get()));
}

const char* charsetName(AnalysisCache& cache, const Settings& config) {
  if (cache.charsetDone) return cache.charsetText;
  const char* name = nullptr;
  switch (cache.kind) {
  case EncodingKind::Utf8:
    name = Utf8Charset;
    break;
  case EncodingKind::Utf16Le:
    name = Utf16LeCharset;
    break;
  case EncodingKind::Utf16Be:
    name = Utf16BeCharset;
    break;
  case EncodingKind::Other:
    if (!binaryFlag(cache, config)) name = detectCharset(cache.headSample);
    break;
  }
  cache.charsetText = name;
  cache.charsetDone = true;
  return name;
}

} // namespace linepeek
