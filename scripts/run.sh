#!/usr/bin/env bash
# Installs what is missing, builds Quiltmark and opens the bundled example project.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
example="examples/stage-wall.patch"
if [ "$#" -gt 0 ]; then exec build/bin/quiltmark "$@"; fi
if [ -f "$example" ]; then exec build/bin/quiltmark "$example"; fi
exec build/bin/quiltmark --list-fixtures
