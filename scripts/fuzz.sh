#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang with the address and
# undefined-behaviour sanitizers) and runs each for a fixed time from its seed
# corpus in tests/fuzz/corpus/<target>/. Fails when any target reports a crash,
# a sanitizer finding, a leak or a slow input; the input that did it is kept
# in build-fuzz/fuzz-runs/<target>/findings/.
#
#   scripts/fuzz.sh                     every target, 30 s each, two at a time
#   scripts/fuzz.sh --seconds 3600      a longer run
#   scripts/fuzz.sh inf_scan_fuzz       one target
#
# The targets run from a copy of the seed corpus, so the committed corpus
# never changes; what a run adds stays in build-fuzz/fuzz-runs/<target>/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
jobs=2
targets=()
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done
if [ ${#targets[@]} -eq 0 ]; then
    for source in tests/fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is missing; scripts/install-deps.sh installs it" >&2
    exit 1
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

runs=build-fuzz/fuzz-runs
run_target() {
    local target=$1
    local dir=$runs/$target
    rm -rf "$dir"
    mkdir -p "$dir/corpus" "$dir/findings"
    if [ -d "tests/fuzz/corpus/$target" ]; then
        cp -R "tests/fuzz/corpus/$target/." "$dir/corpus/"
    fi
    local status=0
    "build-fuzz/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/findings/" "$dir/corpus" \
        >"$dir/log" 2>&1 || status=$?
    echo "$status" >"$dir/status"
}

echo "fuzz: ${targets[*]}, $seconds s each, $jobs at a time"
started=$SECONDS
for target in "${targets[@]}"; do
    if [ ! -x "build-fuzz/$target" ]; then
        echo "fuzz: no target $target" >&2
        exit 2
    fi
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    run_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
    dir=$runs/$target
    status=$(cat "$dir/status")
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    if [ "$status" -eq 0 ]; then
        echo "fuzz: $target: no findings in ${execs:-?} inputs"
    else
        failed=1
        echo "fuzz: $target FAILED (exit $status); inputs in $dir/findings/:" >&2
        ls "$dir/findings" >&2
        tail -n 40 "$dir/log" >&2
    fi
done
echo "fuzz: $((SECONDS - started)) s"
exit "$failed"
