#!/usr/bin/env bash
# Hostile inputs at the edges of what the programs read: named pipes and devices in place of
# files, endless or huge inputs, numbers and texts out of their range in a description, results
# that are no numbers, a failed update, logs in places others control, and odd paths. Run by
# tools/hostile.sh (BUILD, WORK, FAST); prints "held: <case>" or "FAILED: <case>: <reason>".
set -u

CLI="$BUILD/cli/morvexcli"
SETUP="$BUILD/setup/morvexsetup"
cd "$WORK" || exit 1
mkdir -p config state home
export MORVEX_CONFIG_DIR="$WORK/config" XDG_STATE_HOME="$WORK/state" HOME="$WORK/home"
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen

held() { echo "held: $1"; }
failed() { echo "FAILED: $1: $2"; }

# run SECONDS KILOBYTES COMMAND...: runs the command under a time limit and an address-space
# limit; its status in $rc (124: it did not end in time), its output in out.txt and err.txt.
# Programs built with AddressSanitizer (MORVEX_SANITIZED=1) reserve terabytes of address space
# for its shadow memory at start: they run under the time limit alone, the sanitizer itself
# failing on a runaway allocation.
run() {
    local seconds=$1 kb=$2
    shift 2
    if [ "${MORVEX_SANITIZED:-0}" = 1 ]; then
        timeout -k 2 "$seconds" "$@" >out.txt 2>err.txt
    else
        (ulimit -v "$kb"; timeout -k 2 "$seconds" "$@") >out.txt 2>err.txt
    fi
    rc=$?
}

# check NAME CONDITION REASON: "held" when the shell condition holds, else "FAILED" with the
# reason and what the program said.
check() {
    if eval "$2"; then
        held "$1"
    else
        failed "$1" "$3 (statut $rc ; $(head -c 300 err.txt | tr '\n' ' '))"
    fi
}

# A description of one column per NAME given, with extra lines in its File block ($EXTRA) and
# in each column ($COLUMN_EXTRA).
fyk() {
    local out=$1
    shift
    {
        printf 'BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tBEGIN File\r\n'
        printf '\t\tTYPESTRUCTFILE=2\r\n\t\tFIELDDELIMITER=;\r\n\t\tFIRSTLINEISHEADER=1\r\n'
        printf '%s' "${EXTRA:-}"
        for name in "$@"; do
            printf '\t\tBEGIN Column\r\n\t\t\tNAME=%s\r\n\t\t\tLARGEUR=10\r\n' "$name"
            printf '\t\t\tTYPE_CIBLE=5\r\n\t\t\tFMT_CIBLE=10\r\n%s\t\tEND Column\r\n' \
                "${COLUMN_EXTRA:-}"
        done
        printf '\tEND File\r\nEND MorvexFylatek'
    } >"$out"
}

if [ ! -x "$CLI" ]; then
    failed "morvexcli" "$CLI est introuvable (construire d'abord)"
    exit 0
fi

# ---- Named pipes and devices in place of files ----

mkfifo dict.xml
run 10 1000000 "$CLI" dict list --dict dict.xml
check "fifo-dictionary" '[ $rc -ne 124 ] && [ -p dict.xml ]' \
    "un tube nommé comme dictionnaire bloque ou est remplacé"

mkfifo fifo.log
run 10 1000000 "$CLI" --log fifo.log calc "1+1"
check "fifo-log" '[ $rc -eq 0 ] && grep -q "^Résultat = 2" out.txt && grep -q "refusé" err.txt' \
    "un tube nommé comme fichier de log bloque la commande ou n'est pas signalé"

printf 'NAME\tTYPE\n' >layout-text.txt
run 10 500000 "$CLI" import-text zero.fyk layout-text.txt --layout /dev/zero
check "devzero-layout" '[ $rc -ne 124 ] && [ $rc -ne 0 ] && grep -q "périphérique" err.txt' \
    "/dev/zero comme format d'import n'est pas refusé d'emblée"

run 10 500000 "$CLI" import-text zero2.fyk --layout layout-text.txt </dev/zero
check "devzero-import-stdin" '[ $rc -ne 124 ] && [ $rc -ne 0 ] && grep -q "taille permise" err.txt' \
    "/dev/zero comme texte à importer n'est pas borné"

run 10 300000 "$CLI" calc </dev/zero
check "devzero-calc-stdin" '[ $rc -ne 124 ] && [ $rc -ne 0 ] && grep -q "1024 caractères" err.txt' \
    "/dev/zero comme entrée de la calculatrice n'est pas borné"

run 10 500000 "$CLI" show /dev/zero
check "devzero-description" '[ $rc -ne 124 ] && [ $rc -ne 0 ]' \
    "/dev/zero comme description n'est pas refusé d'emblée"

# A named pipe given as the data file is read from the one that writes it (a pipeline).
mkfifo data.fifo
fyk fifo.fyk A B
(printf '1;2\r\n' >data.fifo &)
run 10 500000 "$CLI" preview fifo.fyk --data data.fifo
check "fifo-data" '[ $rc -eq 0 ]' "un tube nommé comme fichier de données n'est pas lu"

mkfifo tube.fyk
run 10 500000 "$CLI" show tube.fyk
check "fifo-description" '[ $rc -ne 124 ] && [ $rc -ne 0 ] && grep -q "tube nommé" err.txt' \
    "un tube nommé comme description bloque ou n'est pas nommé"

mkdir -p fifoconfig && mkfifo fifoconfig/MorvexFylatek.ini
(export MORVEX_CONFIG_DIR="$WORK/fifoconfig"; run 10 500000 "$CLI" calc "2*3"; echo $rc >rc.txt)
rc=$(cat rc.txt)
check "fifo-settings" '[ $rc -eq 0 ] && grep -q "^Résultat = 6" out.txt' \
    "un tube nommé comme fichier de paramètres bloque"

# ---- The calculator: deep input, results that are no numbers ----

python3 -c 'print("(" * 1000000 + "1" + ")" * 1000000)' >parens.txt
run 20 400000 "$CLI" calc <parens.txt
check "calc-million-parentheses" '[ $rc -ne 124 ] && [ $rc -ne 0 ] && [ $rc -lt 128 ]' \
    "un million de parenthèses épuisent la mémoire ou le temps"

for expression in "sqrt(-1)" "1e308*10" "log(0)"; do
    run 10 500000 "$CLI" calc "$expression"
    check "calc-not-a-number $expression" \
        '[ $rc -ne 0 ] && ! grep -qiE "^Résultat = .*(nan|inf)" out.txt && grep -q "RUNTIME ERROR" out.txt' \
        "$expression donne un résultat avec le statut 0"
done

# ---- Descriptions: numbers, codes, names and texts out of their range ----

columns=1000000
[ "$FAST" = 1 ] && columns=40000
python3 - "$columns" <<'EOF' >wide.fyk
import sys
n = int(sys.argv[1])
out = ["BEGIN MorvexFylatek", "\tBEGIN File", "\t\tTYPESTRUCTFILE=2"]
for i in range(n):
    out += ["\t\tBEGIN Column", "\t\t\tNAME=C%d" % i, "\t\t\tLARGEUR=1", "\t\tEND Column"]
out += ["\tEND File", "END MorvexFylatek"]
sys.stdout.write("\r\n".join(out))
EOF
run 60 600000 "$CLI" show wide.fyk
check "description-too-many-columns" \
    '[ $rc -ne 124 ] && [ $rc -ne 0 ] && grep -q "plus de 32767 colonnes" err.txt' \
    "une description de $columns colonnes n'est pas refusée"

EXTRA=$'\t\tBEGINFROMLINE=-5\r\n' fyk negative.fyk A
run 10 500000 "$CLI" show negative.fyk
check "description-negative-line" '[ $rc -ne 0 ] && grep -q "BEGINFROMLINE « -5 »" err.txt' \
    "BEGINFROMLINE=-5 est accepté"

COLUMN_EXTRA=$'\t\t\tTYPE_CIBLE=99\r\n' fyk type99.fyk A
run 10 500000 "$CLI" show type99.fyk
check "description-unknown-type" '[ $rc -ne 0 ] && grep -q "type cible « 99 » inconnu" err.txt' \
    "TYPE_CIBLE=99 est accepté"

fyk duplicate.fyk Code Ville CODE
run 10 500000 "$CLI" show duplicate.fyk
check "description-duplicate-names-show" '[ $rc -ne 0 ] && grep -q "« Code »" err.txt && grep -q "« CODE »" err.txt' \
    "deux colonnes Code et CODE passent show"
fyk pair.fyk Code Ville
cp pair.fyk pair-before.fyk
run 10 500000 "$CLI" edit pair.fyk --rename Ville code
check "description-duplicate-names-edit" '[ $rc -ne 0 ] && cmp -s pair.fyk pair-before.fyk' \
    "edit renomme une colonne du nom d'une autre"

long=$(head -c 2000 /dev/zero | tr '\0' 'd')
run 10 500000 "$CLI" edit pair.fyk --describe Code "$long"
check "edit-describe-too-long" \
    '[ $rc -ne 0 ] && grep -q "1 024 octets" err.txt && cmp -s pair.fyk pair-before.fyk' \
    "une description de 2 000 caractères est coupée avec le statut 0"
COLUMN_EXTRA="	DESCRIPTION=$long"$'\r\n' fyk longtext.fyk A
run 10 500000 "$CLI" show longtext.fyk
check "description-text-too-long" '[ $rc -ne 0 ] && grep -q "1 024 octets au plus" err.txt' \
    "une description de colonne de 2 000 octets est lue coupée"

# ---- Logs in a place others control ----

mkdir -p shared && chmod 0777 shared
run 10 500000 "$CLI" --log shared/morvexcli.log calc "1+2"
check "log-world-writable-folder" \
    '[ $rc -eq 0 ] && [ ! -e shared/morvexcli.log ] && [ -s state/MorvexFylatek/morvexcli.log ] && grep -q "refusé" err.txt' \
    "un log dans un dossier modifiable par tous est écrit"
if [ "$(id -u)" = 0 ]; then
    mkdir -p private && printf 'theirs' >private/theirs.log && chown 65534 private/theirs.log
    run 10 500000 "$CLI" --log private/theirs.log calc "1+3"
    check "log-owned-by-another-user" \
        '[ $rc -eq 0 ] && [ "$(cat private/theirs.log)" = theirs ] && grep -q "autre utilisateur" err.txt' \
        "un log créé d'avance par un autre utilisateur reçoit la trace"
fi

# ---- Held already: odd paths, read-only folders, odd data ----

printf 'ID;NOM\r\n1;Dupont\r\n2;Durand\r\n' >"data file.csv"
cp "data file.csv" ./-dash.csv
cp "data file.csv" "$(printf 'caf\xe9.csv')"
ok=1
for data in "data file.csv" ./-dash.csv "$(printf 'caf\xe9.csv')"; do
    run 20 1000000 "$CLI" analyse "$data" -o "$data.fyk"
    [ $rc -eq 0 ] || ok=0
    run 20 1000000 "$CLI" preview "$data.fyk"
    { [ $rc -eq 0 ] && grep -q Durand out.txt; } || ok=0
done
rc=0
check "odd-paths" '[ $ok = 1 ]' "un chemin avec espace, tiret en tête ou octets non UTF-8 échoue"

mkdir -p ro && chmod 0555 ro && chmod 0755 "$WORK"
as_other=()
[ "$(id -u)" = 0 ] && as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
run 20 1000000 "${as_other[@]}" "$CLI" --log /dev/null analyse "data file.csv" -o ro/out.fyk
check "read-only-folder" '[ $rc -ne 0 ] && [ $rc -lt 128 ] && [ ! -e ro/out.fyk ]' \
    "l'écriture dans un dossier en lecture seule n'est pas refusée proprement"
chmod 0700 "$WORK"

printf 'ID;NOM\r\n1;Du\0pont\r\n2;\0\0\r\n' >nul.csv
fyk nul.fyk ID NOM
run 20 1000000 "$CLI" preview nul.fyk --data nul.csv
check "nul-bytes-in-data" '[ $rc -lt 128 ] && [ $rc -ne 124 ]' "des octets nuls font échouer la lecture"

size=50000000
[ "$FAST" = 1 ] && size=5000000
{ printf 'ID;NOM\r\n'; head -c "$size" /dev/zero | tr '\0' 'x'; printf '\r\n1;a\r\n'; } >long.csv
run 60 1000000 "$CLI" count nul.fyk --data long.csv
check "long-line-count" '[ $rc -ne 124 ] && [ $rc -lt 128 ]' "une ligne de $size octets épuise le temps ou la mémoire"
run 60 1000000 "$CLI" preview nul.fyk --data long.csv
check "long-line-preview" '[ $rc -ne 124 ] && [ $rc -lt 128 ]' "une ligne de $size octets épuise le temps ou la mémoire"

printf 'ID;VILLE\r\n1;Lyon\r\n2;Nîmes\r\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >utf16.csv
run 20 1000000 "$CLI" analyse utf16.csv -o utf16.fyk
run 20 1000000 "$CLI" preview utf16.fyk
check "utf16-with-byte-order-mark" '[ $rc -eq 0 ] && grep -q "Nîmes" out.txt' \
    "un fichier UTF-16 avec marque d'ordre n'est pas lu"

fyk exec.fyk A
printf '%%targetfilename x.txt\n%%execsystem touch %s/ran\nafter\n' "$WORK" >exec.tpl
run 20 1000000 "$CLI" generate exec.fyk --template exec.tpl --out gen
check "execsystem-gated" '[ ! -e ran ]' "%execsystem s'exécute sans --allow-exec"

# ---- The update program against a local server ----

if [ -x "$SETUP" ]; then
    # A loopback port nobody listens on.
    freePort() {
        python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
    }
    # serve PORT COMMAND...: starts a local server on PORT, its process in $server, and waits
    # until it answers.
    serve() {
        local port=$1
        shift
        "$@" >/dev/null 2>&1 &
        server=$!
        for _ in $(seq 50); do
            python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" \
                2>/dev/null && return
            sleep 0.1
        done
    }
    port=$(freePort)
    mkdir -p www/MorvexFylatek www/release target && printf 'new' >www/release/tool.zip
    printf 'http://127.0.0.1:%s/release/tool.zip %s\r\n' "$port" "$(printf 'a%.0s' $(seq 64))" \
        >www/MorvexFylatek/liveupdate.txt
    printf 'echo installed > install.log\n' >target/install.sh
    serve "$port" python3 -m http.server "$port" --bind 127.0.0.1 --directory www
    MORVEX_UPDATE_URL="http://127.0.0.1:$port" run 60 2000000 "$SETUP" --yes --dir target
    cat err.txt >>out.txt
    check "setup-failed-digest-installs-nothing" \
        '[ $rc -ne 0 ] && [ ! -e target/install.log ] && ! grep -q "installation de Morvex est terminée" out.txt && grep -q "empreinte SHA-256 différente" out.txt' \
        "un téléchargement refusé lance quand même l'installation"
    printf 'http://127.0.0.1:%s/x/..%%2Fescape.txt\r\n' "$port" >www/MorvexFylatek/liveupdate.txt
    printf 'evil' >www/escape.txt
    MORVEX_UPDATE_URL="http://127.0.0.1:$port" run 60 2000000 "$SETUP" --yes --dir target
    check "setup-name-leaving-its-folder" '[ $rc -ne 0 ] && [ ! -e escape.txt ]' \
        "un nom du manifeste sort du dossier cible"
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
    # A server that cuts the transfer short: said in words, not as a number.
    port2=$(freePort)
    cat >cut.py <<'EOF'
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(16)
while True:
    c, _ = s.accept()
    try:
        c.settimeout(5)
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = c.recv(4096)
            if not chunk:
                break
            data += chunk
        if b"liveupdate.txt" in data:
            body = b"http://127.0.0.1:%d/tool.zip\r\n" % int(sys.argv[1])
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
        else:
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\nshort body")
    except Exception:
        pass
    finally:
        c.close()
EOF
    serve "$port2" python3 cut.py "$port2"
    MORVEX_UPDATE_URL="http://127.0.0.1:$port2" run 60 2000000 "$SETUP" --yes --dir target
    cat err.txt >>out.txt
    check "setup-errors-in-words" \
        '[ $rc -ne 0 ] && ! grep -qE "Erreur : [0-9]+$" out.txt && grep -q "transfert interrompu avant la fin du fichier" out.txt' \
        "un transfert interrompu est dit par un numéro"
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
elif [ "${MORVEX_NO_DESKTOP:-0}" = 1 ]; then
    echo "not built: morvexsetup (a build without the desktop programs)"
else
    failed "morvexsetup" "$SETUP est introuvable (construire d'abord)"
fi
exit 0
