#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages) and builds the project.
# Usage: tools/setup.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config googletest libgtest-dev
          qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools libgl1-mesa-dev
          libqt6sql6-sqlite libqt6sql6-ibase libqt6sql6-odbc libqt6sql6-psql libpq-dev
          firebird3.0-server firebird-dev libsqlite3-dev sqlite3
          libxlsxwriter-dev poppler-utils xvfb xauth clang libclang-rt-14-dev
          tzdata qt6-translations-l10n
          unixodbc unixodbc-dev odbc-postgresql libsqliteodbc postgresql
          libreoffice-calc-nogui unzip libcurl4-openssl-dev python3-aiosmtpd)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    # The Firebird server package must not try to start a service here.
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

BUILD_DIR="${1:-build}"
shift || true
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
