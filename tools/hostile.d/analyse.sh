#!/usr/bin/env bash
# Hostile and careless cases of the analysis of a data file with no option: a file that is no
# text, an empty one, UTF-16 without its mark, a file without a header, names that could not be
# loaded, a value too long for a description's widths. Each must end in a description that
# loads every row, or in a refusal with status 1 and no description written.
#
# Environment: BUILD (the build folder: $BUILD/cli/morvexcli), WORK (a scratch folder of our
# own), FAST (every case here is fast). Prints one line per case, "held: <case>" or
# "FAILED: <case>: <reason>", and exits 0 whatever happened.
set -u

CLI="$BUILD/cli/morvexcli"
mkdir -p "$WORK"
export MORVEX_CONFIG_DIR="$WORK/config"
mkdir -p "$MORVEX_CONFIG_DIR"
cd "$WORK" || exit 0

held() { echo "held: $1"; }
failed() { echo "FAILED: $1: $2"; }

# refused CASE FILE: analyse must fail with status 1 and write no description.
refused() {
    local name=$1 file=$2
    rm -f refused.fyk
    timeout 20 "$CLI" analyse "$file" -o refused.fyk >/dev/null 2>err.txt
    local status=$?
    if [ "$status" -ne 1 ]; then failed "$name" "status $status"
    elif [ -e refused.fyk ]; then failed "$name" "a description was written"
    else held "$name"; fi
}

# loads CASE FILE ROWS [SQL EXPECTED]: analyse, then load; ROWS rows stored, and the query's
# answer when given.
loads() {
    local name=$1 file=$2 rows=$3 sql=${4:-} expected=${5:-}
    rm -f d.fyk d.db
    if ! timeout 20 "$CLI" analyse "$file" -o d.fyk >/dev/null 2>err.txt; then
        failed "$name" "analyse: $(tail -1 err.txt)"
        return
    fi
    if ! timeout 20 "$CLI" load d.fyk d.db >out.txt 2>err.txt; then
        failed "$name" "load: $(tail -1 err.txt)"
        return
    fi
    if ! grep -q "$rows enregistrée(s)" out.txt; then
        failed "$name" "$(grep 'lue(s)' out.txt)"
        return
    fi
    if [ -n "$sql" ]; then
        local got
        rm -f q.csv
        timeout 20 "$CLI" query d.db "$sql" --csv q.csv >/dev/null 2>&1
        got=$(sed -n 2p q.csv 2>/dev/null | tr -d '\r' | sed 's/;$//')
        if [ "$got" != "$expected" ]; then
            failed "$name" "$sql gave '$got', not '$expected'"
            return
        fi
    fi
    held "$name"
}

printf 'id;nom\n1;a\n' | gzip >data.csv.gz
loads "gzip file read as its text" data.csv.gz 1 "SELECT nom FROM data" "a"
head -c 4096 /dev/urandom | gzip >random.bin.gz
refused "gzip of random bytes refused" random.bin.gz
seq 1 200000 | sed 's/^/x;/' | gzip | head -c 100000 >cut.csv.gz
refused "gzip stream cut short refused" cut.csv.gz
head -c 4096 /dev/urandom >random.bin
refused "random bytes refused" random.bin
: >empty.csv
refused "empty file refused" empty.csv
printf 'id;nom\n\0\0\0\0\0\0\0\0\0\0;x\n' >zeros.csv
refused "zero bytes refused" zeros.csv

printf '1.5,2.25,3\n4.5,5.25,6\n7.5,8.25,9\n' >numbers.csv
loads "file of numbers keeps its first row" numbers.csv 3 "SELECT count(*), min(COL001) FROM numbers" "3;1.5"
printf '0;Inconnu\n1;Actif\n2;Clos\n' >codes.csv
loads "code and label file keeps its first row" codes.csv 3
printf 'id,id,,Nom\n1,2,3,x\n4,5,6,y\n' >names.csv
loads "repeated and empty names load" names.csv 2 "SELECT id_2, colonne3 FROM names WHERE id = 4" "5;6"
printf '0.00,0.00\n1.50,2.00\n' >repeat.csv
loads "first row repeating a value is data" repeat.csv 2
python3 -c "
import sys
sys.stdout.buffer.write('nom;ville\r\nDupont;Paris\r\nMartin;Lyon\r\n'.encode('utf-16-le'))" >utf16.csv
loads "UTF-16 without its mark" utf16.csv 2 "SELECT ville FROM utf16 WHERE nom = 'Martin'" "Lyon"
python3 -c "
print('id,texte')
for i in range(3): print('%d,\"%s\"' % (i, 'x' * 7329))" >long.csv
loads "value longer than a description's widths" long.csv 3 "SELECT length(texte) FROM long WHERE id = 2" "7329"
python3 -c "
print(','.join('c%d' % i for i in range(1500)))
for r in range(3): print(','.join(str(r * i) for i in range(1500)))" >wide.csv
loads "header of 1500 columns read whole" wide.csv 3 "SELECT c1499 FROM wide WHERE c1 = 2" "2998"
python3 -c "
print('pays,pib')
for i in range(20000): print('Pays%d,%d' % (i, i))
print('\"Congo, Dem. Rep.\",12')" >late.csv
loads "quotes first met far down the file" late.csv 20001 "SELECT pib FROM late WHERE pays = 'Congo, Dem. Rep.'" "12"
python3 -c "
print('code;montant')
for i in range(3000): print('000879.17;%d' % i)
print('00.11;12,5')" >zeros2.csv
loads "codes with leading zeros and a late decimal" zeros2.csv 3001 "SELECT code, montant FROM zeros2 WHERE code = '00.11'" "00.11;12.5"
exit 0
