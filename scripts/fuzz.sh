#!/usr/bin/env bash
# The wire fuzzers: builds them (Clang, address and undefined-behaviour
# sanitizers) into build-fuzz and runs each for SECONDS (default 30) on a copy
# of the committed corpus, so that a run never changes the repository. Fails
# on any crash, leak, sanitizer report, timeout or round-trip mismatch; what
# the fuzzer found is kept under build-fuzz/findings/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds=${1:-30}
encodings=(xml json)
fuzzers=(wire_xml_fuzz wire_json_fuzz)

echo "== build-fuzz: ${fuzzers[*]}"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELK_FUZZ=ON \
  -DPELK_SANITIZE=address,undefined --target "${fuzzers[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"
passed=0
failed=0
for encoding in "${encodings[@]}"; do
  fuzzer=build-fuzz/bin/wire_${encoding}_fuzz
  corpus=$work/$encoding
  mkdir -p "$corpus"
  cp tests/fuzz/corpus/"$encoding"/* "$corpus"/
  log=build-fuzz/wire_${encoding}_fuzz.log
  echo "== wire_${encoding}_fuzz: ${seconds} s on $(ls "$corpus" | wc -l) seeds"
  # Inputs up to 64 KiB: the largest seeds are a few KiB, and longer inputs
  # mostly repeat what shorter ones reach. A single input taking 20 s is a
  # finding (a hang), as is a process past 2 GiB.
  if "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/wire_${encoding}_" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" | sed 's/^/  /'
    passed=$((passed + 1))
  else
    tail -n 60 "$log"
    echo "wire_${encoding}_fuzz found a problem; the input is under $findings, the log in $log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
