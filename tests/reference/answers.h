// What a request answers for each field of a file, the opt-in "Line endings" and "Charset"
// included, written for clarity rather than speed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/reference/encoding.h"
#include "tests/reference/line_endings.h"
#include "tests/reference/lines.h"
#include "tests/reference/replacements.h"
#include "tests/reference/unicode.h"

namespace linepeek::reference {

// The host's result codes.
enum : int { FieldEmpty = -3, FileError = -2, Numeric64 = 2, MultipleChoice = 7, StringW = 11 };
enum : int { NoSuchField = -1, NoMoreFields = 0 };

// The catalogue: "1" to "10", "-3" to "-1", "Line count", "Encoding", "Type", then "Line endings"
// and "Charset" in that order where the settings offer them; the indices after the last field
// name no field.
inline constexpr int FieldCount = 18;
inline constexpr int LineCountField = 13;
inline constexpr int EncodingField = 14;
inline constexpr int TypeField = 15;
inline constexpr int LineEndingsField = 16;

// The head sample, and the wide window of the second passes.
inline constexpr std::int64_t HeadWindow = 65536;
inline constexpr std::int64_t WideWindow = 4194304;

struct RequestSettings {
  int utf8BufferSizeKB = 64;
  bool skipEmpty = false;
  bool lineEndings = false;
  bool charset = false;
  NamingSettings naming;
  std::vector<std::pair<std::u16string, std::u16string>> pairs; // slot order
};

struct Answer {
  int code = FieldEmpty;
  // False when the text depends on the machine's code pages (an 8-bit line beyond ASCII) or is
  // the charset detector's verdict: the field then answers `code` with some text, or
  // FieldEmpty when the conversion or the detector gives nothing.
  bool exact = true;
  std::u16string text; // StringW: up to its first zero; MultipleChoice: the choice
  std::int64_t number = 0;
};

// A line field: the line without bytes below 33 at either end, as UTF-16 (ASCII as it is, a
// Unicode file's lines as UTF-8), each pair applied in turn; nothing when that leaves no text.
inline Answer lineAnswer(std::string_view line, bool isUnicode, const RequestSettings& config) {
  Answer answer;
  while (!line.empty() && byteAt(line, 0) < 33)
    line.remove_prefix(1);
  while (!line.empty() && byteAt(line, line.size() - 1) < 33)
    line.remove_suffix(1);
  if (line.empty()) return answer;
  std::u16string units;
  bool ascii = true;
  for (std::size_t i = 0; i < line.size(); ++i)
    ascii = ascii && byteAt(line, i) < 0x80;
  if (ascii) {
    for (std::size_t i = 0; i < line.size(); ++i)
      units.push_back(static_cast<char16_t>(byteAt(line, i)));
  } else if (!isUnicode || !utf8ToUnits(line, units)) {
    answer.exact = false;
    answer.code = StringW;
    return answer;
  }
  for (const auto& [from, to] : config.pairs)
    applyPair(units, from, to);
  if (units.empty()) return answer;
  answer.code = StringW;
  answer.text = units.substr(0, units.find(u'\0'));
  return answer;
}

// What a host sees of `answer` in a buffer of `maxLen` bytes: a line cut to maxLen / 2 - 1 units,
// never between the halves of a pair, a choice cut to maxLen - 1 bytes, and no answer at all
// when the buffer cannot hold the zero. The count takes its 8 bytes whatever the size.
inline Answer inBuffer(Answer answer, int maxLen) {
  if (answer.code == StringW) {
    if (maxLen < 2) return Answer{};
    auto keep = static_cast<std::size_t>(maxLen / 2 - 1);
    if (keep < answer.text.size() && keep > 0 && answer.text[keep - 1] >= 0xD800 &&
        answer.text[keep - 1] <= 0xDBFF && answer.text[keep] >= 0xDC00 &&
        answer.text[keep] <= 0xDFFF) {
      --keep;
    }
    answer.text = answer.text.substr(0, keep);
  } else if (answer.code == MultipleChoice) {
    if (maxLen < 1) return Answer{};
    answer.text = answer.text.substr(0, static_cast<std::size_t>(maxLen - 1));
  }
  return answer;
}

enum class Entry { File, Folder, Missing };

// Every field of the entry. `filtered`: the name is not in a set Extensions list, which refuses
// the line and count fields before anything is opened.
inline std::array<Answer, FieldCount> answers(std::string_view file, Entry entry, bool filtered,
                                              const RequestSettings& config) {
  std::array<Answer, FieldCount> all{};
  const std::string_view sample = file.substr(0, static_cast<std::size_t>(HeadWindow));
  int bomLength = 0;
  const int kind = detectEncoding(sample, bomLength, config.utf8BufferSizeKB);
  const auto fileSize = static_cast<std::int64_t>(file.size());
  std::vector<std::string> head;
  std::vector<std::string> tail;
  if (entry == Entry::File && !filtered) {
    head = headGroup(file, kind, bomLength, config.skipEmpty, HeadWindow, WideWindow);
    tail = tailGroup(file, kind, bomLength, config.skipEmpty, HeadWindow, WideWindow);
  }
  // Head and tail often hold the same line, and a line's pairs may take a while.
  std::map<std::string, Answer> known;
  const auto lineField = [&](const std::string& line) {
    const auto found = known.find(line);
    if (found != known.end()) return found->second;
    return known[line] = lineAnswer(line, kind != KindOther, config);
  };
  const int charsetField = config.lineEndings ? LineEndingsField + 1 : LineEndingsField;
  for (int field = 0; field < FieldCount; ++field) {
    Answer& answer = all[static_cast<std::size_t>(field)];
    const bool isLineEndings = field == LineEndingsField && config.lineEndings;
    const bool isCharset = field == charsetField && config.charset;
    if (field <= LineCountField) {
      if (filtered) {
        answer.code = FileError;
      } else if (entry != Entry::File) {
        answer.code = FieldEmpty;
      } else if (field < 10) {
        const auto slot = static_cast<std::size_t>(field);
        if (slot < head.size()) answer = lineField(head[slot]);
      } else if (field < LineCountField) {
        const auto back = static_cast<std::size_t>(LineCountField - field);
        if (tail.size() >= back) answer = lineField(tail[tail.size() - back]);
      } else {
        answer.code = Numeric64;
        answer.number = countLines(file, kind, bomLength, config.skipEmpty);
      }
    } else if (field > TypeField && !isLineEndings && !isCharset) {
      answer.code = NoSuchField;
    } else if (entry == Entry::Missing) {
      answer.code = FileError;
    } else if (entry == Entry::Folder) {
      answer.code = field == TypeField ? MultipleChoice : FieldEmpty;
      answer.text = u"Folder";
    } else if (field > TypeField && binaryFlag(sample, fileSize, kind, config.naming)) {
      answer.code = FieldEmpty;
    } else if (isCharset && kind == KindOther) {
      // The detector's verdict on the head sample, which this reference does not compute.
      answer.code = StringW;
      answer.exact = false;
    } else {
      std::string text;
      if (field == EncodingField) {
        text = encodingName(sample, fileSize, kind, bomLength, config.naming);
      } else if (field == TypeField) {
        text = binaryFlag(sample, fileSize, kind, config.naming) ? "Binary" : "Text";
      } else if (isCharset) {
        text = kind == KindUtf8 ? "UTF-8" : kind == KindUtf16Le ? "UTF-16LE" : "UTF-16BE";
      } else {
        text = lineEndings(sample, kind, bomLength, fileSize <= HeadWindow);
      }
      answer.code = isCharset ? StringW : MultipleChoice;
      answer.text = std::u16string(text.begin(), text.end());
    }
  }
  return all;
}

} // namespace linepeek::reference
