#!/usr/bin/env bash
# Runs every fuzz target for a bounded time over its seed corpus and prints one summary line each.
#   tests/fuzz/run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
# New inputs and crash files go to a temporary folder (FUZZ_WORK_DIR to choose it), never into the
# repository; the exit status is non-zero when any target crashed or could not run.
set -u

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS_PER_TARGET [TARGET...]" >&2
    exit 2
fi
build_dir=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(consiste maskedit datetime messages reportdef script sqltext)
fi

work=${FUZZ_WORK_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/bo-fuzz.XXXXXX")}
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen
# Qt's font database (fontconfig) is never freed while the application object lives on.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
summary=()
for t in "${targets[@]}"; do
    exe=$build_dir/bin/fuzz_$t
    if [ ! -x "$exe" ]; then
        summary+=("$(printf '%-10s %12s %10s %8s  %s' "$t" "-" "-" "-" "MISSING $exe")")
        failed=1
        continue
    fi
    mkdir -p "$work/$t/new" "$work/$t/artifacts"
    log=$work/$t/log.txt
    start=$(date +%s)
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/$t/artifacts/" "$work/$t/new" "$here/corpus/$t" >"$log" 2>&1
    rc=$?
    elapsed=$(( $(date +%s) - start ))
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    if [ $rc -eq 0 ]; then
        result=ok
    else
        failed=1
        crash=$(ls -1 "$work/$t/artifacts" 2>/dev/null | head -n 1)
        result="CRASH rc=$rc ${crash:+input $work/$t/artifacts/$crash} (log $log)"
        grep -m 3 -E 'FUZZ FINDING|ERROR: (AddressSanitizer|libFuzzer)|runtime error' "$log" | sed "s/^/    [$t] /"
    fi
    summary+=("$(printf '%-10s %12s %10s %7ss  %s' "$t" "${execs:-?} execs" "${rate:-?}/s" "$elapsed" "$result")")
done

echo "fuzz summary (${seconds}s per target, work dir $work):"
printf '  %s\n' "${summary[@]}"
exit $failed
