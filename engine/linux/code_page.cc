#include "code_page.h"

#include <errno.h>
#include <iconv.h>

namespace quenby {

namespace {

bool ConvertToUtf8(iconv_t converter, std::string_view text, std::string* out) {
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // A fresh start.
  // A byte becomes at most three bytes of UTF-8 in these code pages.
  out->resize(text.size() * 3);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* to = &(*out)[0];
  size_t out_left = out->size();
  size_t done = iconv(converter, &in, &in_left, &to, &out_left);
  if (done == static_cast<size_t>(-1) || in_left != 0) return false;
  out->resize(out->size() - out_left);
  return true;
}

}  // namespace

// One converter per code page for the life of the program: opening one
// loads and sets up its tables.
bool Windows1252ToUtf8(std::string_view text, std::string* utf8) {
  static iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
  return ConvertToUtf8(converter, text, utf8);
}

bool ShiftJisToUtf8(std::string_view text, std::string* utf8) {
  // CP932, not SHIFT_JIS: the latter reads 0x5C as a yen sign.
  static iconv_t converter = iconv_open("UTF-8", "CP932");
  return ConvertToUtf8(converter, text, utf8);
}

}  // namespace quenby
