#!/usr/bin/env bash
# Fails when the screen connects a signal without connectHandler (host/toolkit/eventboundary.h):
# a handler connected plainly would let its exception run through Qt's signal dispatch. The screen
# has no other reason to call connect, so any call of it is reported.
set -euo pipefail
cd "$(dirname "$0")/.."

if matches="$(grep -nE '(^|[^[:alnum:]_])connect[[:space:]]*\(' form/*.cpp form/*.h report_params/*.cpp report_params/*.h)"; then
    echo "$matches"
    echo "check-handlers: connect the screen's handlers with connectHandler, not connect"
    exit 1
fi
echo "check-handlers: every handler of the screen is connected through the event boundary"
