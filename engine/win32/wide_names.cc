#include "wide_names.h"

#include "text_encoding.h"

namespace quenby {

bool ToWide(UINT code_page, const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  int count = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                                  static_cast<int>(text.size()), nullptr, 0);
  if (count <= 0) return false;
  wide->resize(static_cast<size_t>(count));
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), &(*wide)[0],
                             count) == count;
}

bool FromWide(UINT code_page, const std::wstring& wide, std::string* text) {
  text->clear();
  if (wide.empty()) return true;
  // UTF-8 holds every character and takes no lossy-conversion flags.
  bool utf8 = code_page == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* lossy_at = utf8 ? nullptr : &lossy;
  int size = static_cast<int>(wide.size());
  int count = WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr,
                                  0, nullptr, lossy_at);
  if (count <= 0 || lossy) return false;
  text->resize(static_cast<size_t>(count));
  return WideCharToMultiByte(code_page, flags, wide.data(), size, &(*text)[0],
                             count, nullptr, lossy_at) == count &&
         !lossy;
}

bool ReadAsUtf8(UINT code_page, const std::string& text, std::string* utf8) {
  if (code_page == CP_UTF8) {
    if (!IsValidUtf8(text)) return false;
    *utf8 = text;
    return true;
  }
  std::wstring wide;
  return ToWide(code_page, text, &wide) && FromWide(CP_UTF8, wide, utf8);
}

}  // namespace quenby
