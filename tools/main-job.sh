#!/usr/bin/env bash
# The main job: installs what is missing, builds, then runs the demonstration
# HotSync (tools/demo-hotsync.sh) in a sandbox machine folder inside build/,
# made anew on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 >/dev/null
exec bash tools/demo-hotsync.sh "$(pwd)/build/bin" "$(pwd)/build/main-job-home"
