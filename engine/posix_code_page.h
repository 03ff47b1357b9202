// Names written in a Windows code page, read into UTF-8 as Linux names
// files, through the C library's converters (iconv).
#ifndef QUENBY_ENGINE_POSIX_CODE_PAGE_H_
#define QUENBY_ENGINE_POSIX_CODE_PAGE_H_

#include <string>
#include <string_view>

namespace quenby {

// The code pages a Windows player's playlist is likely written in, besides
// UTF-8: Western European, then Japanese (Shift_JIS as Windows has it,
// where 0x5C alone is a backslash).
enum class CodePage { kWindows1252, kWindows932 };

// Sets `out` to `text` read in `code_page`, in UTF-8. False when `text`
// holds a byte or sequence that the code page does not define.
bool CodePageToUtf8(CodePage code_page, std::string_view text,
                    std::string* out);

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_CODE_PAGE_H_
