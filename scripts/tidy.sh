#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the program's sources, using the compile
# commands of a GCC build tree. GCC-only flags are dropped for clang.
# Usage: scripts/tidy.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
[[ -f $build/compile_commands.json ]] || { echo "no $build/compile_commands.json: build first" >&2; exit 2; }
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
sed -e 's/ -fcoroutines//g' "$build/compile_commands.json" >"$db/compile_commands.json"
# Only the program's own sources; generated moc files and tests are left out.
"$runner" -clang-tidy-binary "$tidy" -p "$db" -quiet -j "${JOBS:-$(nproc)}" "$(pwd)/src/.*\.cpp$" 2>&1 |
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' |
  tee "$db/out"
! grep -q -E '(warning|error): ' "$db/out"
