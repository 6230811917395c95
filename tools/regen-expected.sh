#!/bin/sh
# Rewrites tests/expected/*.csv, the expected CSV of every report on the test demo database, from
# what the build's export writes now. Read `git diff tests/expected` before committing them.
# Usage: tools/regen-expected.sh [build folder, default build]
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cmake --build "$build" -j2 --target test_export
BO_REGEN_EXPECTED=1 QT_QPA_PLATFORM=offscreen "$build/bin/test_export" --gtest_filter='ExpectedReports.*'
git -C "$source_dir" status --short -- tests/expected
