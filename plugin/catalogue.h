// The fields the module offers, one row each, and the codes it answers the host with.
#pragma once

#include <array>
#include <cstdint>

#include "base/host_codes.h"
#include "settings/settings.h"

namespace linepeek {

using FieldId = std::int32_t;

// A failure inside a request that has no code of its own (memory exhaustion): the field simply
// shows no value.
inline constexpr int FailureAnswer = FieldEmpty;

// The units of the line fields, by the index that a request names them with. "auto", the
// file's own charset, is offered only with the "Charset" field; without it index 2 is "win".
enum LineUnit : int { WinUnit = 0, DosUnit = 1, AutoUnit = 2 };
inline constexpr std::array<const char*, 3> LineUnitNames = {"win", "dos", "auto"};

// What "Type" answers for a folder, before any file is opened.
inline constexpr char FolderName[] = "Folder";

// What a field answers; the dispatcher and the line answers act on this alone.
enum class FieldRole : std::uint8_t {
  HeadLine,  // line `line` of the file, 1 the first
  TailLine,  // line `line` counted from the end, 1 the last
  LineCount, // the number of lines
  Encoding,  // the encoding's name
  Type,      // folder, binary or text
  // CRLF, LF, CR, mixed or none
  LineEndings,
  Charset, // the code page's name
};

struct Field {
  const char* name;
  int typeCode;
  const char* units; // units or choices, separated by "|"
  FieldRole role;
  std::int32_t line; // HeadLine and TailLine only: which line
  // The setting that adds the field to the catalogue when true; null for a field always there.
  bool Settings::*enabledBy;
};

// The field that the host knows by `index` under `config`: the index-th, from 0, of the rows that
// `config` enables, in table order. Null for every other index, negative ones included. Reads
// only constants and the settings, so it needs no lock.
const Field* fieldAt(FieldId index, const Settings& config);

// ContentGetSupportedField without the C frame, under the process's settings.
int supportedField(int fieldIndex, char* fieldName, char* unitsText, int maxLen);

} // namespace linepeek
