#!/usr/bin/env bash
# Installs every package that building, testing and benchmarking Morvex Fylatek needs on
# Debian 12. Idempotent and quiet when everything is already there. Run as root, or with sudo.
set -euo pipefail

PACKAGES=(
  # build
  build-essential g++ cmake ninja-build pkg-config
  # libraries
  libssl-dev libcli11-dev nlohmann-json3-dev unixodbc-dev libsqlite3-dev libpugixml-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libcurl4-openssl-dev
  # Qt's own French texts for the standard dialogs of the desktop programs
  qt6-translations-l10n
  # tests
  googletest libgtest-dev libgmock-dev python3 python3-dateutil libsqliteodbc odbcinst sqlite3
  # tests against a real PostgreSQL server (pg_virtualenv) and its ODBC driver
  postgresql postgresql-common odbc-postgresql
  # benchmark inputs
  gawk
)
# `install-deps.sh fuzz` adds clang and libFuzzer for the fuzz targets; `install-deps.sh bench`
# adds the benchmark tools and peers (Node.js only when no node is installed: a machine may
# carry its own build of it).
case "${1:-}" in
  fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
  bench)
    PACKAGES+=(hyperfine miller time sqlite3)
    command -v node >/dev/null || PACKAGES+=(nodejs)
    command -v npm >/dev/null || PACKAGES+=(npm)
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
