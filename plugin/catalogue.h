// The sixteen fields the module offers, and the codes it answers the host with.
#pragma once

#include <cstdint>

namespace linepeek {

using FieldId = std::int32_t;

inline constexpr FieldId FieldCount = 16;
inline constexpr FieldId LineCountField = 13;
inline constexpr FieldId EncodingField = 14;
inline constexpr FieldId TypeField = 15;

// Field type codes, also the success answers of a value request.
inline constexpr int NoMoreFields = 0;
inline constexpr int Numeric64 = 2;
inline constexpr int MultipleChoice = 7;
inline constexpr int StringW = 11;

// Failure answers of a value request.
inline constexpr int NoSuchField = -1;
inline constexpr int FileError = -2;
inline constexpr int FieldEmpty = -3;

// A failure inside a request that has no code of its own (memory exhaustion): the field simply
// shows no value.
inline constexpr int FailureAnswer = FieldEmpty;

struct FieldInfo {
  const char* name;
  int typeCode;
  const char* units; // units or choices, separated by "|"
};

// The catalogue entry of a field; `field` must be in 0..15.
const FieldInfo& fieldInfo(FieldId field);

// ContentGetSupportedField without the C frame.
int supportedField(int fieldIndex, char* fieldName, char* unitsText, int maxLen);

} // namespace linepeek
