#!/usr/bin/env bash
# Installs what is needed and builds Tavimo. (The launch itself comes with the application shell.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
echo "Built. The keyboard lock engine and its tests exist so far; the windows come next."
