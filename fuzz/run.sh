#!/usr/bin/env bash
# Runs every fuzz target for a while, each from the seeds the project makes and the corpus kept
# from earlier runs, and reports per target the inputs run, the time taken and any crash, with
# where the crashing input was kept and how to replay it.
#   run.sh BUILD_DIR SECONDS_PER_TARGET
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS_PER_TARGET" >&2
    exit 2
fi
build=$(realpath "$1")
seconds=$2
targets=(script save jpg bmp ico wmf emf mci midi wave label_text utf8_script archive)

seeds=$build/fuzz-seeds
"$build/fuzz/make_seeds" "$seeds" || exit 1
mkdir -p "$build/fuzz-logs"
# A sanitizer's report ends the run with its stack; the exit code tells the runner.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
printf '%-12s %12s %8s %8s  %s\n' target executions seconds corpus result
for t in "${targets[@]}"; do
    corpus=$build/fuzz-corpus/$t
    crashes=$build/fuzz-crashes/$t
    log=$build/fuzz-logs/$t.log
    mkdir -p "$corpus" "$crashes"
    start=${EPOCHREALTIME/./}
    # A slow input is not a hang until it has had a minute (a 64-megapixel picture under the
    # sanitizers on a busy machine); memory is capped well above the largest picture allowed.
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=3072 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" "$seeds/$t" >"$log" 2>&1
    status=$?
    tenths=$(((${EPOCHREALTIME/./} - start) / 100000))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    kept=$(find "$corpus" -type f | wc -l)
    if [ $status -eq 0 ]; then
        result=ok
    else
        input=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
        result="CRASH: input kept in ${input:-(none written)}; log $log"
        failed+=("$t")
    fi
    printf '%-12s %12s %6d.%d %8s  %s\n' "$t" "${runs:-?}" $((tenths / 10)) $((tenths % 10)) "$kept" "$result"
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found crashes in: ${failed[*]}"
    echo "replay one with: $build/fuzz/fuzz_TARGET INPUT   (the log holds the report)"
    exit 1
fi
