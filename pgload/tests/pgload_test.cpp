// The PostgreSQL load against a throw-away cluster (pg_virtualenv, one start for the whole
// scenario, one cluster at a time on the machine under a lock), through morvexcli as a person
// runs it: Debian's release table (distro-info-data) loaded into SQLite and into PostgreSQL
// gives the same values and the same rejects file; each mode on a missing, a loaded and a
// foreign table; the keys' refusals with the server's reasons; a load killed with SIGKILL and a
// load whose connection the server drops leave the schema's earlier tables as they were; a
// wrong password, an unknown host and an unknown database are told in French, status 1,
// password nowhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"

namespace {

namespace fs = std::filesystem;
using morvex::testing::readFile;

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The records of an RFC 4180 text (as sqlite3 -csv and psql --csv write them).
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
        } else if (c == '\n') {
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    (void)any;
    return records;
}

// A value as both engines must agree on it: numbers by their value, times without the
// milliseconds SQLite's text carries.
std::string normalised(std::string v) {
    if (v.size() > 4 && v.compare(v.size() - 4, 4, ".000") == 0 && v.find(':') != std::string::npos)
        v.resize(v.size() - 4);
    char* end = nullptr;
    const double d = strtod(v.c_str(), &end);
    if (!v.empty() && end != nullptr && *end == '\0' && v.find('-', 1) == std::string::npos) {
        std::ostringstream s;
        s.precision(15);
        s << d;
        return s.str();
    }
    return v;
}

// `key: value` lines after the line "== section" of the scenario's output.
std::map<std::string, std::string> section(const std::string& out, const std::string& name) {
    std::map<std::string, std::string> values;
    const size_t start = out.find("== " + name + "\n");
    if (start == std::string::npos) return values;
    std::istringstream in(out.substr(start + name.size() + 4));
    std::string line;
    while (std::getline(in, line) && line.rfind("== ", 0) != 0) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) values[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return values;
}

class PostgresqlLoad : public ::testing::Test {
protected:
    morvex::testing::TempDir dir{"pgload_test"};
};

TEST_F(PostgresqlLoad, ScenarioOnAThrowAwayCluster) {
    const std::string d = dir.path();
    // Debian's releases: ISO dates, versions read as decimals, rows of several shapes.
    fs::copy_file("/usr/share/distro-info/debian.csv", d + "/debian.csv");
    fs::copy_file(sourceDir() + "/examples/clients.fyk", d + "/clients.fyk");
    fs::copy_file(sourceDir() + "/examples/clients.csv", d + "/clients.csv");
    // A duplicate key (line 3) and a missing mandatory value (line 4) for --keys.
    write(d + "/keys.csv",
          "ID;NOM;PRENOM;NAISSANCE;VILLE;SOLDE;MAJ\r\n"
          "1;\"DUPONT\";\"Jean\";12/03/1975;\"Paris\";1250,50;2014-05-06 05:52:00\r\n"
          "1;\"DOUBLE\";\"Jean\";12/03/1975;\"Paris\";1,00;2014-05-06 05:52:00\r\n"
          ";\"SANSID\";\"Ana\";01/01/1982;\"Lyon\";980,00;2014-05-07 10:00:00\r\n"
          "2;\"MARTIN\";\"Sophie\";01/01/1982;\"Lyon\";980,00;\r\n");
    // Rows enough for a load to be caught in the middle.
    {
        std::ofstream big(d + "/big.csv", std::ios::binary);
        big << "ID;NOM;PRENOM;NAISSANCE;VILLE;SOLDE;MAJ\r\n";
        for (int i = 1; i <= 600000; ++i)
            big << i << ";\"NOM" << i % 1000 << "\";\"P\";12/03/1975;\"Paris\";" << i % 99999
                << ",50;2014-05-06 05:52:00\r\n";
    }
    const std::string script = d + "/pg.sh";
    write(script, R"SH(set -u
CLI=$1
cd "$2"
export MORVEX_CONFIG_DIR="$2/config"
C="dbname=$PGDATABASE"
Q() { psql -X -At -v ON_ERROR_STOP=1 -c "$1"; }

echo "== values"
$CLI analyse debian.csv -o debian.fyk > analyse.log 2>&1
$CLI load debian.fyk lite.db > lite.out 2>&1; echo "sqlite: $?"
$CLI load debian.fyk "$C" --schema essai > pg.out 2>&1; echo "pg: $?"
# Strict: the rows of fewer values set aside, the same in both rejects files.
$CLI load debian.fyk strict.db --rejects lite-rejets.csv > /dev/null 2>&1; echo "strict sqlite: $?"
$CLI load debian.fyk "$C" --schema strict --rejects pg-rejets.csv > /dev/null 2>&1; echo "strict pg: $?"
cmp -s lite-rejets.csv pg-rejets.csv && echo "rejects: identical"
echo "rejects lines: $(wc -l < pg-rejets.csv)"
$CLI load debian.fyk "$C" --schema limite --max-rejects 3 > /dev/null 2> limite.err; echo "past the limit: $? $(head -n 1 limite.err)"
$CLI load debian.fyk limite.db --max-rejects 3 > /dev/null 2> limite.err; echo "past the limit sqlite: $? $(head -n 1 limite.err)"
echo "limit schema: $(Q "SELECT count(*) FROM pg_namespace WHERE nspname = 'limite'")"
sqlite3 -csv lite.db "SELECT * FROM debian ORDER BY FileRowID" > lite.csv
psql -X -q --csv -t -c "SELECT * FROM essai.debian ORDER BY 1" > pg.csv
tail -n 2 pg.out | head -n 1 | sed 's/^/summary pg: /'
tail -n 2 lite.out | head -n 1 | sed 's/^/summary sqlite: /'
echo "catalogue: $(Q "SELECT tablename FROM essai.fylatekfiledesc")"
echo "types: $(Q "SELECT string_agg(format_type(atttypid, atttypmod), ',' ORDER BY attnum) FROM pg_attribute WHERE attrelid = 'essai.debian'::regclass AND attnum > 0")"
# A column name the server would cut: refused before anything is written.
sed 's/NAME=PRENOM/NAME=PRENOM_DU_TITULAIRE_PRINCIPAL_DU_COMPTE_TEL_QU_IL_FIGURE_AU_CONTRAT/' clients.fyk > long.fyk
$CLI load long.fyk "$C" --schema longs --data clients.csv > /dev/null 2> long.err; echo "long name: $? $(grep -o 'noms trop longs.*' long.err)"
echo "long schema: $(Q "SELECT count(*) FROM pg_namespace WHERE nspname = 'longs'")"

echo "== query"
$CLI query "$C" "SELECT version, codename FROM essai.debian WHERE codename IN ('Hamm', 'Bookworm') ORDER BY 1; SELECT NULL::int AS vide" > q.out 2> q.err
echo "status: $?"
tr '\n' '/' < q.out | sed 's/^/table: /'; echo
$CLI query "$C" "SELECT * FROM absente" > q.out 2> q.err; echo "missing table: $? $(head -n 1 q.err)"
$CLI query "$C" "SELECT version, codename, eol = release AS same, NULL::int AS n FROM essai.debian WHERE codename IN ('Hamm', 'Sid') ORDER BY 1" --format ndjson > q.out 2> q.err
echo "ndjson: $? $(tr '\n' '/' < q.out)"

echo "== several files"
gzip -c debian.csv > again.csv.gz
head -c 300 again.csv.gz > cut.csv.gz
$CLI load debian.fyk "$C" --schema several --table t --data debian.csv --data again.csv.gz --source-column fichier > several.out 2>&1; echo "status: $?"
echo "by file: $(Q "SELECT string_agg(fichier || '=' || n, ',' ORDER BY fichier) FROM (SELECT fichier, count(*) AS n FROM several.t GROUP BY fichier) c")"
echo "same rows: $(Q "SELECT count(*) FROM (SELECT version, codename, created FROM several.t WHERE fichier = 'debian.csv' EXCEPT SELECT version, codename, created FROM several.t WHERE fichier = 'again.csv.gz') d")"
echo "per file lines: $(grep -c "^'" several.out)"
$CLI load debian.fyk "$C" --schema several --table t --data debian.csv --data again.csv.gz --data cut.csv.gz > /dev/null 2> several.err; echo "cut third: $? $(tail -n 1 several.err)"
echo "after cut: $(Q "SELECT count(*) FROM several.t")"

echo "== modes"
for mode in default replace create append upsert; do
  for state in missing loaded foreign; do
    S="m_${mode}_$state"
    case $state in
      loaded) $CLI load clients.fyk "$C" --schema $S --keys > /dev/null 2>&1 ;;
      foreign) Q "CREATE SCHEMA $S; CREATE TABLE $S.\"CLIENTS\" (a int); INSERT INTO $S.\"CLIENTS\" VALUES (7)" > /dev/null ;;
    esac
    if [ $mode = default ]; then M=""; else M="--mode $mode"; fi
    $CLI load clients.fyk "$C" --schema $S $M > out.txt 2> err.txt
    rc=$?
    n=$(Q "SELECT count(*) FROM $S.\"CLIENTS\"" 2>/dev/null || echo none)
    echo "$mode $state: $rc $n $(grep -o 'Echec du chargement : [^(]*' err.txt | head -n 1)"
  done
done

echo "== keys"
$CLI load clients.fyk "$C" --schema cles --keys --data keys.csv --rejects cles.csv > out.txt 2>&1; echo "status: $?"
echo "rows: $(Q "SELECT string_agg(\"ID\" || ' ' || \"NOM\", ',' ORDER BY 1) FROM cles.\"CLIENTS\"")"
sed -n 2p cles.csv | sed 's/^/reject 1: /'
sed -n 3p cles.csv | sed 's/^/reject 2: /'
echo "indexes: $(Q "SELECT string_agg(indexname, ',' ORDER BY 1) FROM pg_indexes WHERE schemaname = 'cles'")"

echo "== kill"
$CLI load clients.fyk "$C" --schema garde > /dev/null 2>&1
$CLI load clients.fyk "$C" --schema garde --table AUTRE > /dev/null 2>&1
# Killed while it replaces CLIENTS: CLIENTS, AUTRE and the catalogue stay as they were.
$CLI load clients.fyk "$C" --schema garde --data big.csv --mode replace > kill.out 2>&1 &
pid=$!
for i in $(seq 1 300); do
  [ "$(Q "SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'COPY%'")" != 0 ] && break
  sleep 0.1
done
kill -9 $pid; wait $pid; echo "killed: $?"
echo "after kill: $(Q "SELECT count(*) FROM garde.\"CLIENTS\"") $(Q "SELECT count(*) FROM garde.\"AUTRE\"") $(Q "SELECT count(*) FROM garde.fylatekfiledesc")"
$CLI load clients.fyk "$C" --schema garde --data big.csv --mode replace > drop.out 2> drop.err &
pid=$!
for i in $(seq 1 300); do
  [ "$(Q "SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'COPY%'")" != 0 ] && break
  sleep 0.1
done
Q "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'morvex-fylatek'" > /dev/null
wait $pid; echo "dropped: $?"
echo "dropped message: $(head -n 1 drop.err)"
echo "after drop: $(Q "SELECT count(*) FROM garde.\"CLIENTS\"") $(Q "SELECT count(*) FROM garde.\"AUTRE\"")"
# Ctrl-C in the middle of the rows: the open COPY is given up and the load rolled back.
$CLI load clients.fyk "$C" --schema garde --data big.csv --mode replace > stop.out 2> stop.err &
pid=$!
for i in $(seq 1 300); do
  [ "$(Q "SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'COPY%'")" != 0 ] && break
  sleep 0.1
done
kill -INT $pid; wait $pid; echo "stopped: $?"
echo "stopped message: $(grep -o 'Chargement interrompu après [0-9]* lignes lues' stop.err stop.out | head -n 1 | sed 's/[0-9][0-9]*/N/')"
echo "after stop: $(Q "SELECT count(*) FROM garde.\"CLIENTS\"") $(Q "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'morvex-fylatek'")"

echo "== connections"
for target in "host=$PGHOST port=$PGPORT user=$PGUSER dbname=$PGDATABASE password=Secret-Wrong" \
              "host=nosuchhost.invalid dbname=x" "dbname=nosuchdb"; do
  $CLI load clients.fyk "$target" > out.txt 2> err.txt
  echo "${target%% *} status: $? $(head -n 1 err.txt)"
  grep -rl "Secret-Wrong" err.txt out.txt "$2/config" 2>/dev/null | sed 's/^/password written in: /'
done
echo "schemas: $(Q "SELECT count(*) FROM pg_namespace WHERE nspname = 'x'")"
)SH");
    const std::string out = d + "/pg.txt";
    const std::string command = "flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh '" +
                                script + "' '" + MORVEXCLI_PATH + "' '" + d + "' > '" + out +
                                "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(out);
    const std::string text = readFile(out);

    const auto values = section(text, "values");
    EXPECT_EQ(values.at("sqlite"), "0") << readFile(d + "/lite.out");
    EXPECT_EQ(values.at("pg"), "0") << readFile(d + "/pg.out");
    EXPECT_EQ(values.at("strict sqlite"), "0");
    EXPECT_EQ(values.at("strict pg"), "0");
    EXPECT_NE(values.at("rejects lines"), "1");
    EXPECT_EQ(values.at("past the limit"),
              "1 (!) Echec du chargement : plus de 3 ligne(s) écartée(s) ou rejetée(s), la "
              "dernière à la ligne 5 ; aucune ligne n'a été enregistrée.");
    EXPECT_EQ(values.at("past the limit sqlite"), values.at("past the limit"));
    EXPECT_EQ(values.at("limit schema"), "0");
    EXPECT_EQ(values.count("rejects"), 1u) << readFile(d + "/lite-rejets.csv") << "\n"
                                           << readFile(d + "/pg-rejets.csv");
    EXPECT_EQ(values.at("summary pg"), values.at("summary sqlite"));
    EXPECT_EQ(values.at("catalogue"), "debian");
    EXPECT_EQ(values.at("long name"),
              "1 noms trop longs pour PostgreSQL (63 octets au plus) : colonne 3 "
              "[PRENOM_DU_TITULAIRE_PRINCIPAL_DU_COMPTE_TEL_QU_IL_FIGURE_AU_CONTRAT] : 67 octets")
        << readFile(d + "/long.err");
    EXPECT_EQ(values.at("long schema"), "0");
    // Every value of every row, the same in both.
    const auto lite = csvRecords(readFile(d + "/lite.csv"));
    const auto pg = csvRecords(readFile(d + "/pg.csv"));
    ASSERT_EQ(lite.size(), pg.size());
    ASSERT_GT(lite.size(), 10u);
    for (size_t r = 0; r < lite.size(); ++r) {
        ASSERT_EQ(lite[r].size(), pg[r].size()) << "row " << r;
        for (size_t c = 0; c < lite[r].size(); ++c)
            EXPECT_EQ(normalised(lite[r][c]), normalised(pg[r][c])) << "row " << r << " col " << c;
    }

    const auto q = section(text, "query");
    EXPECT_EQ(q.at("status"), "0") << text;
    EXPECT_EQ(q.at("table"),
              "version | codename/--------+---------/2.0     | Hamm/12.0    | Bookworm/"
              "/vide/----/NULL//3 ligne(s)/");
    EXPECT_EQ(q.at("missing table").rfind("1 (e) La requête a échoué : relation "
                                          "\"absente\" does not exist",
                                          0),
              0u)
        << q.at("missing table");

    // The typed shapes of a query on the server: numbers, booleans, null.
    EXPECT_EQ(q.at("ndjson"),
              "0 {\"version\":2.0,\"codename\":\"Hamm\",\"same\":false,\"n\":null}/"
              "{\"version\":null,\"codename\":\"Sid\",\"same\":null,\"n\":null}/");
    // Two files into one table, the second compressed, then a third cut short: nothing of it.
    const auto several = section(text, "several files");
    const int releases = static_cast<int>(lite.size());
    EXPECT_EQ(several.at("status"), "0") << readFile(d + "/several.out");
    EXPECT_EQ(several.at("by file"), "again.csv.gz=" + std::to_string(releases) +
                                         ",debian.csv=" + std::to_string(releases));
    EXPECT_EQ(several.at("same rows"), "0");
    EXPECT_EQ(several.at("per file lines"), "2");
    EXPECT_EQ(several.at("cut third"), "1 Cause : cut.csv.gz : flux gzip tronqué ou corrompu");
    EXPECT_EQ(several.at("after cut"), std::to_string(2 * releases));

    const auto modes = section(text, "modes");
    const std::map<std::string, std::string> expected = {
        {"default missing", "0 6 "},
        {"default loaded", "0 6 "},
        {"default foreign", "1 1 Echec du chargement : la table [m_default_foreign.CLIENTS] existe "
                            "et n'a pas été chargée depuis une description : elle n'est remplacée "
                            "qu'avec --mode replace."},
        {"replace missing", "0 6 "},
        {"replace loaded", "0 6 "},
        {"replace foreign", "0 6 "},
        {"create missing", "0 6 "},
        {"create loaded", "1 6 Echec du chargement : la table [m_create_loaded.CLIENTS] existe déjà "},
        {"create foreign", "1 1 Echec du chargement : la table [m_create_foreign.CLIENTS] existe déjà "},
        {"append missing", "1 none Echec du chargement : la table [m_append_missing.CLIENTS] n'existe pas "},
        // The loaded table has the keys: the same rows again are refused, counted, not stored.
        {"append loaded", "0 6 "},
        {"append foreign", "1 1 Echec du chargement : la colonne 1 de la table "
                           "[m_append_foreign.CLIENTS] est [a], la description attend [FileRowID]."},
        {"upsert missing", "0 6 "},
        {"upsert loaded", "0 6 "},
        {"upsert foreign", "1 1 Echec du chargement : la colonne 1 de la table "
                           "[m_upsert_foreign.CLIENTS] est [a], la description attend [FileRowID]."},
    };
    for (const auto& [key, want] : expected) {
        ASSERT_EQ(modes.count(key), 1u) << key << "\n" << text;
        EXPECT_EQ(modes.at(key), want) << key;
    }

    const auto keys = section(text, "keys");
    EXPECT_EQ(keys.at("status"), "0") << text;
    EXPECT_EQ(keys.at("rows"), "1 DUPONT,2 MARTIN");
    EXPECT_EQ(keys.at("reject 1"),
              "3,,\"duplicate key value violates unique constraint \"\"CLIENTS_pkey\"\" (Key "
              "(\"\"ID\"\")=(1) already exists.)\"");
    EXPECT_EQ(keys.at("reject 2"),
              "4,,\"null value in column \"\"ID\"\" of relation \"\"CLIENTS\"\" violates not-null "
              "constraint (Failing row contains (4, null, SANSID, Ana, 1982-01-01, Lyon, 980.00, "
              "2014-05-07 10:00:00).)\"");
    EXPECT_EQ(keys.at("indexes"), "CLIENTS_pkey,IX_CLIENTS_NOM,IX_CLIENTS_VILLE");

    const auto kill = section(text, "kill");
    EXPECT_EQ(kill.at("killed"), "137");
    // One catalogue row per description: the load into AUTRE took CLIENTS' place.
    EXPECT_EQ(kill.at("after kill"), "6 6 1");
    EXPECT_EQ(kill.at("dropped"), "1");
    EXPECT_EQ(kill.at("dropped message").rfind("(!) Echec du chargement : la base PostgreSQL a "
                                               "refusé l'écriture",
                                               0),
              0u)
        << kill.at("dropped message");
    EXPECT_EQ(kill.at("after drop"), "6 6");
    EXPECT_EQ(kill.at("stopped"), "1");
    EXPECT_NE(kill.at("stopped message").find("Chargement interrompu après N lignes lues"),
              std::string::npos)
        << text;
    EXPECT_EQ(kill.at("after stop"), "6 0");

    auto connections = section(text, "connections");
    for (const char* target : {"host=localhost", "host=nosuchhost.invalid", "dbname=nosuchdb"}) {
        const std::string told = connections[std::string(target) + " status"];
        EXPECT_EQ(told.rfind("1 (!) Echec de la connexion à la base PostgreSQL [", 0), 0u)
            << target << ": " << told;
    }
    EXPECT_EQ(text.find("password written in"), std::string::npos) << text;
    EXPECT_EQ(connections.at("schemas"), "0");
}

}  // namespace
