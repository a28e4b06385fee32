#!/usr/bin/env bash
# Hostile data files and databases for the SQLite load: a quote never closed, blank lines,
# WINDOWS-1252's undefined bytes, a data file changed during the load, names SQLite refuses, a
# locked, full or read-only database, two loads at once and a reload killed at random moments.
# Run by tools/hostile.sh (BUILD, WORK, FAST); prints "held: <case>" or
# "FAILED: <case>: <reason>", one line per case, and exits 0.
set -u

CLI="$BUILD/cli/morvexcli"
cd "$WORK" || exit 1
mkdir -p config
export MORVEX_CONFIG_DIR="$WORK/config" LC_ALL=C.UTF-8
M=("$CLI" --log "$WORK/morvexcli.log")

held() { echo "held: $1"; }
failed() { echo "FAILED: $1: $2"; }
# verdict STATUS NAME REASON: "held" when STATUS (that of the check just run, given as $?) is
# 0, else "FAILED" with REASON.
verdict() {
    if [ "$1" = 0 ]; then held "$2"; else failed "$2" "$3"; fi
}

# load ARGS...: morvexcli load; its status in $rc, its output in out.txt and err.txt.
load() {
    timeout -k 2 120 "${M[@]}" load "$@" >out.txt 2>err.txt
    rc=$?
}
# sql DB QUERY: the sqlite3 shell's answer (errors included).
sql() { sqlite3 "$1" "$2" 2>&1; }
said() { head -c 400 "$1" | tr '\r\n' '  '; }

if [ ! -x "$CLI" ] || ! command -v sqlite3 >/dev/null; then
    failed "loadloss" "morvexcli ($CLI) ou sqlite3 introuvable"
    exit 0
fi

# A description for "id;nom;ville" files, quotes removed (UNQUOTE=1), from the analysis.
printf 'id;nom;ville\r\n1;"a";x\r\n2;"b";y\r\n' >sample.csv
"${M[@]}" analyse sample.csv -o sample.fyk >/dev/null 2>&1
sed 's/TABLENAME=sample/TABLENAME=t/' sample.fyk >t.fyk
if ! grep -aq "UNQUOTE=1" t.fyk || ! grep -aq "TABLENAME=t" t.fyk; then
    failed "loadloss" "l'analyse de sample.csv ne donne pas de description UNQUOTE=1 de table t"
    exit 0
fi

# rows N [BROKEN]: N rows of t.fyk's shape, row BROKEN without its closing quote.
rows() {
    awk -v n="$1" -v broken="${2:-0}" 'BEGIN {
        printf "id;nom;ville\r\n";
        for (i = 1; i <= n; i++) printf "%d;\"nom %d%s;ville%d\r\n", i, i, (i == broken ? "" : "\""), i;
    }'
}

# ---- A quote opened and never closed ----
name="guillemet jamais fermé : une seule ligne écartée, les suivantes chargées"
rows 100000 2 >q.csv
load t.fyk q.db --data q.csv --rejects rej.csv
stored=$(sql q.db "SELECT count(*) FROM t")
[ "$rc" = 0 ] && [ "$stored" = 99999 ] && grep -q "1 écartée(s)" out.txt &&
    grep -q "^3,,.*ligne 4" rej.csv
verdict $? "$name" "statut $rc, $stored lignes en base ; $(said out.txt) $(said err.txt)"

name="valeur sur plusieurs lignes : une valeur, comptée"
printf 'id;nom;ville\r\n1;"a\r\nb";x\r\n2;"c";y\r\n' >m.csv
load t.fyk m.db --data m.csv
value=$(sql m.db "SELECT hex(nom) FROM t WHERE id = 1")
[ "$rc" = 0 ] && [ "$value" = 610D0A62 ] &&
    grep -q "1 valeur(s) sur plusieurs lignes, la première ligne 2" out.txt
verdict $? "$name" "statut $rc, valeur $value ; $(said out.txt)"

# ---- A data file changed during the load ----
for change in cut appended; do
    name="fichier de données $([ $change = cut ] && echo tronqué || echo allongé) pendant le chargement : échec annulé, motif dit"
    printf 'id;nom;ville\r\n1;"avant";x\r\n' >c.csv
    load t.fyk c.db --data c.csv
    rows $([ "$FAST" = 1 ] && echo 1000000 || echo 3000000) >c.csv
    timeout -k 2 120 "${M[@]}" load t.fyk c.db --data c.csv >out.txt 2>err.txt &
    pid=$!
    # Once the load has written its first batches (its journal exists), the file changes.
    for _ in $(seq 1 2000); do [ -e c.db-journal ] && break; sleep 0.005; done
    sleep 0.05
    if [ $change = cut ]; then truncate -s 2000000 c.csv; else echo "9;z;z" >>c.csv; fi
    wait $pid
    rc=$?
    kept=$(sql c.db "SELECT group_concat(nom) FROM t")
    [ "$rc" != 0 ] && grep -q "a changé (taille ou date de modification) pendant la lecture" err.txt &&
        [ "$kept" = avant ]
    verdict $? "$name" "statut $rc, table [$kept] ; $(said out.txt) $(said err.txt)"
done

# ---- Blank lines ----
name="lignes vides ignorées et comptées (chargement, aperçu, comptage)"
printf 'id;nom;ville\r\n\r\n1;a;x\r\n\r\n\r\n2;b;y\r\n\r\n' >b.csv
load t.fyk b.db --data b.csv
loaded=$(sql b.db "SELECT count(*), count(nom) FROM t")
"${M[@]}" preview t.fyk --data b.csv >preview.txt 2>&1
"${M[@]}" count t.fyk --data b.csv >count.txt 2>&1
[ "$rc" = 0 ] && [ "$loaded" = "2|2" ] && grep -q "4 ligne(s) vide(s) ignorée(s)" out.txt &&
    grep -q "4 ligne(s) vide(s) ignorée(s)" preview.txt &&
    grep -q "au total 3 lignes" count.txt && grep -q "4 ligne(s) vide(s) ignorée(s)" count.txt
verdict $? "$name" "statut $rc, table [$loaded] ; $(said out.txt) $(said preview.txt) $(said count.txt)"

# ---- WINDOWS-1252's undefined bytes ----
name="octets 0x81 0x8D 0x8F 0x90 0x9D en WINDOWS-1252 : lus comme U+0081..., aucune ligne écartée"
sed 's/ENCODING=UTF-8/ENCODING=WINDOWS-1252/' t.fyk >w.fyk
printf 'id;nom;ville\r\n1;a\x81\x8D;\x8F\x90\x9D\r\n2;\xe9;x\r\n' >w.csv
load w.fyk w.db --data w.csv
hexes=$(sql w.db "SELECT group_concat(hex(nom) || hex(ville), ',') FROM t")
[ "$rc" = 0 ] && [ "$hexes" = "61C281C28DC28FC290C29D,C3A978" ] && grep -q "0 écartée(s)" out.txt
verdict $? "$name" "statut $rc, valeurs [$hexes] ; $(said out.txt) $(said err.txt)"

# ---- Names SQLite would refuse ----
name="noms de colonne en double refusés avant le chargement, avec les noms"
sed 's/NAME=ville/NAME=ID/' t.fyk >d.fyk
load d.fyk d.db --data sample.csv
# The description reader refuses them first when the description comes from a file; the load
# itself refuses those a description in memory was given.
[ "$rc" != 0 ] && { { grep -q "la table \[t\] n'a pu être créée." err.txt &&
    grep -q "Cause : noms de colonne en double ou vides : colonne 3 \[ID\] : même nom que la colonne 1 \[id\]" err.txt; } ||
    grep -q "colonnes de même nom « id » (colonne 1), « ID » (colonne 3)" err.txt; } &&
    [ ! -e d.db ]
verdict $? "$name" "statut $rc ; $(said err.txt)"

# ---- A locked database ----
name="base verrouillée par un autre programme : attendue, chargement réussi"
load t.fyk l.db --data sample.csv
(printf 'BEGIN EXCLUSIVE;\n.shell sleep 1.5\nCOMMIT;\n' | sqlite3 l.db) &
holder=$!
sleep 0.3
load t.fyk l.db --data m.csv
wait $holder
[ "$rc" = 0 ] && [ "$(sql l.db "SELECT count(*) FROM t")" = 2 ] &&
    grep -q "base verrouillée, attente…" morvexcli.log
verdict $? "$name" "statut $rc ; $(said err.txt)"

name="deux chargements simultanés dans une base : tous deux réussis"
awk 'BEGIN { printf "code;libelle\r\n"; for (i = 0; i < 200000; i++) printf "%d;l%d\r\n", i, i }' >two.csv
"${M[@]}" analyse two.csv -o two.fyk >/dev/null 2>&1
runs=$([ "$FAST" = 1 ] && echo 1 || echo 5)
both=0
rows 200000 >one.csv
for run in $(seq 1 "$runs"); do
    rm -f s.db
    "${M[@]}" load t.fyk s.db --data one.csv >/dev/null 2>s1.txt &
    p1=$!
    "${M[@]}" load two.fyk s.db >/dev/null 2>s2.txt &
    p2=$!
    wait $p1; r1=$?
    wait $p2; r2=$?
    [ "$r1" = 0 ] && [ "$r2" = 0 ] &&
        [ "$(sql s.db "SELECT (SELECT count(*) FROM t) + (SELECT count(*) FROM two)")" = 400000 ] &&
        both=$((both + 1))
done
[ "$both" = "$runs" ]
verdict $? "$name" "$both sur $runs essais gardent les deux tables ; $(said s1.txt) $(said s2.txt)"

# ---- A reload killed at random moments ----
moments=$([ "$FAST" = 1 ] && echo 2 || echo 10)
name="kill -9 à $moments moments d'un rechargement : base laissée telle qu'elle était"
printf 'id;nom;ville\r\n1;A;x\r\n2;B;y\r\n3;C;z\r\n' >small.csv
rows 1000000 >big.csv
rm -f k.db
load t.fyk k.db --data small.csv
start=$(date +%s%N)
load t.fyk k2.db --data big.csv
span=$((($(date +%s%N) - start) / 1000000))  # milliseconds of a whole load
kept=0
killed=0
found=""
for attempt in $(seq 1 $((moments * 3))); do
    [ "$killed" = "$moments" ] && break
    "${M[@]}" load t.fyk k.db --data big.csv >/dev/null 2>&1 &
    pid=$!
    # A moment within the first two thirds of a whole load; a load that ends before it is not
    # counted (its database is made as it was again, and another moment drawn).
    sleep "$(awk -v s="$span" -v r="$RANDOM" 'BEGIN { printf "%.3f", s * 0.66 * r / 32768 / 1000 }')"
    kill -9 $pid 2>/dev/null
    wait $pid 2>/dev/null
    if [ $? != 137 ]; then
        load t.fyk k.db --data small.csv
        continue
    fi
    killed=$((killed + 1))
    state=$(sql k.db "PRAGMA integrity_check; SELECT group_concat(nom, '') FROM t; SELECT count(*) FROM FylatekFileDesc;" | tr '\n' ' ')
    if [ "$state" = "ok ABC 1 " ]; then
        kept=$((kept + 1))
    else
        found="$found [$state]"
        load t.fyk k.db --data small.csv
    fi
done
[ "$kept" = "$moments" ]
verdict $? "$name" "$kept sur $moments bases intactes :$found"

# ---- A full and a read-only database, in a small file system of their own ----
# insmall SIZE SCRIPT: runs SCRIPT with sh in a private mount namespace where mnt is a tmpfs of
# SIZE; its output in small.txt. False when such a namespace cannot be made here.
insmall() {
    mkdir -p mnt
    printf 'set -e\nmount -t tmpfs -o size=%s tmpfs mnt\nCLI="%s --log %s"\n%s\n' "$1" "$CLI" \
        "$WORK/small.log" "$2" >small.sh
    unshare -rm sh small.sh >small.txt 2>&1
}
name="disque plein pendant un rechargement : cause SQLite dite, base intacte"
rows 20000 >full.csv
if insmall 96k '$CLI load t.fyk mnt/x.db --data small.csv >/dev/null
if $CLI load t.fyk mnt/x.db --data full.csv; then echo loaded; fi
sqlite3 mnt/x.db "PRAGMA integrity_check; SELECT group_concat(nom, \"\") FROM t;"'; then
    ! grep -q loaded small.txt && grep -q "database or disk is full" small.txt &&
        grep -q "^ok$" small.txt && grep -q "^ABC$" small.txt
    verdict $? "$name" "$(said small.txt)"
else
    failed "$name" "tmpfs impossible à monter ici (unshare -rm) : $(said small.txt)"
fi

name="base en lecture seule : refus avec la cause SQLite, lignes gardées"
if insmall 1m '$CLI load t.fyk mnt/x.db --data small.csv >/dev/null
mount -o remount,ro mnt
if $CLI load t.fyk mnt/x.db --data m.csv; then echo loaded; fi
sqlite3 mnt/x.db "SELECT count(*) FROM t;"'; then
    ! grep -q loaded small.txt && grep -q "Echec du chargement" small.txt &&
        grep -q "Cause : attempt to write a readonly database\|readonly database" small.txt &&
        [ "$(tail -n 1 small.txt)" = 3 ]
    verdict $? "$name" "$(said small.txt)"
else
    failed "$name" "tmpfs impossible à monter ici (unshare -rm) : $(said small.txt)"
fi
exit 0
