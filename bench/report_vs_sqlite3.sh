#!/usr/bin/env bash
# The report "Vendas por Hora" run end to end through a screen script (host start, screen, query,
# CSV written) against the same SQL with the same parameters run by the sqlite3 shell writing CSV,
# both timed in this one script on a 1,000,000-sale demo database.
#
#   bench/report_vs_sqlite3.sh [BUILD_DIR]      (default: build-bench next to this folder)
#   env: DB=path (default BUILD_DIR/benchdata/sales1m.sqlite, generated when missing),
#        RUNS=N (default 5), BRANCH=0001
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=${1:-$src/build-bench}
db=${DB:-$build/benchdata/sales1m.sqlite}
runs=${RUNS:-5}
branch=${BRANCH:-0001}
definition=$src/reports/Vnd025/vendas_por_hora.json

for tool in jq sqlite3; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[[ -x $build/bin/backoffice && -x $build/bin/bo-demo-gen ]] || { echo "build $build first" >&2; exit 2; }

if [[ ! -f $db ]]; then
    mkdir -p "$(dirname "$db")"
    echo "generating $db (1,000,000 sales, about a minute) ..." >&2
    "$build/bin/bo-demo-gen" --driver QSQLITE --db "$db" --sales 1000000 --seed 1 --quiet
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The whole period of the data, as the user types it.
read -r first last < <(sqlite3 -separator ' ' "$db" "SELECT MIN(DTVENDA), MAX(DTVENDA) FROM VENDA")
shown() { local d=$1; echo "${d:8:2}/${d:5:2}/${d:0:4}"; }

cat > "$work/report.json" <<EOF
{"config": {"database": {"driver": "QSQLITE", "name": "$db"}},
 "steps": [
  {"open": "Vnd02500"},
  {"select": "Vendas por Hora"},
  {"set": ["edtFilial", "$branch"]},
  {"set": ["depDtHrIni", "$(shown "$first")"]},
  {"set": ["depDtHrFin", "$(shown "$last")"]},
  {"answer": {"file": "$work/screen.csv"}},
  {"click": "sbtSalvarComo"}
 ]}
EOF

# The same host start and screen without the report: the fixed cost inside the screen's figure.
cat > "$work/open.json" <<EOF
{"config": {"database": {"driver": "QSQLITE", "name": "$db"}},
 "steps": [{"open": "Vnd02500"}, {"select": "Vendas por Hora"}, {"set": ["edtFilial", "$branch"]}]}
EOF

# One run first: the parameters the screen filled are the ones the shell gets as literals.
"$build/bin/backoffice" --script "$work/report.json" > "$work/screen.out" 2> "$work/screen.err"
params=$(jq -c 'select(.params) | .params' "$work/screen.out" | tail -n 1)
[[ -n $params && -s $work/screen.csv ]] || { echo "the screen script wrote no report:" >&2; cat "$work/screen.out" "$work/screen.err" >&2; exit 1; }

# :NAME becomes its value: text quoted, numbers as they are, a date-time without a time of day as
# the date alone (the report engine binds it as a date).
jq -r --argjson p "$params" '
  (.sql.default | if type == "array" then join("\n") else . end)
  | gsub(":(?<n>[A-Za-z_][A-Za-z_0-9]*)";
         ($p[.n]) as $v
         | if $v == null then "NULL"
           elif ($v | type) == "number" then ($v | tostring)
           else "'"'"'" + ($v | tostring | sub("T00:00:00$"; "") | gsub("'"'"'"; "'"''"'")) + "'"'"'" end)
' "$definition" > "$work/report.sql"
sql=$(cat "$work/report.sql")
sqlite3 -csv -header "$db" "$sql" > "$work/sqlite3.csv"

echo "database: $db ($(sqlite3 "$db" 'SELECT COUNT(*) FROM VENDA') sales), branch $branch, $first to $last"
echo "parameters: $params"
echo "rows: screen CSV $(($(wc -l < "$work/screen.csv") - 1)), sqlite3 CSV $(($(wc -l < "$work/sqlite3.csv") - 1))"
echo "load: $(uptime)"
echo

screen_cmd="$build/bin/backoffice --script $work/report.json"
open_cmd="$build/bin/backoffice --script $work/open.json"
shell_cmd="sqlite3 -csv -header $db \"\$(cat $work/report.sql)\" > $work/sqlite3.csv"

if command -v hyperfine >/dev/null; then
    hyperfine --warmup 1 --runs "$runs" --export-json "$work/times.json" \
        -n screen "$screen_cmd > /dev/null 2>&1" -n sqlite3 "$shell_cmd" -n "screen, no report" "$open_cmd > /dev/null 2>&1"
    screen_s=$(jq '.results[] | select(.command == "screen") | .median' "$work/times.json")
    shell_s=$(jq '.results[] | select(.command == "sqlite3") | .median' "$work/times.json")
    screen_user=$(jq '.results[] | select(.command == "screen") | .user' "$work/times.json")
    shell_user=$(jq '.results[] | select(.command == "sqlite3") | .user' "$work/times.json")
    open_s=$(jq '.results[] | select(.command == "screen, no report") | .median' "$work/times.json")
else
    median_of() {
        local times=()
        for ((i = 0; i < runs; i++)); do
            local t0 t1
            t0=$(date +%s.%N)
            bash -c "$1" > /dev/null 2>&1
            t1=$(date +%s.%N)
            times+=("$(echo "$t1 - $t0" | bc -l)")
        done
        printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
    }
    bash -c "$screen_cmd" > /dev/null 2>&1; bash -c "$shell_cmd"; bash -c "$open_cmd" > /dev/null 2>&1
    screen_s=$(median_of "$screen_cmd")
    shell_s=$(median_of "$shell_cmd")
    open_s=$(median_of "$open_cmd")
    screen_user=n/a; shell_user=n/a
fi

echo
printf 'screen script, median wall: %.3f s (mean user CPU %s s)\n' "$screen_s" "$screen_user"
printf 'sqlite3 shell, median wall: %.3f s (mean user CPU %s s)\n' "$shell_s" "$shell_user"
printf 'host start and screen without the report, median wall: %.3f s\n' "$open_s"
printf 'ratio screen / sqlite3: %.2f (target 1.3 or less)\n' "$(echo "$screen_s / $shell_s" | bc -l)"
