// Playlists in UTF-16, as some Windows programs write them.
#ifndef QUENBY_TESTS_UTF16_BYTES_H_
#define QUENBY_TESTS_UTF16_BYTES_H_

#include <string>

namespace quenby {

// `text` as UTF-16 bytes behind their byte-order mark.
inline std::string Utf16(const std::u16string& text, bool big_endian) {
  std::string bytes = big_endian ? "\xfe\xff" : "\xff\xfe";
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

}  // namespace quenby

#endif  // QUENBY_TESTS_UTF16_BYTES_H_
