#!/usr/bin/env bash
# Installs a built tree into a scratch prefix, checks what was installed, and
# builds and runs the examples against it, once through find_package and once
# through pkg-config; last, checks that the README's snippets are the
# examples' own.
#   scripts/check_install.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
pcdir=$(dirname "$(find "$prefix" -name pelkmgmt-types.pc)")
libdir=$(dirname "$pcdir")
include=$prefix/include/pelkmgmt-types

fail() {
  echo "check_install: $*" >&2
  exit 1
}

# Every include of an installed header that is not a standard one is installed too.
missing=$(grep -rhoE '#include <[^>]+[/.][^>]*>' "$include" | sed -E 's/#include <(.*)>/\1/' | sort -u |
  while read -r header; do [ -e "$include/$header" ] || [ -e "/usr/include/$header" ] || echo "$header"; done)
[ -z "$missing" ] || fail "installed headers include what is not installed: $missing"
# Internal headers stay out, and the installed program finds its libraries by itself.
for internal in zamli/wire/encoder.h zamli/wire/encode_plan.h zamli/wire/decode_plan.h zamli/wire/plans.h zamli/transport/http/blocking_exchange.h zamli/transport/http/tls_underlay.h zamli/wire/budget.h zamli/wire/xml zamli/wire/json qor/tables.h; do
  [ ! -e "$include/$internal" ] || fail "$internal is internal but installed"
done
"$prefix/bin/pelkctl" describe qor.HostSystem >/dev/null || fail "the installed pelkctl does not run"

cxx=${CXX:-c++}
for example in client server; do
  echo "== examples/$example"
  cmake -S "examples/$example" -B "$scratch/$example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
  cmake --build "$scratch/$example" >/dev/null
  "$scratch/$example/$example" >"$scratch/$example.cmake.out" || fail "$example (find_package) failed"
  # shellcheck disable=SC2046
  "$cxx" -O2 -Wall -Wextra -Werror "examples/$example/main.cc" -o "$scratch/$example.pc" \
    $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs pelkmgmt-types pelk-wire)
  LD_LIBRARY_PATH=$libdir "$scratch/$example.pc" >"$scratch/$example.pc.out" || fail "$example (pkg-config) failed"
  cmp -s "$scratch/$example.cmake.out" "$scratch/$example.pc.out" || fail "$example: the two builds print differently"
  grep -q "is not implemented" "$scratch/$example.cmake.out" || fail "$example: no not-implemented fault named"
done

# Each marked region of an example appears verbatim in the README.
python3 - <<'PY' || fail "README.md and the examples' snippets differ"
import pathlib, re, sys, textwrap
readme = pathlib.Path("README.md").read_text()
ok = True
for path in sorted(pathlib.Path("examples").glob("*/*")):
    text = path.read_text()
    for m in re.finditer(r"^[ \t]*(?://|#) \[([a-z-]+)\]\n(.*?)^[ \t]*(?://|#) \[\1-end\]\n", text, re.M | re.S):
        if textwrap.dedent(m.group(2)) not in readme:
            print(f"{path}: region {m.group(1)} is not in README.md", file=sys.stderr)
            ok = False
sys.exit(0 if ok else 1)
PY
echo "check_install: the installed tree builds and runs both examples"
