#!/usr/bin/env bash
# Installs every package that building, testing and benchmarking Morvex Fylatek needs on
# Debian 12. Idempotent and quiet when everything is already there. Run as root, or with sudo.
set -euo pipefail

PACKAGES=(
  # build
  build-essential g++ cmake ninja-build pkg-config
  # libraries
  libssl-dev libcli11-dev nlohmann-json3-dev unixodbc-dev libsqlite3-dev libpugixml-dev libexpat1-dev libpq-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libcurl4-openssl-dev
  # compressed data files read as they are (gzip through ISA-L's inflate, zstd, xz, bzip2)
  libisal-dev libzstd-dev liblzma-dev libbz2-dev
  # Qt's own French texts for the standard dialogs of the desktop programs
  qt6-translations-l10n
  # tests
  googletest libgtest-dev libgmock-dev python3 python3-dateutil libsqliteodbc odbcinst sqlite3
  # the time zone table the query tool's grid tests sort (tzdata's zone1970.tab)
  tzdata
  # the French word list a real-size data dictionary is built from in its tests
  wfrench
  # Debian's release table (distro-info-data, below), real data of the PostgreSQL load test too
  # compressed inputs of the pipeline tests (their published data file: distro-info-data, below)
  gzip zstd xz-utils bzip2
  # a large real text for the byte source's tests (the Unicode bidirectional test cases)
  unicode-data
  # tests against a real PostgreSQL server (pg_virtualenv) and its ODBC driver
  postgresql postgresql-common odbc-postgresql
  # benchmark inputs
  gawk
  # the column profile's tests: its HTML report opened by a real headless browser, its figures
  # checked over the release tables Debian publishes
  chromium distro-info-data
  # packaging: icons drawn from SVG, manual pages from --help (in French: the fr_FR locale),
  # the Debian package checked by lintian, the desktop entries and file types validated
  librsvg2-bin help2man locales lintian desktop-file-utils libxml2-utils shared-mime-info file
  bash-completion
)
# The T-SQL parser of the SQL Server script tests runs on Node.js (a machine may carry its own
# build of node: the packages only when none is installed).
command -v node >/dev/null || PACKAGES+=(nodejs)
command -v npm >/dev/null || PACKAGES+=(npm)
# `install-deps.sh fuzz` adds clang and libFuzzer for the fuzz targets; `install-deps.sh bench`
# adds the benchmark tools and peers.
case "${1:-}" in
  fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
  bench)
    PACKAGES+=(hyperfine miller time sqlite3 python3-pandas python3-sklearn)
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# help2man writes the manual pages' headings in French under the fr_FR.UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR.utf8'; then
  echo "Generating the fr_FR.UTF-8 locale"
  $SUDO localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
fi

# The tests' own tools that Debian does not package go outside the source tree, into the folder
# the build is configured with (CMake cache entry MORVEX_TEST_TOOLS_DIR, same default).
TOOLS_DIR="${MORVEX_TEST_TOOLS_DIR:-/opt/morvex-test-tools}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TSQL_SRC="$HERE/mssql/tests/tsql"
TSQL_DIR="$TOOLS_DIR/tsql"
if ! cmp -s "$TSQL_SRC/package-lock.json" "$TSQL_DIR/package-lock.json" ||
   [ ! -f "$TSQL_DIR/node_modules/node-sql-parser/package.json" ]; then
  echo "Installing node-sql-parser into $TSQL_DIR"
  $SUDO mkdir -p "$TSQL_DIR"
  $SUDO cp "$TSQL_SRC/package.json" "$TSQL_SRC/package-lock.json" "$TSQL_DIR/"
  (cd "$TSQL_DIR" && $SUDO npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
