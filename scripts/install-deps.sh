#!/bin/sh
# Installs every Debian package that building, running and testing need.
# Quick when all is there already; safe to run again. A package mirror
# caught mid-sync does not stop it: apt-get update is tried again, then the
# install goes on with the lists apt has.
set -eu

packages="cmake make g++ libgtest-dev python3 locales
dosfstools mtools fusefat fuse3 exfatprogs sleuthkit
qt6-base-dev xvfb xauth dpkg-dev file dbus
debhelper lintian desktop-file-utils appstream librsvg2-bin
clang-14 libclang-rt-14-dev clang-format valgrind
g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64"

# Pauses before each new try of apt-get update; a mirror's sync ends within
# minutes.
update_pauses="15 30 60"

# Whether this kernel runs 32-bit x86 programs (IA-32 emulation), asked of
# the kernel itself, so that no 32-bit package is needed to find out: a
# 96-byte i386 ELF that only exits with status 32. bash runs it rather than
# sh: where the kernel refuses it, sh would read its bytes as a script,
# while bash refuses a binary file.
runs_32_bit() {
  probe_dir=$(mktemp -d)
  printf '\177\105\114\106\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\273\40\0\0\0\270\1\0\0\0\315\200' \
    >"$probe_dir/probe"
  chmod +x "$probe_dir/probe"
  status=0
  bash -c '"$0"' "$probe_dir/probe" 2>/dev/null || status=$?
  rm -rf "$probe_dir"
  [ "$status" -eq 32 ]
}

is_installed() {
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)
  [ "$status" = "install ok installed" ]
}

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

# wine32 runs the 32-bit Windows programs; without it the Windows tests run
# from the 64-bit test tree (the Makefile picks the tree by what runs).
wine32=""
if ! is_installed wine32:i386; then
  if runs_32_bit; then
    wine32="wine32:i386"
  else
    no_wine32="This kernel runs no 32-bit programs: the Windows tests run from the 64-bit test tree."
  fi
fi

missing=""
for package in $packages; do
  is_installed "$package" || missing="$missing $package"
done
[ -z "$missing$wine32" ] && exit 0
[ -n "${no_wine32:-}" ] && echo "$no_wine32"

echo "Installing:$missing${wine32:+ $wine32}"
if [ -n "$wine32" ]; then
  case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
    *" i386 "*) ;;
    *) $sudo dpkg --add-architecture i386 ;;
  esac
fi

# A failed update still leaves the lists that did download, and the older
# lists of the rest. wine32 alone is worth no waiting: the Windows tests
# have their 64-bit tree.
update_lists() {
  if [ -n "$missing" ]; then
    $sudo apt-get update -qq
  else
    $sudo apt-get update -qq >/dev/null 2>&1
  fi
}
[ -z "$missing" ] && update_pauses=""
updated=""
for pause in $update_pauses ""; do
  if update_lists; then updated=yes; break; fi
  [ -z "$pause" ] && break
  echo "apt-get update failed; trying again in $pause s."
  sleep "$pause"
done
[ -n "$updated" ] ||
  echo "apt-get update kept failing; going on with the package lists apt has."

apt_output=$(mktemp)
trap 'rm -f "$apt_output"' EXIT

# Multiarch packages must agree in version with their amd64 twins; while a
# mirror syncs the i386 lists may lag behind, and apt then refuses the lot.
if [ -n "$wine32" ] &&
   ! $sudo apt-get install -s -qq $missing $wine32 >"$apt_output" 2>&1; then
  if [ -z "$missing" ] || $sudo apt-get install -s -qq $missing >/dev/null 2>&1; then
    echo "The i386 and amd64 package lists disagree: going on without wine32; the Windows tests run from the 64-bit test tree."
    wine32=""
  fi
fi
[ -z "$missing$wine32" ] && exit 0

if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
     $missing $wine32 >"$apt_output" 2>&1; then
  echo "Could not install:$missing${wine32:+ $wine32}" >&2
  reason=$(grep -E '^E: |Depends: ' "$apt_output" | head -n 2)
  echo "${reason:-$(tail -n 2 "$apt_output")}" >&2
  exit 1
fi
