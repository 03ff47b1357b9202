#!/bin/bash
# Checks that every C++ source of the project is laid out as .clang-format
# says, and names each file that is not. `clang-format -i FILE` fixes one.
# Usage: check-format.sh [SOURCE_DIR]   (default: the tree this script is in)
# CLANG_FORMAT picks the program; otherwise clang-format-14, the version the
# style was written for, then clang-format.
set -eu
root=$(cd "${1:-$(dirname "$0")/..}" && pwd -P)
cd "$root"

formatter=${CLANG_FORMAT:-}
if [ -z "$formatter" ]; then
  for name in clang-format-14 clang-format; do
    if command -v "$name" >/dev/null 2>&1; then
      formatter=$name
      break
    fi
  done
fi
if [ -z "$formatter" ] || ! command -v "$formatter" >/dev/null 2>&1; then
  echo "check-format.sh: no clang-format; scripts/install-deps.sh installs it" >&2
  exit 1
fi
if [ ! -f .clang-format ]; then
  echo "check-format.sh: no .clang-format in $root" >&2
  exit 1
fi

# In a checkout, the files git knows of, new ones too; in a copy of the tree
# (an unpacked archive), whatever lies in the source folders.
folders=(engine ui tests bench fuzz res)
files=()
if command -v git >/dev/null 2>&1 &&
   [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
  patterns=()
  for folder in "${folders[@]}"; do
    patterns+=("$folder/*.cc" "$folder/*.h" "$folder/*.cpp")
  done
  while IFS= read -r -d '' file; do
    # A file deleted but not yet committed is still listed.
    [ -f "$file" ] && files+=("$file")
  done < <(git ls-files -z --cached --others --exclude-standard -- \
             "${patterns[@]}" | sort -zu)
else
  while IFS= read -r -d '' file; do
    files+=("${file#./}")
  done < <(find "${folders[@]}" -type f \
             \( -name '*.cc' -o -name '*.h' -o -name '*.cpp' \) -print0 \
             2>/dev/null | sort -z)
fi
# Finding nothing means the search is broken, not that all is well.
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format.sh: found no C++ sources under $root" >&2
  exit 1
fi

strays=()
for file in "${files[@]}"; do
  if ! report=$("$formatter" --style=file --dry-run --Werror "$file" 2>&1); then
    strays+=("$file")
    # The first few places are enough to see what is meant.
    printf '%s\n' "$report" | grep -E '^[^ ].*: error: ' | head -n 3
  fi
done

if [ ${#strays[@]} -gt 0 ]; then
  echo
  echo "${#strays[@]} of ${#files[@]} files stray from .clang-format" \
       "($("$formatter" --version | sed 's/.*version //')):"
  printf '  %s\n' "${strays[@]}"
  echo "Fix them with: $formatter -i FILE..."
  exit 1
fi
echo "${#files[@]} files follow .clang-format"
