#!/usr/bin/env bash
# Builds kvflash and runs every test, part by part, and ends with the time
# each part took (and the set-up's, which .ci/run passes in
# KVFLASH_SETUP_SECONDS). Every part runs even when one before it failed;
# the exit code says whether all passed.
set -uo pipefail
cd "$(dirname "$0")/.."

names=()
times=()
results=()
failed=0

# part NAME COMMAND...: runs the commands (joined by &&), timed.
part() {
  local name=$1
  shift
  echo "=== $name"
  local start=$SECONDS status=0
  bash -c "$*" || status=$?
  names+=("$name")
  times+=($((SECONDS - start)))
  if [ $status -eq 0 ]; then results+=(ok); else results+=("FAILED ($status)"); failed=1; fi
}

report() {
  echo
  echo "=== Time per part"
  if [ -n "${KVFLASH_SETUP_SECONDS:-}" ]; then
    printf '  %-40s %5d s\n' "set-up (packages)" "$KVFLASH_SETUP_SECONDS"
  fi
  local total=${KVFLASH_SETUP_SECONDS:-0}
  for i in "${!names[@]}"; do
    printf '  %-40s %5d s  %s\n' "${names[$i]}" "${times[$i]}" "${results[$i]}"
    total=$((total + times[i]))
  done
  printf '  %-40s %5d s\n' "total" "$total"
}
trap report EXIT

# The Wine tests' program belongs to the Windows part: until that part has
# built it, CTest knows it only as a placeholder without a label.
ctest="ctest --test-dir build --output-on-failure"
part "configure" cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
part "build and unit tests" \
  "cmake --build build --target kvflash_linux && $ctest -j2 -LE 'kernel|windows|fuzz|package' -E '^kvtest_wine_NOT_BUILT\$'"
part "package and its checks" "$ctest -L package"
part "fuzz smoke" "cmake --build build --target kvflash_fuzz_all && $ctest -j2 -L fuzz"
part "kernel VM tests" "$ctest -L kernel"
part "Windows cross build and Wine tests" "cmake --build build && $ctest -L windows"
exit $failed
