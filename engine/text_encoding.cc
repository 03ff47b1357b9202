#include "text_encoding.h"

#include <string.h>

#include <algorithm>

namespace quenby {

int32_t NextCodePoint(std::string_view text, size_t* pos) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data()) +
                           *pos;
  const size_t left = text.size() - *pos;
  unsigned char c = p[0];
  if (c < 0x80) {
    ++*pos;
    return c;
  }
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
    ++*pos;  // A continuation byte, C0, C1 or above F4.
    return -1;
  }
  if (left <= more) {
    ++*pos;
    return -1;
  }
  for (size_t i = 1; i <= more; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      ++*pos;
      return -1;
    }
    code_point = code_point << 6 | (p[i] & 0x3F);
  }
  if ((more == 2 && code_point < 0x800) ||
      (more == 3 && (code_point < 0x10000 || code_point > 0x10FFFF)) ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    ++*pos;
    return -1;
  }
  *pos += 1 + more;
  return static_cast<int32_t>(code_point);
}

int64_t Utf16Length(std::string_view text) {
  int64_t units = 0;
  for (size_t pos = 0; pos < text.size();)
    units += NextCodePoint(text, &pos) >= 0x10000 ? 2 : 1;
  return units;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    // Paths are mostly ASCII: skip it eight bytes at a time while no byte
    // has its high bit set (the last eight may overlap bytes already
    // seen), and decode only what is not.
    uint64_t eight;
    if (text.size() >= sizeof eight) {
      size_t at = std::min(pos, text.size() - sizeof eight);
      memcpy(&eight, text.data() + at, sizeof eight);
      if ((eight & 0x8080808080808080u) == 0) {
        pos = at + sizeof eight;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    if (NextCodePoint(text, &pos) < 0) return false;
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
      uint32_t code_point = 0x10000 + ((high_surrogate_ - 0xD800u) << 10) +
                            (unit - 0xDC00u);
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
