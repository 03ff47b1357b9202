#!/bin/sh
# Runs inside the emulated machine: fills the blank stick IMAGE (file system
# FS, exFAT here, which the host cannot write) from IMAGE.seed, copying its
# files and making its folders in the order IMAGE.seed/manifest lists them,
# as a user copies them; then syncs and unmounts it. Does nothing where the
# image has no seed.
#
#   fill_stick.sh IMAGE FS [OPTIONS]
set -u
image=$1 fs=$2 options=${3:-defaults}
[ -f "$image.seed/manifest" ] || exit 0
modprobe -q loop; modprobe -q "$fs"
mode=rw
[ "$options" = defaults ] || mode=rw,$options
mkdir -p /mnt/fill
mount -t "$fs" -o "loop,$mode" "$image" /mnt/fill || exit 1
while IFS= read -r path; do
  case $path in
    */) mkdir "/mnt/fill/$path" ;;
    *) cp "$image.seed/$path" "/mnt/fill/$path" ;;
  esac || { umount /mnt/fill; exit 1; }
done < "$image.seed/manifest"
sync && umount /mnt/fill
