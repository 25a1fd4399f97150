#!/usr/bin/env bash
# Configures and builds one tree:
#   scripts/build.sh DIR [cmake options...] [--target TARGET...]
set -euo pipefail
dir=$1
shift
options=()
targets=()
while (($#)); do
  if [ "$1" = --target ]; then
    shift
    targets=("$@")
    break
  fi
  options+=("$1")
  shift
done
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DPELK_WERROR=ON "${options[@]}" >/dev/null
if ((${#targets[@]})); then
  cmake --build "$dir" --target "${targets[@]}"
else
  cmake --build "$dir"
fi
