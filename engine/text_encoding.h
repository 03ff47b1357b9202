// The text encodings that playlists arrive in and that the engine reads
// itself: UTF-8 and UTF-16. Code pages are read by each platform's own
// converter.
#ifndef QUENBY_ENGINE_TEXT_ENCODING_H_
#define QUENBY_ENGINE_TEXT_ENCODING_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quenby {

// The character of well-formed UTF-8 that starts at `*pos` in `text`, and
// `*pos` moved past it; or -1, and `*pos` moved one byte on, where none
// starts: an overlong form, a surrogate, anything above U+10FFFF, a
// sequence cut short.
int32_t NextCodePoint(std::string_view text, size_t* pos);

// Whether `text` is well-formed UTF-8 (NextCodePoint finds no fault in it).
// ASCII is UTF-8.
bool IsValidUtf8(std::string_view text);

// How many UTF-16 code units `text` takes (a byte that starts no character
// one), the unit in which FAT drivers count a name's directory slots.
int64_t Utf16Length(std::string_view text);

// Whether any byte of `text` is above 0x7F.
bool HasNonAscii(std::string_view text);

// Appends `code_point` in UTF-8. Returns the count of bytes appended.
size_t AppendUtf8(uint32_t code_point, char* out);

// Turns a stream of UTF-16 bytes into UTF-8, piece by piece: a code unit or
// surrogate pair split between two pieces is carried over.
class Utf16Decoder {
 public:
  // The one byte that stands for a malformed sequence in the output: well-
  // formed UTF-8 never holds it, so the reader can find and mark it.
  static constexpr char kMalformed = '\xff';

  explicit Utf16Decoder(bool big_endian) : big_endian_(big_endian) {}

  // Decodes `size` bytes into `out`, which must have room for size * 3 / 2
  // + 4 bytes (two bytes make at most three, a mark and a carried unit
  // more); returns the count written.
  size_t Decode(const char* in, size_t size, char* out);

  // Ends the stream: a half unit or a lone high surrogate left over is
  // malformed. Returns the count written to `out` (room for 2 bytes).
  size_t Finish(char* out);

 private:
  size_t Unit(uint16_t unit, char* out);

  bool big_endian_;
  bool have_byte_ = false;
  unsigned char byte_ = 0;
  uint16_t high_surrogate_ = 0;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_TEXT_ENCODING_H_
