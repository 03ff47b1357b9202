#!/bin/sh
# Builds the Debian package with Debian's own tools from a copy of the
# source tree inside the build folder: dpkg-buildpackage leaves its output
# beside the tree it builds, and the checkout is to stay clean.
# Usage: build-deb.sh SOURCE_DIR BUILD_DIR
# The packages land in BUILD_DIR/deb/, and the program's .deb also in
# BUILD_DIR itself.
set -eu
source=$(cd "$1" && pwd)
build=$(mkdir -p "$2" && cd "$2" && pwd)
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
work=$build/deb
tree=$work/quenby-$version

rm -rf "$work"
mkdir -p "$tree"
# The build folder may lie inside the source tree: it stays out of the copy.
case "$build" in
  "$source"/*) inside="./${build#"$source"/}" ;;
  *) inside="./build" ;;
esac
(cd "$source" && tar --exclude-vcs --exclude=./build --exclude='./build-*' \
   --exclude="$inside" -cf - .) | tar -C "$tree" -xf -

# The whole log goes to a file; a failure shows its end.
if ! (cd "$tree" && dpkg-buildpackage -us -uc -b -J"${JOBS:-2}") \
     >"$work/build.log" 2>&1; then
  tail -n 60 "$work/build.log" >&2
  echo "build-deb.sh: dpkg-buildpackage failed; the log is $work/build.log" >&2
  exit 1
fi
rm -rf "$tree"
cp "$work/quenby_${version}_$arch.deb" "$build/"
