// The numbers of the host interface that both sides of it use: the module answers with them and
// linepeek-cli, as a host, reads them.
#pragma once

namespace linepeek {

// Field type codes, also the success answers of a value request.
inline constexpr int NoMoreFields = 0;
inline constexpr int Numeric64 = 2;
inline constexpr int MultipleChoice = 7;
inline constexpr int StringW = 11;

// Failure answers of a value request.
inline constexpr int NoSuchField = -1;
inline constexpr int FileError = -2;
inline constexpr int FieldEmpty = -3;

} // namespace linepeek
