// The recorder writes its texts in KOI8-R; the display side uses Windows-1251.
#pragma once

namespace vesk::input {

// Converts a zero-terminated text in place: the 64 Cyrillic letters of KOI8-R
// become the same letters of Windows-1251, both forms of Yo become Ye (0xC5),
// and every other byte stays as it is. A null text is left alone.
void RecodeKoi8(char* text);

}  // namespace vesk::input
