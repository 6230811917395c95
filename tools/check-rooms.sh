#!/usr/bin/env bash
# Fails when a file of the host includes a header of a room it may not use. The build refuses most
# of these already (each room sees only the include folders of the rooms it links); this check also
# catches a path written out ("../shell/x.h") and says which rule was broken.
set -euo pipefail
cd "$(dirname "$0")/../host"

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
    exit 1
fi
echo "check-rooms: every host include points down"
