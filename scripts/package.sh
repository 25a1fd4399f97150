#!/usr/bin/env bash
# Builds the Debian packages of a built tree with CPack (the libraries, the
# -dev files, the tools), checks their contents and dependencies, and
# unpacks them into a scratch root.
#   scripts/package.sh [BUILD_DIR]   (packages land in BUILD_DIR/packages/)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$build/packages
rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)

fail() {
  echo "package: $*" >&2
  exit 1
}
package() {  # the .deb of a package name
  local deb
  deb=$(ls "$out"/"$1"_*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || fail "no package $1"
  echo "$deb"
}
runtime=$(package libpelkmgmt-types1)
dev=$(package libpelkmgmt-types-dev)
tools=$(package pelkmgmt-types-tools)

# What each package holds, and what it must not.
expect() {  # deb pattern...
  local deb=$1 listing
  shift
  listing=$(dpkg-deb -c "$deb")
  for pattern in "$@"; do
    grep -qE "$pattern" <<<"$listing" || fail "$(basename "$deb") lacks $pattern"
  done
}
expect "$runtime" '/usr/lib/.*libzamli\.so\.1\.' '/usr/lib/.*libzamli-wire\.so\.1\.' '/usr/lib/.*libqor-types\.so\.1\.' \
  '/usr/lib/.*libpelkmgmt-types\.so\.1 ->'
expect "$dev" '/usr/include/pelkmgmt-types/zamli/values/any\.h' '/usr/include/pelkmgmt-types/pelk/all\.h' \
  '/usr/lib/.*libpelkmgmt-types\.so ->' 'cmake/pelkmgmt-types/pelkmgmt-types-config\.cmake' \
  'pkgconfig/pelkmgmt-types\.pc' '/usr/share/pelkmgmt-types/interface/.*\.schema'
expect "$tools" '/usr/bin/pelkctl'
if dpkg-deb -c "$runtime" | grep -qE '\.h$|/bin/'; then fail "the runtime package holds headers or programs"; fi

# Dependencies: the runtime on what its libraries link, the others on it.
grep -q libpugixml <<<"$(dpkg-deb -f "$runtime" Depends)" || fail "the runtime package does not depend on libpugixml"
for deb in "$dev" "$tools"; do
  grep -q "libpelkmgmt-types1 (= " <<<"$(dpkg-deb -f "$deb" Depends)" || fail "$(basename "$deb") does not require the runtime"
done

# Unpacked together, the tool runs from the scratch root.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "$runtime" "$dev" "$tools"; do dpkg-deb -x "$deb" "$root"; done
"$root/usr/bin/pelkctl" types --kind managed >/dev/null || fail "pelkctl does not run from the unpacked packages"
rm -rf "$out/_CPack_Packages"
echo "package: $(cd "$out" && ls ./*.deb | tr '\n' ' ')"
