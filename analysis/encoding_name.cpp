#include "analysis/encoding_name.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/encoding_name_testing.h"
#include "base/characters.h"

namespace linepeek {

namespace {

constexpr std::int64_t KilobyteBytes = 1024;

// The first min(L, sizeKB x 1,024) bytes; a size below 1 (never left by the loader) gives none.
std::string_view prefixOf(std::string_view sample, std::int32_t sizeKB) {
  const std::int64_t wanted = std::max<std::int64_t>(0, sizeKB * KilobyteBytes);
  const auto available = static_cast<std::int64_t>(sample.size());
  return sample.substr(0, static_cast<std::size_t>(std::min(wanted, available)));
}

// TAB, LF and CR are the only bytes below 0x20 that plain text holds.
bool isControlByte(unsigned byte) {
  return byte < 0x20 && byte != 0x09 && byte != Lf && byte != Cr;
}

// Box-drawing and block characters of the DOS code pages: 0xB0..0xDF and 0xFF. The letters that
// share 0xE0..0xFE in code page 866 stay out of the test.
bool isPseudoGraphic(unsigned byte) {
  return (byte >= 0xB0 && byte <= 0xDF) || byte == 0xFF;
}

bool isCyrillicLetter(unsigned byte, bool dosLetters) {
  if (dosLetters) return (byte >= 0x80 && byte <= 0xAF) || (byte >= 0xE0 && byte <= 0xF1);
  return byte >= 0xC0;
}

} // namespace

bool looksRtf(std::string_view sample) {
  return sample.substr(0, 5) == "{\\rtf";
}

bool looksBinary(std::string_view sample, const Settings& config) {
  const std::string_view prefix = prefixOf(sample, config.textBufferSizeKB);
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const unsigned byte = byteAt(prefix, i);
    if (isControlByte(byte) && config.binaryIgnore[byte] == 0) return true;
  }
  return false;
}

bool looksOemGraphics(std::string_view sample, const Settings& config) {
  const std::string_view prefix = prefixOf(sample, config.oemBufferSizeKB);
  std::array<std::int64_t, 128> counts{};
  std::int64_t highBytes = 0;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const unsigned byte = byteAt(prefix, i);
    if (byte >= 0x80) {
      ++counts[byte - 0x80];
      ++highBytes;
    }
  }
  if (highBytes == 0) return false;
  // Each value is judged alone against all high bytes; with a threshold of 0 a value that never
  // occurs already passes.
  for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
    if (config.oemIgnore[byte] != 0 || !isPseudoGraphic(byte)) continue;
    if (counts[byte - 0x80] * 100 / highBytes >= config.oemPercent) return true;
  }
  return false;
}

bool looksRussian(std::string_view sample, bool dosLetters, const Settings& config) {
  const std::string_view prefix = prefixOf(sample, config.rusBufferSizeKB);
  const auto examined = static_cast<std::int64_t>(prefix.size());
  if (examined < config.rusMinSize) return false;
  std::int64_t letters = 0;
  if (config.rusWordLen <= 0) {
    // Without the run rule only the number of letters matters: a plain count per letter class,
    // which the compiler turns into vector code.
    if (dosLetters) {
      for (std::size_t i = 0; i < prefix.size(); ++i)
        letters += isCyrillicLetter(byteAt(prefix, i), true) ? 1 : 0;
    } else {
      for (std::size_t i = 0; i < prefix.size(); ++i)
        letters += isCyrillicLetter(byteAt(prefix, i), false) ? 1 : 0;
    }
  } else {
    std::int64_t run = 0;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      if (isCyrillicLetter(byteAt(prefix, i), dosLetters)) {
        ++letters;
        if (++run >= config.rusWordLen) return true;
      } else {
        run = 0;
      }
    }
  }
  // The share is taken over every byte examined, not over the high bytes.
  if (examined <= 0) return false;
  return letters * 100 / examined >= config.rusPercent;
}

bool binaryFlag(AnalysisCache& cache, const Settings& config) {
  if (!cache.groups.isBinary) {
    // A file found to be UTF-8 or UTF-16 is text whatever control bytes it holds.
    cache.groups.isBinary = cache.fileSize != 0 && cache.kind == EncodingKind::Other &&
                            looksBinary(cache.headSample, config);
  }
  return *cache.groups.isBinary;
}

const char* encodingName(AnalysisCache& cache, const Settings& config) {
  if (cache.groups.encoding) return *cache.groups.encoding;
  const char* name = AnsiName;
  switch (cache.kind) {
  case EncodingKind::Utf8:
    name = cache.bomLength > 0 ? Utf8BomName : Utf8NoBomName;
    break;
  case EncodingKind::Utf16Le:
    name = Utf16LeName;
    break;
  case EncodingKind::Utf16Be:
    name = Utf16BeName;
    break;
  case EncodingKind::Other: {
    // RTF first, so an RTF file with control bytes is still named "RTF"; pseudo-graphics before
    // Cyrillic, and the Windows letters before the DOS ones.
    const std::string_view sample = cache.headSample;
    if (looksRtf(sample)) {
      name = RtfName;
      break;
    }
    if (binaryFlag(cache, config)) {
      name = BinaryName;
    } else if (config.oemEnabled && looksOemGraphics(sample, config)) {
      name = DosName;
    } else if (config.rusEnabled && looksRussian(sample, false, config)) {
      name = AnsiRuName;
    } else if (config.rusEnabled && looksRussian(sample, true, config)) {
      name = DosRuName;
    }
    break;
  }
  }
  cache.groups.encoding = name;
  return name;
}

const char* fileTypeName(AnalysisCache& cache, const Settings& config) {
  return binaryFlag(cache, config) ? BinaryName : TextName;
}

} // namespace linepeek
