#!/usr/bin/env bash
# The Debian package as `cpack -G DEB` builds it: its name, its dependencies (dpkg-shlibdeps,
# plus SQLite opened by dlopen), its files under /usr, programs that run from its extracted
# tree, and no error from lintian.
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$(cd "$1" && pwd -P)
VERSION=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fail() { echo "ÉCHEC : $*" >&2; exit 1; }

cpack -G DEB -B "$TMP/out" --config "$BUILD/CPackConfig.cmake" >"$TMP/cpack.log" 2>&1 ||
    { cat "$TMP/cpack.log" >&2; fail "cpack"; }
arch=$(dpkg --print-architecture)
deb="$TMP/out/morvex-fylatek_${VERSION}_${arch}.deb"
[ -f "$deb" ] || { ls "$TMP/out" >&2; fail "paquet $deb absent"; }

depends=$(dpkg-deb -f "$deb" Depends)
for d in libsqlite3-0 libpq5 libqt6widgets6 libc6 libstdc++6 libodbc2 libcurl4 libssl3; do
    grep -q "\b$d\b" <<<"$depends" || fail "dépendance $d absente : $depends"
done

dpkg-deb -c "$deb" >"$TMP/contents"
for f in ./usr/bin/morvex ./usr/bin/morvexcli ./usr/bin/tallymor ./usr/bin/morvexsetup \
         ./usr/bin/tabstrap ./usr/bin/lintrim ./usr/bin/linenum \
         ./usr/share/morvex/templates/lib/morvex_sql.tpl ./usr/share/morvex/docs/manual.html \
         ./usr/share/applications/morvex-fylatek.desktop ./usr/share/man/man1/morvexcli.1.gz \
         ./usr/share/doc/morvex-fylatek/copyright ./usr/share/doc/morvex-fylatek/changelog.gz; do
    grep -q " $f\$" "$TMP/contents" || fail "$f absent du paquet"
done

dpkg-deb -x "$deb" "$TMP/root"
"$TMP/root/usr/bin/morvexcli" --version | head -1 | grep -qx "morvexcli (Morvex Fylatek) $VERSION" ||
    fail "morvexcli --version du paquet"
(cd "$TMP" && "$TMP/root/usr/bin/morvexcli" count "$TMP/root/usr/share/morvex/examples/clients.fyk" >/dev/null) ||
    fail "morvexcli count de l'exemple du paquet"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$TMP/lintian.log" 2>&1 ||
    { cat "$TMP/lintian.log" >&2; fail "lintian"; }
cat "$TMP/lintian.log"
echo OK
