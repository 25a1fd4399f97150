#!/usr/bin/env bash
# Sizes of the shared objects stripped, the type library's exported symbols
# and relocations, and what loading it costs:
#   bench/footprint.sh [BUILD_DIR]     (default: build; load_bench must be built)
set -euo pipefail
dir=${1:-build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
total=0
for lib in libpelkmgmt-types libqor-types libzamli libzamli-wire libzamli-http libqor-services; do
  strip -o "$tmp/$lib.so" "$dir/$lib.so"
  size=$(stat -c %s "$tmp/$lib.so")
  total=$((total + size))
  printf '%-20s %8.2f MB stripped, %6d exported symbols\n' "$lib" "$(echo "$size / 1000000" | bc -l)" \
    "$(nm -D --defined-only "$dir/$lib.so" | wc -l)"
done
printf '%-20s %8.2f MB stripped\n' total "$(echo "$total / 1000000" | bc -l)"
types=$dir/libpelkmgmt-types.so
relocations=0
while read -r hex; do relocations=$((relocations + 16#$hex)); done < <(readelf -W -S "$types" | sed 's/^ *\[ *[0-9]*\] *//' | awk '$1 ~ /^\.rela?\.|^\.relr/ {print $5}')
printf 'type library relocation sections: %d bytes\n' "$relocations"
if [ -x "$dir/bin/load_bench" ]; then
  "$dir/bin/load_bench" "$types" 15
fi
