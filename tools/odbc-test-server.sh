#!/usr/bin/env bash
# A throw-away PostgreSQL cluster on 127.0.0.1 and the ODBC data sources the tests use.
#   tools/odbc-test-server.sh start STATE_DIR   # cluster under /tmp, STATE_DIR/odbc.ini and odbcinst.ini
#   tools/odbc-test-server.sh stop  STATE_DIR   # stops the cluster and removes its folder
# The tests point ODBCINI at STATE_DIR/odbc.ini and ODBCSYSINI at STATE_DIR. Data sources:
#   bo_pg      PostgreSQL through odbc-postgresql, database "postgres", user "postgres" (trust);
#              a connection string may name another database: "DSN=bo_pg;Database=x"
#   bo_sqlite  SQLite through libsqliteodbc; the file comes in the string: "DSN=bo_sqlite;Database=/f"
# Missing programs or drivers are an error, never a silent skip.
set -euo pipefail

action="${1:-}"
state="${2:-}"
if [ -z "$action" ] || [ -z "$state" ]; then
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
fi

fail() {
    echo "odbc-test-server: $*" >&2
    exit 1
}

# Runs a PostgreSQL program as the cluster's owner: `postgres` when we are root (initdb and the
# server refuse root), ourselves otherwise.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop_cluster() {
    [ -f "$state/pgdata" ] || return 0
    local dir
    dir="$(cat "$state/pgdata")"
    if [ -d "$dir/data" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    case "$dir" in
    /tmp/bo-pg.*) rm -rf "$dir" ;;
    esac
    rm -f "$state/pgdata" "$state/odbc.ini" "$state/odbcinst.ini" "$state/port"
}

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
[ -n "$bindir" ] && [ -x "$bindir/initdb" ] && [ -x "$bindir/pg_ctl" ] ||
    fail "PostgreSQL server programs not found (/usr/lib/postgresql/*/bin); install the package postgresql"

mkdir -p "$state"
if [ "$action" = stop ]; then
    stop_cluster
    exit 0
fi
[ "$action" = start ] || fail "unknown action $action"

odbcdir=/usr/lib/x86_64-linux-gnu/odbc
[ -f "$odbcdir/psqlodbcw.so" ] || odbcdir="$(dirname "$(find /usr/lib -name psqlodbcw.so -print -quit 2>/dev/null)")"
[ -f "$odbcdir/psqlodbcw.so" ] || fail "psqlodbcw.so not found; install the package odbc-postgresql"
sqliteodbc="$(find /usr/lib -name libsqlite3odbc.so -print -quit 2>/dev/null)"
[ -n "$sqliteodbc" ] || fail "libsqlite3odbc.so not found; install the package libsqliteodbc"
if [ "$(id -u)" -eq 0 ]; then
    id postgres >/dev/null 2>&1 || fail "no user postgres to run the server as"
fi

# A cluster left behind by an interrupted run goes first.
stop_cluster

dir="$(mktemp -d /tmp/bo-pg.XXXXXX)"
echo "$dir" >"$state/pgdata"
chmod 755 "$dir"
[ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; fail "initdb failed"; }

# A free port: nothing answers on it now; the server's own bind has the last word (retried).
started=""
for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        continue
    fi
    if as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories=$dir -c fsync=off \
            -c synchronous_commit=off -c full_page_writes=off -c max_connections=40" start >/dev/null; then
        started=yes
        break
    fi
done
[ -n "$started" ] || { cat "$dir/server.log" >&2 2>/dev/null || true; fail "the server did not start"; }
echo "$port" >"$state/port"

cat >"$state/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$odbcdir/psqlodbcw.so

[SQLite3]
Description=SQLite3 ODBC driver
Driver=$sqliteodbc
EOF

cat >"$state/odbc.ini" <<EOF
[bo_pg]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$port
Database=postgres
Username=postgres
Password=
SSLmode=disable

[bo_sqlite]
Driver=SQLite3
Database=
EOF
echo "odbc-test-server: PostgreSQL on 127.0.0.1:$port ($dir), data sources in $state/odbc.ini"
