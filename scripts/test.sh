#!/usr/bin/env bash
# Builds kvflash (the linux, fuzz and windows presets of CMakePresets.json,
# and three test programs of the tsan preset) and runs every test, part by
# part, then builds the release files again to compare them, and ends with
# the time each part took (and the set-up's, which .ci/run passes in
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

# part-if TOOL NAME COMMAND...: the part, where TOOL is installed; without it
# the part is skipped with the reason, except under CI=true, where that is a
# failure.
part_if() {
  local tool=$1 name=$2
  shift 2
  if command -v "$tool" >/dev/null; then
    part "$name" "$@"
    return
  fi
  echo "=== $name: skipped, no $tool (scripts/install-deps.sh --all installs it)"
  names+=("$name")
  times+=(0)
  if [ "${CI:-}" = true ]; then results+=("FAILED (no $tool)"); failed=1; else results+=(skipped); fi
}

# The Linux build, then the fuzz and Windows builds in their own folders
# (build/fuzz, build/windows); the Wine tests run from the Linux build.
# The layout first: it costs seconds and names the files that drifted.
part_if clang-format "source layout (.clang-format)" bash scripts/format.sh
part "configure" cmake --preset linux
part "build and unit tests" "cmake --build --preset linux && ctest --preset linux"
# The threads where the fleet, the window's logic and the terminal meet,
# under the thread sanitizer (build-tsan): only those three test programs
# and what they run are built, and only their tests run.
part "thread sanitizer (fleet, app, console)" \
  "cmake --preset tsan && cmake --build --preset tsan --target kvtest_fleet kvtest_app kvtest_console && ctest --preset tsan -L '^(fleet|app|console)\$'"
part "package and its checks" ctest --preset package
part_if clang++ "fuzz build and smoke" \
  "cmake --preset fuzz && cmake --build --preset fuzz && ctest --preset fuzz"
part "kernel VM tests" ctest --preset kernel
part_if x86_64-w64-mingw32-g++-posix "Windows cross build and Wine tests" \
  "cmake --preset windows && cmake --build --preset windows && ctest --preset windows"
# The release files built again elsewhere, compared with those above.
part_if makensis "reproducible release files" bash scripts/reproducible.sh
exit $failed
