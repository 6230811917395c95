#!/usr/bin/env bash
# A PostgreSQL copy of a demo SQLite file, for the server benchmarks: the schema, keys, indexes,
# grants, chain and products from bo-demo-gen (no sales), the sales, items and payments through
# COPY, then the sales summaries made by `bo-demo-gen --summary`. Prints the time of each step.
#   bench/pg_from_sqlite.sh SQLITE_FILE DATABASE HOST PORT [BUILD_DIR]   (user postgres)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
file=${1:?usage: pg_from_sqlite.sh SQLITE_FILE DATABASE HOST PORT [BUILD_DIR]}
database=${2:?} host=${3:?} port=${4:?}
build=${5:-$(dirname "$here")/build}
psql=(psql -X -q -v ON_ERROR_STOP=1 -h "$host" -p "$port" -U postgres)
step() { local t0; t0=$(date +%s.%N); "$@"; printf '%-40s %8.1f s\n' "$STEP" "$(echo "$(date +%s.%N) - $t0" | bc -l)"; }

"${psql[@]}" -d postgres -c "DROP DATABASE IF EXISTS $database" -c "CREATE DATABASE $database"
STEP="schema (bo-demo-gen --sales 0)" step "$build/bin/bo-demo-gen" --driver QPSQL --db "$database" --host "$host" \
    --port "$port" --user postgres --sales 0 --quiet
# The load does not pay the summaries' triggers per row; --summary makes them again afterwards.
"${psql[@]}" -d "$database" -c "DROP FUNCTION IF EXISTS RESVENDA_MANTER() CASCADE" 2>/dev/null
# The chain and the products come from the generator itself (the same seed gives the same rows).
for table in VENDA ITVENDA PAGVENDA; do
    STEP="COPY $table" step bash -c "sqlite3 -csv '$file' 'SELECT * FROM $table' | ${psql[*]} -d $database -c '\\copy $table FROM STDIN CSV'"
done
STEP="ANALYZE" step "${psql[@]}" -d "$database" -c ANALYZE
STEP="summaries (bo-demo-gen --summary)" step "$build/bin/bo-demo-gen" --driver QPSQL --db "$database" --host "$host" \
    --port "$port" --user postgres --summary
STEP="ANALYZE" step "${psql[@]}" -d "$database" -c ANALYZE
"${psql[@]}" -d "$database" -c "SELECT relname, pg_size_pretty(pg_relation_size(oid)) AS size FROM pg_class
    WHERE relnamespace = 'public'::regnamespace AND relkind IN ('r', 'i') ORDER BY pg_relation_size(oid) DESC"
