#!/usr/bin/env bash
# Every test: the suite built with GCC (then installed, with the examples
# built against it, and packaged) and with Clang, then again under the
# address and undefined-behaviour sanitizers and under the thread sanitizer;
# last, the wire decoders' fuzzers for half a minute each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

run_suite() {
  local dir=$1
  shift
  echo "== $dir: $*"
  scripts/build.sh "$dir" "$@"
  ctest --test-dir "$dir" --output-on-failure
}

run_suite build -DCMAKE_BUILD_TYPE=Release
# The installed tree: the examples built against it, and the Debian packages.
scripts/check_install.sh build
scripts/package.sh build
CC=clang CXX=clang++ run_suite build-clang -DCMAKE_BUILD_TYPE=Release
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DPELK_SANITIZE=address,undefined

# The thread sanitizer, on the suites that run threads.
threaded=(haldun_test registration_test data_objects_test managed_test wire_threads_test http_calls_test tasks_test simulator_test)
echo "== build-tsan: ${threaded[*]}"
scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELK_SANITIZE=thread --target "${threaded[@]}"
ctest --test-dir build-tsan --output-on-failure -R "^($(IFS='|'; echo "${threaded[*]}"))\$"

# The wire decoders under libFuzzer, briefly, from the committed corpus.
scripts/fuzz.sh 30
