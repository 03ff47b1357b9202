// Names written in a Windows code page, read into UTF-8 as Linux names
// files, through the C library's converters (iconv). Each fits
// EntryToPosixPath's TextToUtf8; false when `text` holds a byte or sequence
// that the code page does not define.
#ifndef QUENBY_ENGINE_LINUX_CODE_PAGE_H_
#define QUENBY_ENGINE_LINUX_CODE_PAGE_H_

#include <string>
#include <string_view>

namespace quenby {

// Western European.
bool Windows1252ToUtf8(std::string_view text, std::string* utf8);

// Japanese: Shift_JIS as Windows has it (code page 932), where 0x5C alone
// is a backslash.
bool ShiftJisToUtf8(std::string_view text, std::string* utf8);

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_CODE_PAGE_H_
