#!/usr/bin/env bash
# Fails when a file of the host includes a header of a room it may not use. The build refuses most
# of these already (each room sees only the include folders of the rooms it links); this check also
# catches a path written out ("../shell/x.h") and says which rule was broken.
# Fails too when a file of the host names a control, a parameter or a table of a module: the host
# knows no module, each module supplies what the host asks of it (its screen, its export driver).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root/host"

declare -A MAY_USE=(
    [data]="data"
    [toolkit]="toolkit data"
    [report]="report toolkit data"
    [shell]="shell report toolkit data"
    [script]="script shell report toolkit data"
)

# The room that holds a header, by file name ("" when the header is not the host's).
room_of() {
    local name="$1" room
    for room in "${!MAY_USE[@]}"; do
        [ -f "$room/$name" ] && { echo "$room"; return; }
    done
    echo ""
}

failures=0
for room in "${!MAY_USE[@]}"; do
    while IFS= read -r line; do
        file="${line%%:*}"
        header="$(sed -E 's/^[^"]*"([^"]+)".*/\1/' <<<"${line#*:}")"
        [ "$header" = "host_global.h" ] && continue
        owner="$(room_of "$(basename "$header")")"
        [ -z "$owner" ] && continue # Qt, the system, generated ui_*.h and moc files
        if [[ " ${MAY_USE[$room]} " != *" $owner "* ]]; then
            echo "host/$file includes $header, a header of host/$owner; host/$room may use: ${MAY_USE[$room]}"
            failures=$((failures + 1))
        fi
    done < <(grep -HE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$room"/*.h "$room"/*.cpp 2>/dev/null || true)
done

if [ "$failures" -gt 0 ]; then
    echo "check-rooms: $failures include(s) against the host's rooms"
fi

# The module's names, read from its own files so that a new control or parameter is checked as soon
# as it exists: the widgets of its forms (not a form's root, the base screen's group box it fills)
# and the objects it names in code, the parameters of its code and its report definitions, and the
# tables its statements read.
MODULE_DIRS=(form module report_params lookups)
module_files() { find "${MODULE_DIRS[@]/#/$root/}" -type f "$@"; }
controls="$( (module_files -name '*.ui' -exec awk 'FNR == 1 { n = 0 } /<widget / && n++ > 0' {} + |
    sed -nE 's/.*<widget [^>]*name="([A-Za-z_][A-Za-z0-9_]*)".*/\1/p'
    module_files \( -name '*.cpp' -o -name '*.h' \) -exec grep -hoE 'setObjectName\((u|QStringLiteral\()?"[A-Za-z_][A-Za-z0-9_]*"' {} + |
    sed -E 's/.*"(.*)"/\1/') || true)"
sources() { module_files; find "$root/reports" -type f -name '*.json'; }
params="$(sources | xargs grep -hoE '\b(P_[A-Z0-9_]+|MINUTOS[0-9]*)\b' || true)"
tables="$(sources | xargs grep -hoP '\b(FROM|JOIN)\s+\K[A-Z][A-Z0-9_]{2,}\b(?!\s*\()' || true)"
names="$(printf '%s\n' "$controls" "$params" "$tables" | grep -v '^$' | sort -u)"
if [ "$(wc -l <<<"$names")" -lt 20 ]; then
    echo "check-rooms: too few of the module's names found ($(wc -l <<<"$names")); the check would prove nothing"
    exit 1
fi

# What the host itself owns, by the system's contract: file (a glob under host/) and the names it may use.
ALLOWED=(
    "shell/lib00210.*|PRODUTO ITVENDA"  # the report screens' product search is the host's (SQL_Pesquisa_Produto_CDS)
    "shell/hostsession.cpp|PRODUTO"     # the product-tree code mask (DBPict) is checked against PRODUTO.CDARVPROD
)
allowed() {
    local file="$1" name="$2" rule
    for rule in "${ALLOWED[@]}"; do # the rule's file is a glob, left unquoted
        [[ "$file" == ${rule%%|*} && " ${rule#*|} " == *" $name "* ]] && return 0
    done
    return 1
}

named=0
pattern="$(paste -sd'|' <<<"$names")"
while IFS=: read -r file line name; do
    allowed "$file" "$name" && continue
    echo "host/$file:$line names $name, of the module"
    named=$((named + 1))
done < <(grep -rnowE --include='*.cpp' --include='*.h' "($pattern)" . | sed 's|^\./||' || true)

if [ "$named" -gt 0 ]; then
    echo "check-rooms: $named name(s) of a module in the host"
fi
if [ "$failures" -gt 0 ] || [ "$named" -gt 0 ]; then
    exit 1
fi
echo "check-rooms: every host include points down, and the host names no module's control, parameter or table"
