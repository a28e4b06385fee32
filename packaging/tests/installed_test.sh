#!/usr/bin/env bash
# The installed tool set works on its own: installed into a temporary prefix, copied elsewhere,
# and run from an unrelated folder with the source and build trees hidden (an empty tmpfs
# mounted over each in a private mount namespace), with fresh settings.
#   installed_test.sh SOURCE_DIR BUILD_DIR VERSION [sanitized]
# A sanitized build keeps source paths in the programs for its own reports: the search for
# compiled-in paths is then left to the other builds, the hidden trees still prove none is read.
set -euo pipefail
SRC=$(cd "$1" && pwd -P)
BUILD=$(cd "$2" && pwd -P)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fail() { echo "ÉCHEC : $*" >&2; exit 1; }

# Installed, stripped as the package is, then moved: nothing may point at the first prefix.
cmake --install "$BUILD" --prefix "$TMP/stage" --strip >/dev/null
mkdir -p "$TMP/moved"
mv "$TMP/stage" "$TMP/moved/usr"
P="$TMP/moved/usr"

# No program carries a path of the source or build tree.
for program in morvex morvexcli tallymor morvexsetup tabstrap lintrim linenum; do
    [ -x "$P/bin/$program" ] || fail "$program n'est pas installé"
    [ "${4:-}" = sanitized ] && continue
    if strings "$P/bin/$program" | grep -F -e "$SRC" -e "$BUILD" >/dev/null; then
        fail "$program contient un chemin de l'arbre des sources ou de construction"
    fi
done
for f in share/morvex/templates/lib/morvex_sql.tpl share/morvex/docs/manual.html \
         share/morvex/examples/clients.fyk share/morvex/examples/import/layout_tab.fyk \
         share/morvex/icons/description.svg share/applications/morvex-fylatek.desktop \
         share/applications/tallymor.desktop share/mime/packages/morvex-fylatek.xml \
         share/icons/hicolor/scalable/apps/morvex.svg share/icons/hicolor/48x48/apps/tallymor.png \
         share/man/man1/morvexcli.1.gz share/bash-completion/completions/morvexcli \
         share/doc/morvex-fylatek/copyright share/doc/morvex-fylatek/changelog.gz; do
    [ -e "$P/$f" ] || fail "$f n'est pas installé"
done

# The rest runs with the source and build trees out of reach.
cat >"$TMP/inside.sh" <<'INSIDE'
set -euo pipefail
fail() { echo "ÉCHEC : $*" >&2; exit 1; }
# The build tree first: it may lie inside the source tree.
mount -t tmpfs none "$BUILD"
mount -t tmpfs none "$SRC"
[ -z "$(ls -A "$SRC")" ] || fail "l'arbre des sources est encore visible"
export PATH="$P/bin:/usr/bin:/bin"
export HOME="$TMP/home" MORVEX_CONFIG_DIR="$TMP/config" XDG_STATE_HOME="$TMP/state"
export XDG_DATA_HOME="$TMP/data" XDG_CONFIG_HOME="$TMP/home/.config"
mkdir -p "$HOME" "$TMP/work"
cd "$TMP/work"

for program in morvex morvexcli tallymor morvexsetup tabstrap lintrim linenum; do
    "$program" --version | head -1 | grep -qx "$program (Morvex Fylatek) $VERSION" ||
        fail "$program --version"
done

# analyse, load and query of a CSV.
cp "$P/share/morvex/examples/clients.csv" .
morvexcli analyse clients.csv -o clients.fyk >/dev/null
morvexcli load clients.fyk clients.db >/dev/null
rows=$(morvexcli query clients.db "SELECT count(*) AS n FROM clients" | tail -1 | tr -dc '0-9')
[ "$rows" -gt 0 ] || fail "query : aucune ligne chargée"

# Every bundled template generates with no setting, named by its path or by its name alone.
for tpl in "$P"/share/morvex/templates/*.tpl; do
    name=$(basename "$tpl")
    morvexcli generate clients.fyk --template "$tpl" --out gen >/dev/null 2>gen.err ||
        { cat gen.err >&2; fail "generate $name"; }
    morvexcli generate clients.fyk --template "$name" --out gen-name >/dev/null 2>gen.err ||
        { cat gen.err >&2; fail "generate $name (par son nom)"; }
done
[ "$(find gen -type f | wc -l)" -ge 5 ] || fail "generate : fichiers manquants"

# The bundled example description names its data file relative to itself: it reads from here.
morvexcli count "$P/share/morvex/examples/clients.fyk" >/dev/null || fail "count de l'exemple installé"
morvexcli preview "$P/share/morvex/examples/clients.fyk" | grep -q . || fail "preview de l'exemple installé"

# The desktop program started offscreen finds its manual and Qt's French texts.
QT_QPA_PLATFORM=offscreen morvex --exit-after-startup >/dev/null 2>&1 || fail "morvex ne démarre pas"
log=$(find "$TMP/state" -name MorvexFylatek.log | head -1)
[ -n "$log" ] || fail "morvex n'a pas écrit de log"
grep -q "Manuel : \[$P/share/morvex/docs/manual.html\]" "$log" || fail "morvex ne trouve pas son manuel"
grep -q "Traduction de Qt : \[.*qtbase_fr.qm\]" "$log" || fail "morvex ne trouve pas ses traductions"
# It wrote no desktop entry of its own (the package brought one; the first run's registration is
# for build trees only, fileassoc_test).
[ ! -e "$XDG_DATA_HOME/applications/morvex-fylatek.desktop" ] ||
    fail "morvex a écrit sa propre entrée de bureau"
echo "OK"
INSIDE
SRC="$SRC" BUILD="$BUILD" P="$P" TMP="$TMP" VERSION="$3" unshare -rm bash "$TMP/inside.sh"
