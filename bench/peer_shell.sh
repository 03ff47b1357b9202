#!/bin/sh
# What a user might write instead of the program: number every file that the
# playlist $1 lists, with one `mv -n` per entry. Written without a fork per
# line besides mv itself, so it is the fastest a plain shell loop gets.
cr=$(printf '\r')
n=0
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%"$cr"}
  case $line in '#'*) continue ;; esac
  n=$((n + 1))
  prefix=$((1000000 + n))
  prefix=${prefix#1}
  folder=${line%\\*}
  name=${line##*\\}
  path=
  while :; do
    case $folder in
      *\\*) path=$path${folder%%\\*}/; folder=${folder#*\\} ;;
      *) path=$path$folder; break ;;
    esac
  done
  mv -n "$path/$name" "$path/$prefix$name"
done < "$1"
