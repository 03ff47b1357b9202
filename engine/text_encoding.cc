#include "text_encoding.h"

namespace quenby {

bool IsValidUtf8(std::string_view text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    unsigned char c = *p++;
    if (c < 0x80) continue;
    size_t more;
    uint32_t code_point;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code_point = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code_point = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code_point = c & 0x07;
    } else {
      return false;  // A continuation byte, C0, C1 or above F4.
    }
    if (static_cast<size_t>(end - p) < more) return false;
    for (size_t i = 0; i < more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code_point = code_point << 6 | (p[i] & 0x3F);
    }
    p += more;
    if ((more == 2 && code_point < 0x800) ||
        (more == 3 && (code_point < 0x10000 || code_point > 0x10FFFF)) ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
      return false;
  }
  return true;
}

bool HasNonAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 0x7F) return true;
  return false;
}

size_t AppendUtf8(uint32_t code_point, char* out) {
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | code_point >> 6);
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | code_point >> 12);
    out[1] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | code_point >> 18);
  out[1] = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 4;
}

void AppendWindows1252AsUtf8(std::string_view text, std::string* out) {
  // 0x80 to 0x9F; the rest of the upper half equals Latin-1.
  static const uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  char bytes[4];
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    uint32_t code_point = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    out->append(bytes, AppendUtf8(code_point, bytes));
  }
}

size_t Utf16Decoder::Decode(const char* in, size_t size, char* out) {
  size_t written = 0;
  for (size_t i = 0; i < size; ++i) {
    unsigned char byte = static_cast<unsigned char>(in[i]);
    if (!have_byte_) {
      byte_ = byte;
      have_byte_ = true;
      continue;
    }
    have_byte_ = false;
    uint16_t unit = big_endian_ ? static_cast<uint16_t>(byte_ << 8 | byte)
                                : static_cast<uint16_t>(byte << 8 | byte_);
    written += Unit(unit, out + written);
  }
  return written;
}

size_t Utf16Decoder::Unit(uint16_t unit, char* out) {
  size_t written = 0;
  if (high_surrogate_ != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      uint32_t code_point =
          0x10000 + ((high_surrogate_ - 0xD800u) << 10) + (unit - 0xDC00u);
      high_surrogate_ = 0;
      return AppendUtf8(code_point, out);
    }
    // The high surrogate had no partner; this unit stands on its own.
    out[written++] = kMalformed;
    high_surrogate_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    high_surrogate_ = unit;
  } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
    out[written++] = kMalformed;
  } else {
    written += AppendUtf8(unit, out + written);
  }
  return written;
}

size_t Utf16Decoder::Finish(char* out) {
  size_t written = 0;
  if (high_surrogate_ != 0) out[written++] = kMalformed;
  if (have_byte_) out[written++] = kMalformed;
  high_surrogate_ = 0;
  have_byte_ = false;
  return written;
}

}  // namespace quenby
