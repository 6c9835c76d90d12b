#!/usr/bin/env bash
# Installs what is missing, configures, builds with 2 jobs and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
cd build
ctest --output-on-failure -j2 --timeout 600
