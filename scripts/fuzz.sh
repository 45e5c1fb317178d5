#!/usr/bin/env bash
# Runs each reader's libFuzzer target for a bounded time, seeded from the captured speaker
# replies. Usage: scripts/fuzz.sh [seconds per target, default 60] [target ...]
# Build the targets first with `make fuzz`. Corpora grow in build-fuzz/corpus/<target>;
# crashes land in build-fuzz/findings/<target>.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build-fuzz}"
fixtures="${TAMBER_FIXTURES_DIR:-$root/../shared/fixtures/speaker-replies}"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(LeafParserFuzz TopologyParserFuzz LastChangeParserFuzz FavoritesParserFuzz RequestHeadFuzz ReaderDifferentialFuzz)
fi

status=0
for target in "${targets[@]}"; do
    binary="$build/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "$target: not built; run 'make fuzz' first" >&2
        exit 2
    fi
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    options=()
    if [ "$target" = RequestHeadFuzz ]; then
        # Raw request bytes: no XML seeds, no XML dictionary.
        :
    elif [ -d "$fixtures" ]; then
        cp -n "$fixtures"/*.xml "$corpus"/ 2>/dev/null || true
        options+=(-dict="$root/fuzz/xml.dict")
    else
        echo "$target: no fixtures at $fixtures; starting from an empty corpus" >&2
        options+=(-dict="$root/fuzz/xml.dict")
    fi
    echo "== $target for ${seconds}s"
    if ! "$binary" "$corpus" "${options[@]}" -max_total_time="$seconds" -max_len=16384 \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
        2>"$build/$target.log"; then
        echo "$target: FINDING, see $build/$target.log and $findings" >&2
        status=1
    fi
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+ *DONE" "$build/$target.log" || true
done
exit $status
