#!/usr/bin/env bash
# Every Vnd025 report run end to end through a screen script (host start, screen, query, file
# written) against the query a user would write for it: the report's former text
# (bench/naive_sql), with the parameters the screen filled as literals, run by the sqlite3 shell
# writing CSV. A month and a year, CSV and PDF; the application and the shell alternate run by run
# and each figure is a median. Prints one table of ratios (application / shell).
#
# The shell runs twice: on a copy of the database with the indexes it had before the reports' own
# (IX_VENDA_FILIAL_DATA on CDFILIAL, DTVENDA only: the user's query on the user's database, the
# baseline), and on the same database as the application (what the indexes alone give that query).
#
# The floor: what no screen on these libraries can go under. bench_qt_floor (a bare Qt Widgets
# program showing a main window with an MDI child, then quitting) plus the report's own text run by
# the shell with the parameters bound as the application binds them. floor/before under 1.0 means the
# target can be reached at all; app/floor is what the host and the screen add on top.
#
#   bench/reports_vs_shell.sh [BUILD_DIR]          (default: build-bench next to this folder)
#   env: DB=path        SQLite demo database (default BUILD_DIR/benchdata/sales1m.sqlite, made when missing)
#        SALES=N        sales of the generated database (default 1000000)
#        RUNS=N         runs of each side per line (default 3)
#        BRANCH=0001    REPORTS="vendas_por_hora ..." (file names without .json; default all)
#        FORMATS="csv pdf"   PERIODS="month year"
#        FBDB=path      a Firebird database of the same seed and size (a file for the embedded engine,
#                       host:path for a server): adds lines for the application on Firebird against
#                       isql-fb running the former Firebird text, and against the application on SQLite
#        FBUSER, FBPASSWORD (default SYSDBA / masterkey)
#        FBSHELL=0      skip isql-fb on the former Firebird text (minutes a run over a year): only the
#                       application on Firebird against the application on SQLite
#        SAME=0         skip the shell run on the application's database (the "same" columns)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=${1:-$src/build-bench}
sales=${SALES:-1000000}
db=${DB:-$build/benchdata/sales$((sales / 1000000))m.sqlite}
runs=${RUNS:-3}
branch=${BRANCH:-0001}
formats=${FORMATS:-csv pdf}
periods=${PERIODS:-month year}
fbdb=${FBDB:-}
fbuser=${FBUSER:-SYSDBA}
fbpassword=${FBPASSWORD:-masterkey}

for tool in jq sqlite3 bc; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[[ -z $fbdb ]] || command -v isql-fb >/dev/null || { echo "needs isql-fb for FBDB" >&2; exit 2; }
[[ -x $build/bin/backoffice && -x $build/bin/bo-demo-gen && -x $build/bin/bench_qt_floor ]] ||
    { echo "build $build first" >&2; exit 2; }

if [[ ! -f $db ]]; then
    mkdir -p "$(dirname "$db")"
    echo "generating $db ($sales sales) ..." >&2
    "$build/bin/bo-demo-gen" --driver QSQLITE --db "$db" --sales "$sales" --seed 1 --quiet
fi

db=$(realpath "$db")
build=$(realpath "$build")

# The same rows with the former index, for the baseline.
before=${db%.sqlite}.before.sqlite
if [[ ! -f $before || $before -ot $db ]]; then
    echo "making $before (the former index) ..." >&2
    cp "$db" "$before.tmp"
    sqlite3 "$before.tmp" "DROP INDEX IX_VENDA_FILIAL_DATA; CREATE INDEX IX_VENDA_FILIAL_DATA ON VENDA (CDFILIAL, DTVENDA);
                           PRAGMA analysis_limit = 1000; ANALYZE;"
    mv "$before.tmp" "$before"
fi

reports=${REPORTS:-$(jq -r '.reports[].file | sub("\\.json$"; "")' "$src/reports/Vnd025/index.json")}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

read -r first last < <(sqlite3 -separator ' ' "$db" "SELECT MIN(DTVENDA), MAX(DTVENDA) FROM VENDA")
month_first="${last:0:8}01"
# The product reports: every product sold.
read -r product_first product_last < <(sqlite3 -separator ' ' "$db" "SELECT MIN(CDARVPROD), MAX(CDARVPROD) FROM PRODUTO WHERE CDNVPRODUTO = '3'")
shown() { local d=$1; echo "${d:8:2}/${d:5:2}/${d:0:4}"; }

# script NAME DRIVER DATABASE TITLE FROM TO FILE: a screen script that saves one report as FILE.
script() {
    local out=$1 driver=$2 name=$3 title=$4 from=$5 to=$6 file=$7
    jq -n --arg driver "$driver" --arg name "$name" --arg user "$fbuser" --arg password "$fbpassword" \
        --arg title "$title" --arg branch "$branch" --arg from "$(shown "$from")" --arg to "$(shown "$to")" \
        --arg file "$file" --arg pde "$product_first" --arg pate "$product_last" '
      {config: {database: ({driver: $driver, name: $name}
                           + (if $driver == "QIBASE" then {user: $user, password: $password} else {} end))},
       steps: ([{open: "Vnd02500"}, {select: $title}, {set: ["edtFilial", $branch]},
                {set: ["depDtHrIni", $from]}, {set: ["depDtHrFin", $to]}]
               + (if ($title | test("Produto")) then [{set: ["medDe", $pde]}, {set: ["medAte", $pate]}] else [] end)
               + [{answer: {file: $file}}, {click: "sbtSalvarComo"}])}' > "$out"
}

# literal SQLFILE PARAMS: the text with each :NAME replaced by its value (text quoted, numbers as they
# are, a date-time at midnight as the date alone, the way a user writes a date).
literal() {
    jq -Rrs --argjson p "$2" '
      gsub(":(?<n>[A-Za-z_][A-Za-z_0-9]*)";
           ($p[.n]) as $v
           | if $v == null then "NULL"
             elif ($v | type) == "number" then ($v | tostring)
             else "'"'"'" + ($v | tostring | sub("T00:00:00$"; "") | gsub("'"'"'"; "'"''"'")) + "'"'"'" end)
    ' "$1"
}

# bound PARAMS DEFINITION: the report's own default text behind the shell's .param lines, each value
# bound as the report engine binds it on SQLite (text; a date-time as yyyy-MM-ddTHH:mm:ss.zzz).
bound() {
    jq -r 'to_entries[] | ".param set :\(.key) \"" +
        (if (.value | type) == "number" then (.value | tostring)
         else "'"'"'" + (.value | tostring | sub("(?<t>T[0-9]{2}:[0-9]{2}:[0-9]{2})$"; "\(.t).000") | gsub("'"'"'"; "'"''"'")) + "'"'"'" end) + "\""' <<< "$1"
    jq -r '.sql | (if type == "object" then .default else . end) | (if type == "array" then join("\n") else . end)' "$2"
}

seconds() { # command...: wall seconds of one run, output discarded
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc -l
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

run_sqlite3() { sqlite3 -csv -header "$1" < "$2" > "$work/shell.csv"; }
run_isql() { isql-fb -user "$fbuser" -password "$fbpassword" -i "$1" -o "$work/shell.txt" "$fbdb"; }
run_app() { "$build/bin/backoffice" --script "$1"; }
run_floor() { QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/bench_qt_floor"; }
run_bound() { sqlite3 -csv -header "$db" ".read $1" > "$work/bound.csv"; }

echo "database: $db ($(sqlite3 "$db" 'SELECT COUNT(*) FROM VENDA') sales), branch $branch"
echo "month: $month_first to $last; year: $first to $last; runs per line: $runs"
[[ -z $fbdb ]] || echo "firebird: $fbdb"
echo "load before: $(uptime)"
echo

table="$work/table.txt"
printf '%-28s %-6s %-8s %-4s %8s %8s %6s %8s %6s %8s %6s %s\n' report period engine fmt "app s" "before s" ratio "same s" ratio \
    "floor s" "f/bef" "rows app/shell" > "$table"

# The host's own start, the same for every line.
jq -n --arg name "$db" --arg branch "$branch" \
    '{config: {database: {driver: "QSQLITE", name: $name}},
      steps: [{open: "Vnd02500"}, {select: "Vendas por Hora"}, {set: ["edtFilial", $branch]}]}' > "$work/open.json"
open_times=() floor_times=()
for ((i = 0; i < runs; i++)); do
    open_times+=("$(seconds run_app "$work/open.json")")
    floor_times+=("$(seconds run_floor)")
done
qt_floor=$(median "${floor_times[@]}")

for report in $reports; do
    # A report written period-first has no former text: there is no user's query to race.
    if [[ ! -f $here/naive_sql/$report.sql ]]; then
        echo "$report: no former text under bench/naive_sql, skipped" >&2
        continue
    fi
    definition=$src/reports/Vnd025/$report.json
    title=$(jq -r .title "$definition")
    for period in $periods; do
        from=$first
        [[ $period == month ]] && from=$month_first
        # One run first: the parameters the screen filled are the ones the shell gets as literals.
        script "$work/probe.json" QSQLITE "$db" "$title" "$from" "$last" "$work/probe.csv"
        run_app "$work/probe.json" > "$work/probe.out" 2> "$work/probe.err" || true
        params=$(jq -c 'select(.params) | .params' "$work/probe.out" | tail -n 1)
        [[ -n $params && -s $work/probe.csv ]] || { echo "$title: the screen wrote no report" >&2; cat "$work/probe.out" "$work/probe.err" >&2; exit 1; }
        literal "$here/naive_sql/$report.sql" "$params" > "$work/shell.sql"
        run_sqlite3 "$before" "$work/shell.sql"
        bound "$params" "$definition" > "$work/bound.sql"
        run_bound "$work/bound.sql"
        # Line counts only: sums in another order may differ in the last binary digit.
        [[ $(wc -l < "$work/shell.csv") == $(wc -l < "$work/bound.csv") ]] ||
            echo "$report $period: the report's own text gave another number of rows than the former text" >&2
        rows="$(($(wc -l < "$work/probe.csv") - 1))/$(($(wc -l < "$work/shell.csv") - 1))"
        for format in $formats; do
            script "$work/app.$format.json" QSQLITE "$db" "$title" "$from" "$last" "$work/app.$format"
        done
        declare -A app=()
        old=() same=() own=()
        for ((i = 0; i < runs; i++)); do
            for format in $formats; do
                app[$format]+=" $(seconds run_app "$work/app.$format.json")"
            done
            old+=("$(seconds run_sqlite3 "$before" "$work/shell.sql")")
            own+=("$(seconds run_bound "$work/bound.sql")")
            if [[ ${SAME:-1} != 0 ]]; then same+=("$(seconds run_sqlite3 "$db" "$work/shell.sql")"); else same+=(0); fi
        done
        o=$(median "${old[@]}") m=$(median "${same[@]}")
        floor=$(echo "$qt_floor + $(median "${own[@]}")" | bc -l)
        for format in $formats; do
            # shellcheck disable=SC2086
            a=$(median ${app[$format]})
            same_s=- same_r=-
            if [[ $m != 0 ]]; then same_s=$(printf '%.3f' "$m") same_r=$(printf '%.2f' "$(echo "$a / $m" | bc -l)"); fi
            printf '%-28s %-6s %-8s %-4s %8.3f %8.3f %6.2f %8s %6s %8.3f %6.2f %s\n' "$report" "$period" sqlite "$format" "$a" \
                "$o" "$(echo "$a / $o" | bc -l)" "$same_s" "$same_r" "$floor" "$(echo "$floor / $o" | bc -l)" "$rows" |
                tee -a "$table"
            [[ $format != csv ]] || sqlite_app=$a
        done
        unset app
        if [[ -n $fbdb ]]; then
            { literal "$here/naive_sql/$report.ib.sql" "$params"; echo ';'; } > "$work/shell.ib.sql"
            script "$work/fb.json" QIBASE "$fbdb" "$title" "$from" "$last" "$work/fb.csv"
            fbapp=() shell=()
            for ((i = 0; i < runs; i++)); do
                fbapp+=("$(seconds run_app "$work/fb.json")")
                if [[ ${FBSHELL:-1} != 0 ]]; then shell+=("$(seconds run_isql "$work/shell.ib.sql")"); else shell+=(0); fi
            done
            a=$(median "${fbapp[@]}") s=$(median "${shell[@]}") r=0
            [[ $s == 0 ]] || r=$(echo "$a / $s" | bc -l)
            printf '%-28s %-6s %-8s %-4s %8.3f %8.3f %6.2f %8s %6s %8s %6s %s\n' "$report" "$period" firebird csv "$a" "$s" \
                "$r" "" "" "" "" "Firebird/SQLite application: $(printf '%.2f' "$(echo "$a / $sqlite_app" | bc -l)")" \
                | tee -a "$table"
        fi
    done
done

echo
echo "load after: $(uptime)"
printf 'host start and screen, no report: median %.3f s; bare Qt Widgets window (bench_qt_floor): median %.3f s\n' \
    "$(median "${open_times[@]}")" "$qt_floor"
echo "before: the former text run by sqlite3 on the database with the former index (isql-fb on the same file for"
echo "Firebird); same: that text by sqlite3 on the application's database; ratio: application / shell; floor: the bare"
echo "Qt window plus the report's own text by sqlite3 with its parameters bound; f/bef: floor / before; rows: CSV lines"
echo
cat "$table"
