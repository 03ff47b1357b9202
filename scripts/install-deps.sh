#!/bin/sh
# Installs every Debian package that building, running and testing need.
# Quick when all is there already; safe to run again.
set -eu

packages="cmake make g++ libgtest-dev python3 locales
dosfstools mtools fusefat fuse3
qt6-base-dev xvfb xauth dpkg-dev file
debhelper lintian desktop-file-utils appstream librsvg2-bin
clang-14 libclang-rt-14-dev valgrind
g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64"

missing=""
for package in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
# wine32 is a 32-bit package: the i386 architecture must be known to apt.
case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
  *" i386 "*) ;;
  *) $sudo dpkg --add-architecture i386 ;;
esac
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
