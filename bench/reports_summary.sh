#!/usr/bin/env bash
# Every Vnd025 report over the last month and the last year of a database, written as CSV by
# `backoffice export`, read from the sales summaries and read from the sales (--no-summary). The
# two alternate run by run; each figure is a median. Prints one line per report and period: both
# times, their ratio and whether the two files are byte-equal (they must be).
#
#   bench/reports_summary.sh CONFIG [BUILD_DIR]     (default BUILD_DIR: build next to this folder)
#   env: RUNS=N (default 3)  BRANCH=0001  PERIODS="month year"  LAST=yyyy-mm-dd (default 2025-06-30)
#        PRODUCTS=de:até     the product range of the two product reports (default 0101001:0804011,
#                            every item of the demo's tree)
#        REPORTS="title|title"  only these report titles
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
config=${1:?usage: reports_summary.sh CONFIG [BUILD_DIR]}
build=${2:-$src/build}
runs=${RUNS:-3}
branch=${BRANCH:-0001}
periods=${PERIODS:-month year}
last=${LAST:-2025-06-30}
products=${PRODUCTS:-0101001:0804011}
app=$build/bin/backoffice
[[ -x $app ]] || { echo "build $build first" >&2; exit 2; }
command -v jq >/dev/null || { echo "needs jq" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shown() { date -d "$1" +%d/%m/%Y; }
year_first=$(date -d "$last -1 year +1 day" +%F)
month_first="${last:0:8}01"

seconds() { # command...: wall seconds of one run
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > "$work/out.txt" 2>&1 || { echo "failed: $*" >&2; cat "$work/out.txt" >&2; return 1; }
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc -l
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

echo "config: $config; runs per line: $runs; branch $branch; load before: $(uptime)"
printf '%-34s %-6s %10s %10s %7s %s\n' report period "summary s" "sales s" ratio csv
jq -r '.reports[].title' "$src/reports/Vnd025/index.json" | while read -r title; do
    [[ -z ${REPORTS:-} || "|$REPORTS|" == *"|$title|"* ]] || continue
    filters=(--branch "$branch")
    case $title in
    "Resumo de Vendas - Consolidado") filters=() ;;
    "Vendas por Hora/Modalidade") filters=(--branches "$branch") ;;
    *Produto*) filters+=(--products "$products") ;;
    esac
    for period in $periods; do
        from=$year_first
        [[ $period == month ]] && from=$month_first
        base=(export --config "$config" --report "$title" "${filters[@]}" --from "$(shown "$from")" --to "$(shown "$last")")
        summary=() sales=()
        for ((i = 0; i < runs; i++)); do
            summary+=("$(seconds "$app" "${base[@]}" --out "$work/summary.csv")")
            sales+=("$(seconds "$app" "${base[@]}" --no-summary --out "$work/sales.csv")")
        done
        s=$(median "${summary[@]}") d=$(median "${sales[@]}")
        same=DIFFERENT
        cmp -s "$work/summary.csv" "$work/sales.csv" && same=equal
        printf '%-34s %-6s %10.3f %10.3f %7.2f %s\n' "$title" "$period" "$s" "$d" "$(echo "$s / $d" | bc -l)" "$same"
    done
done
echo "load after: $(uptime)"
