// Decoding tables of the single-byte Windows code pages, generated from the Windows tables.
#pragma once

namespace linepeek::platform::posix {

// The 256 UTF-16 units that bytes 0x00 to 0xFF decode to in `codePage` (for example 1251 or
// 866), or null when the code page has no table here.
const char16_t* codePageTable(int codePage);

} // namespace linepeek::platform::posix
