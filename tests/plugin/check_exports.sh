#!/bin/sh
# The plug-in library's dynamic symbol table must define exactly the
# exports of its map, nothing else of ours.
set -eu
lib="$1"; map="$2"
expected=$(grep -o 'QVPlugin[A-Za-z]*' "$map" | sort)
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | grep -v '^$' | sort)
if [ "$expected" != "$actual" ]; then
  echo "exported symbols differ from the map:"
  echo "--- expected"; echo "$expected"
  echo "--- actual"; echo "$actual"
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports, as mapped"
