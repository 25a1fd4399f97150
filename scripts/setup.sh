#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; installs
# nothing when all is already there.
set -euo pipefail

packages=(cmake ninja-build g++ clang python3 libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev libpugixml-dev rapidjson-dev libsimdjson-dev libclang-rt-14-dev
          libboost1.81-dev libssl-dev openssl haproxy curl
          dpkg-dev pkgconf)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
