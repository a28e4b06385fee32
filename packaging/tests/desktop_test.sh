#!/usr/bin/env bash
# The desktop entries and the file types as the package installs them: the entries valid, the
# MIME file well formed and accepted by update-mime-database, descriptions known by their
# extension and content, templates by their content and their own pattern but not by every
# .tpl file.
#   desktop_test.sh PACKAGING_DIR
set -euo pipefail
DIR=$1
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fail() { echo "ÉCHEC : $*" >&2; exit 1; }

desktop-file-validate "$DIR/morvex-fylatek.desktop" "$DIR/tallymor.desktop"
xmllint --noout "$DIR/morvex-fylatek.xml"

mkdir -p "$TMP/mime/packages"
cp "$DIR/morvex-fylatek.xml" "$TMP/mime/packages/"
update-mime-database "$TMP/mime" 2>"$TMP/update.err" || { cat "$TMP/update.err" >&2; fail "update-mime-database"; }
grep -qx '50:application/x-morvex-fylatek-fyk:\*.fyk' "$TMP/mime/globs2" || fail "*.fyk"
grep -q 'application/x-morvex-fylatek-tpl:\*.morvex.tpl' "$TMP/mime/globs2" || fail "*.morvex.tpl"
if grep -q ':\*\.tpl$' "$TMP/mime/globs2"; then fail "tous les fichiers .tpl sont revendiqués"; fi
grep -q 'application/x-morvex-fylatek-fyk' "$TMP/mime/magic" || fail "magie des descriptions"
grep -q 'application/x-morvex-fylatek-tpl' "$TMP/mime/magic" || fail "magie des templates"
# Every type the desktop program opens is declared.
types=$(sed -n 's/^MimeType=//p' "$DIR/morvex-fylatek.desktop" | tr ';' '\n' | sed '/^$/d')
for t in $types; do
    grep -q "type=\"$t\"" "$DIR/morvex-fylatek.xml" || fail "$t n'est pas déclaré"
done
echo OK
