#include "numbered_path.h"

namespace quenby {

int NumberBand(uint32_t entry_number) {
  if (entry_number == 0 || entry_number > kLastNumberedEntry) return 0;
  if (entry_number < 10) return 1;
  if (entry_number < 100) return 2;
  if (entry_number < 1000) return 3;
  if (entry_number < 10000) return 4;
  if (entry_number < 100000) return 5;
  return 6;
}

size_t OrderPrefix(uint32_t entry_number, char out[8]) {
  char digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + entry_number % 10);
    entry_number /= 10;
  } while (entry_number != 0);

  size_t length = 0;
  for (size_t zeros = count < 6 ? 6 - count : 0; zeros > 0; --zeros)
    out[length++] = '0';
  // Seven digits at most: callers pass 1 to 1000000.
  while (count > 0 && length < 7) out[length++] = digits[--count];
  out[length] = '\0';
  return length;
}

void MakeNumberedPath(std::string_view line, uint32_t entry_number,
                      std::string* out) {
  // Byte by byte: any 0x5C counts, multi-byte characters are not decoded.
  // Only a line without one is split at its last forward slash, as written
  // by programs of other systems and in URLs.
  size_t slash = line.rfind('\\');
  if (slash == std::string_view::npos) slash = line.rfind('/');
  size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  char prefix[8];
  size_t prefix_length = OrderPrefix(entry_number, prefix);

  out->clear();
  out->reserve(line.size() + prefix_length);
  out->append(line.data(), name_start);
  out->append(prefix, prefix_length);
  out->append(line.data() + name_start, line.size() - name_start);
}

}  // namespace quenby
