// MakeNumberedPath on any line and any entry number from 1 to 1000000: the
// prefix stands right after the last backslash (the last slash in a line
// without one, the start in a line with neither), nothing else changes, the
// length grows by the prefix alone, and the order prefixes sort in entry
// order. The prefix buffer is exactly eight bytes on the heap, so that a
// write past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "numbered_path.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

void CheckPrefix(uint32_t number, std::string* prefix) {
  std::unique_ptr<char[]> out(new char[8]);
  size_t length = quenby::OrderPrefix(number, out.get());
  char expected[16];
  int expected_length = std::snprintf(expected, sizeof expected, "%06u",
                                      number);
  if (length != static_cast<size_t>(expected_length) ||
      std::strcmp(out.get(), expected) != 0)
    Fail("order prefix is not the zero-padded number");
  int digits = std::snprintf(expected, sizeof expected, "%u", number);
  int band = number == quenby::kLastNumberedEntry ? 6 : digits;
  if (quenby::NumberBand(number) != band)
    Fail("number band does not match the digits");
  prefix->assign(out.get(), length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint32_t a, b;
  std::memcpy(&a, data, 4);
  std::memcpy(&b, data + 4, 4);
  const uint32_t first = a % quenby::kLastNumberedEntry + 1;
  const uint32_t second = b % quenby::kLastNumberedEntry + 1;
  const std::string line(reinterpret_cast<const char*>(data) + 8, size - 8);

  std::string first_prefix, second_prefix;
  CheckPrefix(first, &first_prefix);
  CheckPrefix(second, &second_prefix);
  // Six digits sort as numbers do; 1000000 alone has seven.
  if (first < second && second < quenby::kLastNumberedEntry &&
      !(first_prefix < second_prefix))
    Fail("prefixes do not sort in entry order");

  std::string numbered;
  quenby::MakeNumberedPath(line, first, &numbered);
  size_t slash = line.rfind('\\');
  if (slash == std::string::npos) slash = line.rfind('/');
  size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (numbered.size() != line.size() + first_prefix.size())
    Fail("numbered path has the wrong length");
  if (numbered.compare(0, name, line, 0, name) != 0 ||
      numbered.compare(name, first_prefix.size(), first_prefix) != 0 ||
      numbered.compare(name + first_prefix.size(), std::string::npos, line,
                       name) != 0)
    Fail("prefix is not right after the last separator");

  // The length limit: lines up to 993 bytes (992 for entry 1000000) fit.
  size_t longest = first == quenby::kLastNumberedEntry ? 992 : 993;
  if ((line.size() <= longest) != (numbered.size() <= quenby::kMaxPathLength))
    Fail("length limit is not where it should be");

  // The same line and number give the same path every time.
  std::string again = "left over";
  quenby::MakeNumberedPath(line, first, &again);
  if (again != numbered) Fail("numbered path is not repeatable");
  return 0;
}
