#!/usr/bin/env bash
# Builds the fuzz targets as libFuzzer programs (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-fuzz/) and runs each for a bounded time.
#
#   tools/run-fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 60); TARGET names such as registry_hive_fuzz
# (default: every fuzz/<folder>/ target). Each target starts from its
# regressions/ folder and keeps what it learns in build-fuzz/fuzz-corpus/<target>;
# a crashing input lands in build-fuzz/fuzz-findings/<target>/. QV_FUZZ_BUILD
# names another build folder. Exits non-zero when a target fails to build or
# finds a fault.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
case "$seconds" in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac
[ $# -gt 0 ] && shift
build=${QV_FUZZ_BUILD:-$root/build-fuzz}

if ! command -v clang++ >/dev/null || [ -z "$(find /usr/lib/llvm-* -name 'libclang_rt.fuzzer-x86_64.a' 2>/dev/null)" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends clang || exit 1
fi

# Target names and their folders, from the qv_fuzz() line of each folder.
declare -A folder_of
for list in fuzz/*/CMakeLists.txt; do
  name=$(sed -n 's/^[[:space:]]*qv_fuzz([[:space:]]*\([A-Za-z0-9_]*\).*/\1/p' "$list" | head -n1)
  [ -n "$name" ] && folder_of[$name]=$(dirname "$list")
done
if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(printf '%s\n' "${!folder_of[@]}" | sort)
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -DQV_FUZZ=ON -DQV_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined >/dev/null || exit 1

# Targets that go through files write them in TMPDIR: memory is far faster than disk.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

failed=()
for target in "${targets[@]}"; do
  folder=${folder_of[$target]:-}
  if [ -z "$folder" ]; then
    echo "== $target: no such fuzz target" >&2
    failed+=("$target")
    continue
  fi
  echo "== $target: building"
  if ! cmake --build "$build" -j2 --target "$target" >"$build/$target.build.log" 2>&1; then
    echo "== $target: build failed (see $build/$target.build.log)"
    failed+=("$target")
    continue
  fi
  corpus=$build/fuzz-corpus/$target
  findings=$build/fuzz-findings/$target
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -d "$folder/regressions" ] && seeds+=("$folder/regressions")
  echo "== $target: running ${seconds}s"
  if "$build/fuzz/$target" "$corpus" "${seeds[@]}" \
      -max_total_time="$seconds" -malloc_limit_mb=256 -rss_limit_mb=2048 -timeout=20 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$build/$target.fuzz.log" 2>&1; then
    echo "== $target: no fault found ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$build/$target.fuzz.log" | grep -o '[0-9]*$') runs)"
  else
    echo "== $target: FAULT found, input in $findings/ (log: $build/$target.fuzz.log)"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
echo "all ${#targets[@]} fuzz targets ran ${seconds}s without a fault"
