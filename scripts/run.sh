#!/usr/bin/env bash
# The main job: set up, build, and show one managed type of the interface.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
build/bin/pelkctl describe qor.cluster.PelkZovClusterHealthSystem
