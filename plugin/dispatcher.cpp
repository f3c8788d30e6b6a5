#include "plugin/dispatcher.h"

#include <cstring>
#include <string>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "analysis/charset.h"
#include "analysis/encoding_name.h"
#include "analysis/line_counter.h"
#include "analysis/line_endings.h"
#include "base/ascii.h"
#include "platform/platform.h"
#include "plugin/catalogue.h"
#include "plugin/dispatcher_testing.h"
#include "plugin/line_answers.h"
#include "settings/settings.h"

namespace linepeek {
namespace {

bool isSeparator(char16_t unit) {
  return unit == u'\\' || unit == u'/';
}

// The lower-cased extension of a name without its dot; empty when the name has none.
std::u16string extensionTerm(const std::u16string& fileName) {
  std::size_t i = fileName.size();
  while (i > 0) {
    const char16_t unit = fileName[i - 1];
    if (unit == u'.' || unit == u':' || isSeparator(unit)) break;
    --i;
  }
  if (i == 0) return std::u16string();
  const std::size_t dot = i - 1;
  // A leading dot (".profile", "dir\.profile") starts a name, not an extension.
  if (fileName[dot] != u'.' || dot == 0 || isSeparator(fileName[dot - 1])) return std::u16string();
  return asciiLowered(std::u16string_view(fileName).substr(dot + 1));
}

bool isLineRole(FieldRole role) {
  return role == FieldRole::HeadLine || role == FieldRole::TailLine;
}

// The fields that read the file's lines obey the extension list. The ones that describe the entry
// itself do not; they answer for folders and missing entries without opening anything.
bool obeysExtensionList(FieldRole role) {
  switch (role) {
  case FieldRole::HeadLine:
  case FieldRole::TailLine:
  case FieldRole::LineCount:
    return true;
  case FieldRole::Encoding:
  case FieldRole::Type:
  case FieldRole::LineEndings:
  case FieldRole::Charset:
    return false;
  }
  return false;
}

// An 8-bit answer, cut to the buffer's `maxLen` bytes; FieldEmpty when there is no text or not
// even the zero fits, so that the host never shows what its buffer held before as the answer.
int answerChoice(void* valueBuffer, const char* text, int maxLen) {
  if (text == nullptr || valueBuffer == nullptr || maxLen < 1) return FieldEmpty;
  platform::copyBounded8(static_cast<char*>(valueBuffer), text, maxLen);
  return MultipleChoice;
}

// An ASCII answer as UTF-16 text, cut as the line answers are: at most maxLen / 2 units with the
// zero, FieldEmpty when there is no text or no room for the zero.
int answerAsciiText(void* valueBuffer, const char* text, int maxLen) {
  const int units = maxLen / 2;
  if (text == nullptr || valueBuffer == nullptr || units < 1) return FieldEmpty;
  const std::u16string wide(text, text + std::strlen(text));
  platform::copyBounded16(static_cast<char16_t*>(valueBuffer), wide.c_str(), units);
  return StringW;
}

// Whether answering a field of `role` for the cached file must read it: a line or count group not
// yet computed, of a file that the head sample does not hold whole. Every other group comes
// from the head sample.
bool needsFile(const AnalysisCache& cache, FieldRole role) {
  if (holdsWholeFile(cache)) return false;
  switch (role) {
  case FieldRole::HeadLine:
    return !cache.groups.head;
  case FieldRole::TailLine:
    return !cache.groups.tail;
  case FieldRole::LineCount:
    return !cache.groups.lineTotal;
  case FieldRole::Encoding:
  case FieldRole::Type:
  case FieldRole::LineEndings:
  case FieldRole::Charset:
    return false;
  }
  return true;
}

// Runs with the value lock held, and the file open when needsFile says so.
int answerField(platform::FileHandle file, const Field& field, int unitIndex, void* valueBuffer,
                int maxLen, PickedLine& picked) {
  if (valueBuffer == nullptr && !isLineRole(field.role)) return FieldEmpty;
  switch (field.role) {
  case FieldRole::HeadLine:
  case FieldRole::TailLine:
    picked = pickLine(analysisCache, file, field, unitIndex, settings);
    return FieldEmpty; // the finish phase decides, after the file is closed
  case FieldRole::LineCount: {
    const std::int64_t total = lineCount(analysisCache, file, settings);
    std::memcpy(valueBuffer, &total, sizeof total);
    return Numeric64;
  }
  case FieldRole::Encoding:
    return answerChoice(valueBuffer, encodingName(analysisCache, settings), maxLen);
  case FieldRole::Type:
    return answerChoice(valueBuffer, fileTypeName(analysisCache, settings), maxLen);
  case FieldRole::LineEndings:
    return answerChoice(valueBuffer, lineEndingsName(analysisCache, settings), maxLen);
  case FieldRole::Charset:
    return answerAsciiText(valueBuffer, charsetName(analysisCache, settings), maxLen);
  }
  return FieldEmpty;
}

} // namespace

bool passesExtensionFilter(const std::u16string& fileName, const std::u16string& extensions) {
  if (extensions.empty()) return true;
  // A name without an extension searches for two spaces, which only a list holding two spaces
  // in a row contains.
  const std::u16string needle = u" " + extensionTerm(fileName) + u" ";
  const std::u16string haystack = u" " + extensions + u" ";
  return haystack.find(needle) != std::u16string::npos;
}

int answerRequest(const char16_t* fileName, int fieldIndex, int unitIndex, void* valueBuffer,
                  int maxLen) {
  const Field* field = fieldAt(fieldIndex, settings);
  if (field == nullptr) return NoSuchField;
  const std::u16string name = fileName != nullptr ? fileName : u"";

  // Cheap checks first, without the lock: they never touch the cache. The folder test is the
  // request's one metadata query by name.
  const bool folderTest = !obeysExtensionList(field->role);
  platform::EntryStatus entry;
  if (!folderTest) {
    if (!passesExtensionFilter(name, settings.extensions)) return FileError;
  } else {
    entry = platform::queryEntry(name.c_str());
    switch (entry.kind) {
    case platform::EntryKind::Missing:
      return FileError;
    case platform::EntryKind::Directory:
      if (field->role != FieldRole::Type) return FieldEmpty;
      return answerChoice(valueBuffer, FolderName, maxLen);
    case platform::EntryKind::File:
      break;
    }
  }

  ValueLockHolder held;
  PickedLine picked;
  int answer = FieldEmpty;
  try {
    // The file the cache describes is checked by name, and answered without an open while it is
    // unchanged and nothing the field needs is left to read: on a network share an open costs
    // round trips that a metadata query, often cached by the client, does not.
    const bool isCachedName = analysisCache.valid && analysisCache.fileName == name;
    if (isCachedName && !folderTest) entry = platform::queryEntry(name.c_str());
    if (isCachedName && entry.kind == platform::EntryKind::File &&
        describes(analysisCache, name, entry.size, entry.writeTime) &&
        !needsFile(analysisCache, field->role)) {
      answer = answerField(platform::InvalidFile, *field, unitIndex, valueBuffer, maxLen, picked);
    } else {
      FileOwner file(platform::openFile(name.c_str()));
      if (!file.isOpen()) {
        analysisCache.valid = false;
        return FieldEmpty;
      }
      refreshCache(analysisCache, file.get(), name, file.size(), file.writeTime(), settings);
      answer = answerField(file.get(), *field, unitIndex, valueBuffer, maxLen, picked);
    }
  } catch (...) {
    // A producer that failed half-way may have left its group inconsistent: start afresh.
    analysisCache.valid = false;
    throw;
  }
  if (isLineRole(field->role)) {
    answer = finishLine(picked, valueBuffer, maxLen, settings);
  }
  return answer;
}

} // namespace linepeek
