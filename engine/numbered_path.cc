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

namespace {

// Where the part after the last `c` of `line` starts; 0 without one. A path
// holds few separators: the search leaps forwards from one to the next,
// faster than looking back at every byte of the name.
size_t AfterLast(std::string_view line, char c) {
  size_t start = 0;
  for (size_t found = line.find(c); found != std::string_view::npos;
       found = line.find(c, start))
    start = found + 1;
  return start;
}

// Where MakeNumberedPath puts the prefix. Byte by byte: any 0x5C counts,
// multi-byte characters are not decoded. Only a line without one is split
// at its last forward slash, as written by programs of other systems and in
// URLs.
size_t NameStart(std::string_view line) {
  size_t start = AfterLast(line, '\\');
  return start != 0 ? start : AfterLast(line, '/');
}

// Whether `numbered` is `line` with an order prefix where MakeNumberedPath
// puts it; `prefix` is then set to its digits.
bool FindOrderPrefix(std::string_view line, std::string_view numbered,
                     std::string_view* prefix) {
  if (numbered.size() < line.size() + 6 || numbered.size() > line.size() + 7)
    return false;
  size_t start = NameStart(line);
  size_t length = numbered.size() - line.size();
  if (numbered.substr(0, start) != line.substr(0, start) ||
      numbered.substr(start + length) != line.substr(start))
    return false;
  *prefix = numbered.substr(start, length);
  return prefix->find_first_not_of("0123456789") == std::string_view::npos;
}

// Sets `out` to `line` with `prefix` where MakeNumberedPath puts the entry
// number.
void PutOrderPrefix(std::string_view line, std::string_view prefix,
                    std::string* out) {
  size_t name_start = NameStart(line);
  // Sized once and copied into: this is done for every entry of a run.
  out->resize(line.size() + prefix.size());
  char* to = out->data();
  to += line.copy(to, name_start);
  to += prefix.copy(to, prefix.size());
  line.copy(to, line.size() - name_start, name_start);
}

}  // namespace

void MakeNumberedPath(std::string_view line, uint32_t entry_number,
                      std::string* out) {
  char prefix[8];
  size_t prefix_length = OrderPrefix(entry_number, prefix);
  PutOrderPrefix(line, std::string_view(prefix, prefix_length), out);
}

long ReadOrderNumber(std::string_view name) {
  if (name.size() < 6) return -1;
  long number = 0;
  for (size_t i = 0; i < 6; ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    number = number * 10 + (name[i] - '0');
  }
  // The one prefix of seven digits.
  if (name.compare(0, 7, "1000000") == 0) return kLastNumberedEntry;
  return number;
}

bool IsNumberedPathOf(std::string_view line, std::string_view numbered) {
  std::string_view prefix;
  return FindOrderPrefix(line, numbered, &prefix);
}

void KeepOrderPrefixInFront(std::string_view from, std::string_view to,
                            std::string* from_read, std::string* to_read) {
  std::string_view prefix;
  if (FindOrderPrefix(from, to, &prefix)) {
    PutOrderPrefix(*from_read, prefix, to_read);
  } else if (FindOrderPrefix(to, from, &prefix)) {
    PutOrderPrefix(*to_read, prefix, from_read);
  }
}

}  // namespace quenby
