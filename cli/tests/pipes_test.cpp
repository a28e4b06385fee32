// morvexcli in pipelines: the statuses and texts of usage errors, quiet runs, and the forms a
// data file comes in (a file, standard input, a named pipe, gzip and zstd streams).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/tests/cli_fixture.h"

namespace {

using namespace morvex::testing;

class Pipes : public CliFixture {};

TEST_F(Pipes, UsageErrorsSayWhatIsWrongWithTheirStatus) {
    writeClients("1;Alice;26/02/2015\r\n2;Bob;27/02/2015\r\n");
    const struct {
        const char* args;
        int status;
        const char* said;  // all of standard error
    } cases[] = {
        {"preview clients.fyk --limit 5", 2,
         "(e) Option inconnue : --limit. Vouliez-vous dire --rows ?\n"},
        {"analyse clients.csv --rows abc", 2, "(e) --rows : nombre entier attendu, reçu 'abc'\n"},
        {"preview clients.fyk --rows=1x", 2, "(e) --rows : nombre entier attendu, reçu '1x'\n"},
        {"preview clients.fyk --rejets r.csv", 2,
         "(e) Option inconnue : --rejets. Vouliez-vous dire --rejects ?\n"},
        {"load clients.fyk :memory: --sep ,", 2, "(e) Option inconnue : --sep.\n"},
        {"analyse clients.csv --separator ,", 2,
         "(e) Option inconnue : --separator. Vouliez-vous dire --delimiter ?\n"},
        {"query :memory: 'select * from x'", 1, "(e) Erreur SQLite : no such table: x\n"},
        {"count clients.fyk --data absent.csv", 1,
         "(e) Le fichier de données 'absent.csv' n'existe pas ou n'est pas un fichier.\n"},
        // The program's own options are known after the command, and numbers are numbers.
        {"preview clients.fyk --rows -1", 2, "(e) --rows : valeur hors limites : -1.\n"
                                             "Lancez la commande avec --help pour plus "
                                             "d'informations.\n"},
        {"preview clients.fyk -q --rows 1", 0, ""},
        {"-q count clients.fyk", 0, ""},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err, c.said) << c.args;
    }
}

TEST_F(Pipes, QuietRunsTellNothingButErrors) {
    writeFile(dir_ / "v.csv", "id,nom\n1,a\n2,b\n");
    RunResult loud = run("analyse v.csv -o v.fyk");
    ASSERT_EQ(loud.status, 0) << loud.err;
    EXPECT_TRUE(Contains(loud.err, "(i) Délimiteur détecté : ,")) << loud.err;
    RunResult quiet = run("analyse -q v.csv -o w.fyk");
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(Contains(quiet.out, "Colonnes          : 2")) << quiet.out;
    RunResult verbose = run("analyse -v v.csv -o x.fyk");
    EXPECT_TRUE(Contains(verbose.err, "(i) Fichier de log : ")) << verbose.err;
}

}  // namespace

namespace {

using namespace morvex::testing;

// Debian's own table of its releases (distro-info-data): dates, and empty values.
const char* const kReleases = "/usr/share/distro-info/debian.csv";

class InputForms : public CliFixture {
protected:
    void TearDown() override {
        unsetenv("TMPDIR");
        CliFixture::TearDown();
    }
    void SetUp() override {
        CliFixture::SetUp();
        std::filesystem::copy_file(kReleases, dir_ / "debian.csv");
        // The streams' private copies go there, to be seen gone.
        std::filesystem::create_directories(dir_ / "tmp");
        setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
        ASSERT_EQ(system(("cd '" + dir_.string() +
                          "' && gzip -k debian.csv && zstd -q -k debian.csv && "
                          "xz -k debian.csv && bzip2 -k debian.csv && "
                          "head -c 300 debian.csv.xz > cut.csv.xz && "
                          "head -c 300 debian.csv.bz2 > cut.csv.bz2 && "
                          "cat debian.csv.gz debian.csv.gz > twice.csv.gz && "
                          "head -c 200 debian.csv.gz > cut.csv.gz && "
                          "head -c 100 debian.csv.zst > cut.csv.zst && "
                          "cat debian.csv.gz debian.csv.gz debian.csv.gz > long.csv.gz && "
                          "head -c $(( $(stat -c %s long.csv.gz) - 40 )) long.csv.gz > "
                          "twice-cut.csv.gz")
                             .c_str()),
                  0);
    }
};

// Every form of one file reads as the file itself: the same description from each, the same
// rows, the same load; a stream cut short is refused, and nothing of it loaded.
TEST_F(InputForms, EveryFormReadsAsThePlainFile) {
    RunResult plain = run("analyse -q debian.csv -o plain.fyk");
    ASSERT_EQ(plain.status, 0) << plain.err;
    RunResult rows = run("preview plain.fyk --rows 0 --json");
    ASSERT_EQ(rows.status, 0) << rows.err;
    const std::string text = readFile(dir_ / "debian.csv");
    const std::string lines = std::to_string(std::count(text.begin(), text.end(), '\n') - 1);
    const struct {
        const char* data;  // the data file as given
        int status;
        const char* said;  // in standard error (the table's rows when it loaded)
        const char* input;  // the file sent to standard input ("-"), or written into the
                            // named pipe (fifo), each time a command reads it
    } cases[] = {
        {"debian.csv", 0, "", ""},
        {"debian.csv.gz", 0, "", ""},
        {"debian.csv.zst", 0, "", ""},
        {"-", 0, "", "debian.csv"},
        {"-", 0, "", "debian.csv.zst"},
        {"fifo", 0, "", "debian.csv.gz"},
        {"/dev/stdin", 0, "", "debian.csv"},
        {"debian.csv.xz", 0, "", ""},
        {"debian.csv.bz2", 0, "", ""},
        {"-", 0, "", "debian.csv.xz"},
        {"fifo", 0, "", "debian.csv.bz2"},
        {"cut.csv.xz", 1, "flux xz tronqué ou corrompu", ""},
        {"cut.csv.bz2", 1, "flux bzip2 tronqué ou corrompu", ""},
        {"-", 1, "flux bzip2 tronqué ou corrompu", "cut.csv.bz2"},
        {"cut.csv.gz", 1, "flux gzip tronqué ou corrompu", ""},
        {"cut.csv.zst", 1, "flux zstd tronqué ou corrompu", ""},
        {"-", 1, "flux gzip tronqué ou corrompu", "cut.csv.gz"},
        {"twice-cut.csv.gz", 1, "flux gzip tronqué ou corrompu", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.data) + " " + c.input);
        // Each command reads its own copy of the stream.
        auto feed = [&]() -> std::string {
            if (std::string(c.data) == "fifo") {
                std::filesystem::remove(dir_ / "fifo");
                EXPECT_EQ(system(("cd '" + dir_.string() + "' && mkfifo fifo && (cat " + c.input +
                                  " > fifo &)")
                                     .c_str()),
                          0);
                return "";
            }
            return *c.input ? readFile(dir_ / c.input) : "";
        };
        std::filesystem::remove(dir_ / "d.fyk");
        RunResult a = run(std::string("analyse -q ") + c.data + " -o d.fyk", feed());
        EXPECT_EQ(a.status, c.status) << a.err;
        if (c.status != 0) {
            EXPECT_TRUE(Contains(a.err, c.said)) << a.err;
            EXPECT_FALSE(std::filesystem::exists(dir_ / "d.fyk"));
        } else {
            // The description remembers nothing of the compression nor of the stream: its own
            // identifier, example file and names aside, it is the plain file's.
            auto kept = [](const std::string& text) {
                std::string out, line;
                std::istringstream in(text);
                while (std::getline(in, line))
                    if (!Contains(line, "FILEDESCUID=") && !Contains(line, "FICHIEREXEMPLE=") &&
                        !Contains(line, "PROJECTNAME=") && !Contains(line, "TABLE"))
                        out += line + "\n";
                return out;
            };
            EXPECT_EQ(kept(readFile(dir_ / "d.fyk")), kept(readFile(dir_ / "plain.fyk")));
            // A stream's copy is gone: the description names no example file.
            if (*c.input) {
                EXPECT_TRUE(Contains(readFile(dir_ / "d.fyk"), "FICHIEREXEMPLE=\r\n"));
            }
        }
        // The commands that read the data once read a stream as it comes: with no folder to
        // copy it into, they work all the same.
        setenv("TMPDIR", (dir_ / "absent").c_str(), 1);
        RunResult p = run(std::string("preview plain.fyk --rows 0 --json --data ") + c.data, feed());
        EXPECT_EQ(p.status, c.status) << p.err;
        if (c.status == 0) {
            EXPECT_EQ(p.out, rows.out);
        }
        RunResult l = run(std::string("load -q plain.fyk t.db --table t --data ") + c.data, feed());
        EXPECT_EQ(l.status, c.status) << l.err;
        EXPECT_TRUE(Contains(l.err + l.out, c.said)) << l.err;
        RunResult q = run("query t.db 'select count(*) from t'");
        if (c.status == 0) {
            EXPECT_TRUE(Contains(q.out, lines)) << q.out << q.err;
        }
        run("query t.db 'drop table if exists t'");
        RunResult n = run(std::string("count plain.fyk --data ") + c.data, feed());
        EXPECT_EQ(n.status, c.status) << n.err;
        if (c.status == 0) {
            EXPECT_TRUE(Contains(n.out, std::to_string(std::stoi(lines) + 1) + " lignes")) << n.out;
        }
        setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
        // The analysis's copies of the streams are gone with their commands.
        EXPECT_TRUE(std::filesystem::is_empty(dir_ / "tmp"));
    }
    // A cut stream rolls its load back: the table loaded before it is still whole.
    ASSERT_EQ(run("load plain.fyk t.db --table t --data debian.csv.gz").status, 0);
    RunResult cut = run("load plain.fyk t.db --table t --data cut.csv.gz");
    EXPECT_EQ(cut.status, 1);
    RunResult q = run("query t.db 'select count(*) from t'");
    EXPECT_TRUE(Contains(q.out, lines)) << q.out << q.err;
    // gzip members one after the other are one text.
    RunResult twice = run("count plain.fyk --data twice.csv.gz");
    EXPECT_EQ(twice.status, 0) << twice.err;
}

// Loads from a process writing into a pipe, far more than a pipe holds: the rows of the file,
// read as they come with nowhere to copy them to; a writer that dies mid-stream loads nothing.
TEST_F(InputForms, LoadsFromAWriterAsFromTheFile) {
    const std::string table = readFile(dir_ / "debian.csv");
    const std::string header = table.substr(0, table.find('\n') + 1);
    std::string big = header;
    for (int i = 0; i < 3000; ++i) big += table.substr(header.size());
    writeFile(dir_ / "big.csv", big);
    ASSERT_EQ(system(("cd '" + dir_.string() + "' && gzip -k big.csv && xz -T1 -0 -k big.csv")
                         .c_str()),
              0);
    ASSERT_EQ(run("analyse -q debian.csv -o plain.fyk").status, 0);
    ASSERT_EQ(run("load -q plain.fyk file.db --table t --data big.csv").status, 0);
    const std::string all = "'select * from t order by rowid'";
    RunResult fromFile = run("query file.db " + all);
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    ASSERT_TRUE(Contains(fromFile.out, "Bookworm")) << fromFile.out;

    const std::string cli = "env TMPDIR='" + (dir_ / "absent").string() + "' MORVEX_CONFIG_DIR='" +
                            (dir_ / "config").string() + "' '" + MORVEXCLI_PATH + "' ";
    const struct {
        const char* writer;  // the pipeline, {} standing for the load's command
        int status;
        const char* said;
    } cases[] = {
        {"cat big.csv | {} --data -", 0, ""},
        {"cat big.csv.xz | {} --data -", 0, ""},
        {"{} --data <(gzip -dc big.csv.gz)", 0, ""},
        {"{} --data /dev/stdin < big.csv.gz", 0, ""},
        {"sh -c 'head -c $(( $(stat -c %s big.csv.gz) / 2 )) big.csv.gz; kill -9 $$' | "
         "{} --data -",
         1,
         "flux gzip tronqué ou corrompu"},
        {"sh -c 'head -c $(( $(stat -c %s big.csv.xz) / 2 )) big.csv.xz; kill -9 $$' | "
         "{} --data -",
         1,
         "flux xz tronqué ou corrompu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writer);
        std::filesystem::remove(dir_ / "pipe.db");
        std::string line = c.writer;
        line.replace(line.find("{}"), 2, cli + "load -q plain.fyk pipe.db --table t");
        writeFile(dir_ / "pipeline.sh", line + " > out.txt 2> err.txt\n");
        const int raw = system(("cd '" + dir_.string() + "' && bash pipeline.sh").c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        const std::string err = readFile(dir_ / "err.txt");
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << err;
        EXPECT_TRUE(Contains(err, c.said)) << err;
        RunResult q = run("query pipe.db " + all);
        if (c.status == 0) {
            EXPECT_EQ(q.out, fromFile.out);
        } else {
            EXPECT_NE(q.status, 0) << q.out;  // no table: nothing of the stream is kept
        }
        EXPECT_FALSE(std::filesystem::exists(dir_ / "absent"));
    }
}

}  // namespace

namespace {

using namespace morvex::testing;

class TypedExports : public CliFixture {};

// Values converted through the description, as the load converts them: numbers with a point,
// ISO dates, no value told from an empty text.
TEST_F(TypedExports, WriteTheValuesOfTheirTypes) {
    writeClients("1;Alice;26/02/2015\r\n2;a,b \"c\";\r\n3;;27/02/2015\r\n4;Zoé;31/02/2015\r\n");
    const struct {
        const char* options;
        int status;
        const char* out;
    } cases[] = {
        {"--format csv --rows 0", 0,
         "ID,NOM,DT\n1,Alice,2015-02-26\n2,\"a,b \"\"c\"\"\",\n3,\"\",2015-02-27\n"
         "4,Zoé,31/02/2015\n"},
        {"--format tsv --null '\\N' --rows 0", 0,
         "ID\tNOM\tDT\n1\tAlice\t2015-02-26\n2\t\"a,b \"\"c\"\"\"\t\\N\n3\t\"\"\t2015-02-27\n"
         "4\tZoé\t31/02/2015\n"},
        {"--format csv --delimiter ';' --rows 1", 0, "ID;NOM;DT\n1;Alice;2015-02-26\n"},
        {"--format ndjson --rows 3", 0,
         "{\"ID\":1,\"NOM\":\"Alice\",\"DT\":\"2015-02-26\"}\n"
         "{\"ID\":2,\"NOM\":\"a,b \\\"c\\\"\",\"DT\":null}\n"
         "{\"ID\":3,\"NOM\":\"\",\"DT\":\"2015-02-27\"}\n"},
        {"--format json --rows 1", 0, "[{\"ID\":1,\"NOM\":\"Alice\",\"DT\":\"2015-02-26\"}]\n"},
        {"--format xml", 2, ""},
        {"--format csv --delimiter ';;'", 2, ""},
        {"--format csv --csv", 2, ""},
    };
    for (const auto& c : cases) {
        RunResult r = run(std::string("preview clients.fyk ") + c.options);
        EXPECT_EQ(r.status, c.status) << c.options << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.options;
    }
}

// Debian's table of its releases, exported typed, reads back through Python's csv module and
// line by line as JSON with every value of the file.
TEST_F(TypedExports, ReadBackByOtherReaders) {
    std::filesystem::copy_file(kReleases, dir_ / "debian.csv");
    ASSERT_EQ(run("analyse -q debian.csv -o d.fyk").status, 0);
    RunResult csv = run("preview d.fyk --rows 0 --format csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    writeFile(dir_ / "typed.csv", csv.out);
    writeFile(dir_ / "check.py", R"PY(
import csv, sys
original = list(csv.reader(open("debian.csv", newline="")))
typed = list(csv.reader(open(sys.argv[1], newline="")))
assert typed[0] == original[0], (typed[0], original[0])
assert len(typed) == len(original), (len(typed), len(original))
for o, t in zip(original[1:], typed[1:]):
    o = o + [""] * (len(original[0]) - len(o))
    assert (t[0] == o[0] == "") or float(t[0]) == float(o[0]), (t, o)
    assert t[1:] == o[1:], (t, o)
print(len(typed) - 1)
)PY");
    const std::string script = "cd '" + dir_.string() + "' && python3 check.py typed.csv > py.txt 2>&1";
    EXPECT_EQ(system(script.c_str()), 0) << readFile(dir_ / "py.txt");

    // Into a throw-away PostgreSQL through psql's \copy, and out again with every value equal
    // (one cluster at a time on the machine: clusters started together contend for the port).
    writeFile(dir_ / "pg.sh", R"SH(set -e
psql -X -q -v ON_ERROR_STOP=1 -c 'CREATE TABLE releases (version numeric, codename text,
    series text, created date, release date, eol date, "eol-lts" date, "eol-elts" date)'
psql -X -q -v ON_ERROR_STOP=1 -c "\copy releases from stdin csv header" < typed.csv
psql -X -q -v ON_ERROR_STOP=1 -c "\copy releases to stdout csv header" > back.csv
python3 check.py back.csv
)SH");
    const std::string pg = "cd '" + dir_.string() +
                           "' && flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh pg.sh "
                           "> pg.txt 2>&1";
    EXPECT_EQ(system(pg.c_str()), 0) << readFile(dir_ / "pg.txt");
    EXPECT_TRUE(Contains(readFile(dir_ / "pg.txt"), readFile(dir_ / "py.txt"))) << readFile(dir_ / "pg.txt");

    RunResult nd = run("preview d.fyk --rows 0 --format ndjson");
    ASSERT_EQ(nd.status, 0) << nd.err;
    std::istringstream lines(nd.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        const nlohmann::json row = nlohmann::json::parse(line);
        EXPECT_TRUE(row["version"].is_number() || row["version"].is_null()) << line;
        EXPECT_TRUE(row["created"].is_string()) << line;
        EXPECT_TRUE(row["eol-elts"].is_null() || row["eol-elts"].is_string()) << line;
        ++n;
    }
    EXPECT_EQ(std::to_string(n) + "\n", readFile(dir_ / "py.txt"));
    // Releases without a number yet (sid, experimental) have none, not an empty text.
    EXPECT_TRUE(Contains(nd.out, "{\"version\":null,\"codename\":\"Sid\"")) << nd.out;
}

// A file of many batches (Debian's table of its releases 3000 times over) is written as its
// one copy is, over and over, in order, whatever the shape and the --rows limit; an output
// closed early ends the export at once: killed by the pipe's signal as any filter is, or, with
// the signal ignored, status 1 and one error.
TEST_F(TypedExports, ManyBatchesAsOneAndAClosedOutputEndsThem) {
    const std::string table = readFile(kReleases);
    const std::string header = table.substr(0, table.find('\n') + 1);
    const std::string body = table.substr(header.size());
    const int copies = 3000;
    std::string big = header;
    for (int i = 0; i < copies; ++i) big += body;
    writeFile(dir_ / "debian.csv", table);
    writeFile(dir_ / "big.csv", big);
    ASSERT_EQ(run("analyse -q debian.csv -o d.fyk").status, 0);
    for (const char* shape : {"csv", "ndjson", "json"}) {
        SCOPED_TRACE(shape);
        RunResult one = run(std::string("preview d.fyk --rows 0 --format ") + shape);
        RunResult all = run(std::string("preview d.fyk --rows 0 --data big.csv --format ") + shape);
        ASSERT_EQ(one.status, 0) << one.err;
        ASSERT_EQ(all.status, 0) << all.err;
        std::string head, rows = one.out, tail;
        if (std::string(shape) == "csv") {
            head = rows.substr(0, rows.find('\n') + 1);
            rows.erase(0, head.size());
        } else if (std::string(shape) == "json") {  // [{..},{..}]\n
            head = "[";
            tail = "]\n";
            rows = rows.substr(1, rows.size() - 3) + ",";
        }
        std::string expected = head;
        for (int i = 0; i < copies; ++i) expected += rows;
        if (!tail.empty()) expected.back() = ']', expected += "\n";
        EXPECT_TRUE(all.out == expected) << all.out.size() << " bytes, expected " << expected.size();
    }
    // A limit that ends inside a batch, past the first ones.
    const int lines = static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    const int limit = 5 * 4096 + 7;
    RunResult cut = run("preview d.fyk --rows " + std::to_string(limit) +
                        " --data big.csv --format ndjson");
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(std::count(cut.out.begin(), cut.out.end(), '\n'), limit);
    RunResult whole = run("preview d.fyk --rows 0 --data big.csv --format ndjson");
    EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'), lines * copies);
    EXPECT_EQ(whole.out.compare(0, cut.out.size(), cut.out), 0);

    // A text that is not UTF-8 after escaped characters and others past ASCII: its bad bytes
    // replaced, nothing written twice.
    RunResult bad = run("query :memory: \"select 'a\\\"\\\\é' || cast(x'ff' as text) as t, "
                        "'\\\"é\tz' as u\" --format ndjson");
    EXPECT_EQ(bad.out, "{\"t\":\"a\\\"\\\\é\xef\xbf\xbd\",\"u\":\"\\\"é\\tz\"}\n") << bad.err;

    const std::string cli = "env MORVEX_CONFIG_DIR='" + (dir_ / "config").string() + "' '" +
                            MORVEXCLI_PATH + "' -q preview d.fyk --rows 0 --data big.csv --format csv";
    const struct {
        const char* trap;
        const char* statuses;  // the export's and head's
        const char* said;
    } cases[] = {
        {"", "141 0\n", ""},
        {"trap '' PIPE; ", "1 0\n", "(e) Erreur d'écriture sur la sortie standard.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trap);
        writeFile(dir_ / "head.sh", std::string(c.trap) + cli +
                                        " 2> err.txt | head -c 10 > out.txt; "
                                        "echo \"${PIPESTATUS[@]}\" > status.txt\n");
        const int raw = system(("cd '" + dir_.string() + "' && timeout 60 bash head.sh").c_str());
        ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
        EXPECT_EQ(readFile(dir_ / "out.txt"), header.substr(0, 10));
        EXPECT_EQ(readFile(dir_ / "status.txt"), c.statuses);
        EXPECT_EQ(readFile(dir_ / "err.txt"), c.said);
    }
}

}  // namespace
