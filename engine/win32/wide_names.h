// Names between the engine's byte strings and the wide-character calls:
// the ANSI code page for paths as a playlist writes them, UTF-8 for the
// other readings and for what the stick layer keeps.
#ifndef QUENBY_ENGINE_WIN32_WIDE_NAMES_H_
#define QUENBY_ENGINE_WIN32_WIDE_NAMES_H_

#include <windows.h>

#include <string>

namespace quenby {

// `text` read in `code_page`; false when it is not valid there.
bool ToWide(UINT code_page, const std::string& text, std::wstring* wide);

// `wide` in `code_page`; false when the code page cannot hold every
// character.
bool FromWide(UINT code_page, const std::wstring& wide, std::string* text);

// `text` read in `code_page`, in UTF-8: there a 0x5C byte is always a
// backslash, so the engine's byte-wise path helpers apply.
bool ReadAsUtf8(UINT code_page, const std::string& text, std::string* utf8);

}  // namespace quenby

#endif  // QUENBY_ENGINE_WIN32_WIDE_NAMES_H_
