// load with several data files: --data repeated and patterns, --source-column, the counts of
// each file, the rejects naming their file, and one transaction for all of them.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cli/tests/cli_fixture.h"

namespace {

using namespace morvex::testing;

// The lines of a text.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Debian's table of its releases (distro-info-data) cut into three files of its rows, each with
// the header line: loaded together they must give the table the whole file gives.
class SeveralFiles : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        const std::vector<std::string> lines =
            linesOf(readFile("/usr/share/distro-info/debian.csv"));
        ASSERT_GT(lines.size(), 16u);
        writeFile(dir_ / "debian.csv", readFile("/usr/share/distro-info/debian.csv"));
        // Rows 1-5, 6-12 and the rest.
        const size_t cuts[] = {1, 6, 13, lines.size()};
        for (int part = 0; part < 3; ++part) {
            std::string text = lines[0] + "\n";
            for (size_t i = cuts[part]; i < cuts[part + 1]; ++i) text += lines[i] + "\n";
            writeFile(dir_ / ("releases_" + std::to_string(part + 1) + ".csv"), text);
            rows_.push_back(static_cast<int>(cuts[part + 1] - cuts[part]));
            firstLine_.push_back(static_cast<int>(cuts[part]));
        }
        ASSERT_EQ(run("analyse -q debian.csv -o d.fyk").status, 0);
    }

    // The rows of `table` in `db` as JSON objects, in the order they were loaded.
    nlohmann::json rowsOf(const std::string& db, const std::string& table) {
        RunResult r = run("query " + db + " 'select * from " + table + " order by rowid' --format json");
        EXPECT_EQ(r.status, 0) << r.err;
        return r.status == 0 ? nlohmann::json::parse(r.out) : nlohmann::json::array();
    }

    std::vector<int> rows_;       // rows of each part
    std::vector<int> firstLine_;  // the line of debian.csv (from 0, the header) each part starts at
};

// Three files into one table with the source column: the counts of each, every value as the
// whole file gives it, each row's file; a quoted pattern reads the same files in name order.
TEST_F(SeveralFiles, LoadIntoOneTableWithTheirNames) {
    ASSERT_EQ(run("load -q d.fyk whole.db --table t").status, 0);
    const nlohmann::json whole = rowsOf("whole.db", "t");
    ASSERT_EQ(whole.size(), static_cast<size_t>(rows_[0] + rows_[1] + rows_[2]));

    for (const char* data : {"--data releases_1.csv --data releases_2.csv --data releases_3.csv",
                             "--data 'releases_*.csv'", "--data 'releases_[0-9].csv'",
                             // The shell's expansion: several files after one --data.
                             "--data releases_*.csv"}) {
        SCOPED_TRACE(data);
        std::filesystem::remove(dir_ / "parts.db");
        RunResult r = run(std::string("load d.fyk parts.db --table t --source-column fichier ") + data);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> out = linesOf(r.out);
        ASSERT_GE(out.size(), 5u) << r.out;
        const int total = rows_[0] + rows_[1] + rows_[2];
        for (int part = 0; part < 3; ++part) {
            const std::string n = std::to_string(rows_[part]);
            EXPECT_EQ(out[1 + part], "'releases_" + std::to_string(part + 1) + ".csv' : " + n +
                                         " ligne(s) lue(s) : " + n +
                                         " enregistrée(s), 0 écartée(s), 0 rejetée(s) par la base.");
        }
        // The sentence of a load of one file, for them all.
        EXPECT_EQ(out[4], std::to_string(total) + " ligne(s) lue(s) : " + std::to_string(total) +
                              " enregistrée(s), 0 écartée(s), 0 rejetée(s) par la base.");
        const nlohmann::json parts = rowsOf("parts.db", "t");
        ASSERT_EQ(parts.size(), whole.size());
        size_t row = 0;
        for (int part = 0; part < 3; ++part) {
            for (int i = 0; i < rows_[part]; ++i, ++row) {
                nlohmann::json values = parts[row];
                EXPECT_EQ(values["fichier"], "releases_" + std::to_string(part + 1) + ".csv");
                values.erase("fichier");
                // FileRowID is the row's line in its own file.
                EXPECT_EQ(values["FileRowID"], i + 2);
                values.erase("FileRowID");
                nlohmann::json expected = whole[row];
                expected.erase("FileRowID");
                EXPECT_EQ(values, expected) << "row " << row;
            }
        }
    }
    // The source column is the table's last, a text; a name the description has is refused.
    RunResult columns = run("query parts.db \"select name, type from pragma_table_info('t')\" --format csv");
    EXPECT_TRUE(Contains(columns.out, "eol-elts,datetime\nfichier,TEXT\n")) << columns.out;
    RunResult taken = run("load d.fyk parts.db --table t --data debian.csv --source-column CODENAME");
    EXPECT_EQ(taken.status, 2);
    EXPECT_EQ(taken.err, "(e) --source-column : la description a déjà une colonne CODENAME.\n");
    // Usage errors: a pattern that matches nothing, standard input twice.
    RunResult none = run("load d.fyk parts.db --data 'ventes_*.csv'");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "(e) Aucun fichier ne correspond au motif 'ventes_*.csv'.\n");
    RunResult twice = run("load d.fyk parts.db --data - --data -");
    EXPECT_EQ(twice.status, 2);
    EXPECT_EQ(twice.err, "(e) L'entrée standard (-) ne peut être lue qu'une fois.\n");
}

// The rows a strict load sets aside are those the whole file's load sets aside, each named by
// its file and its line there; standard input and a compressed file are files like the others.
TEST_F(SeveralFiles, RejectsNameTheirFile) {
    ASSERT_EQ(run("load -q d.fyk whole.db --table t --rejects whole.csv").status, 0);
    ASSERT_EQ(system(("cd '" + dir_.string() + "' && gzip -k releases_3.csv").c_str()), 0);
    RunResult r = run("load -q d.fyk parts.db --table t --rejects parts.csv --data releases_1.csv "
                      "--data - --data releases_3.csv.gz",
                      readFile(dir_ / "releases_2.csv"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> whole = linesOf(readFile(dir_ / "whole.csv"));
    const std::vector<std::string> parts = linesOf(readFile(dir_ / "parts.csv"));
    ASSERT_GT(whole.size(), 2u);
    ASSERT_EQ(parts.size(), whole.size());
    EXPECT_EQ(whole[0], "ligne,colonne,motif");
    EXPECT_EQ(parts[0], "fichier,ligne,colonne,motif");
    const char* names[] = {"releases_1.csv", "-", "releases_3.csv.gz"};
    for (size_t i = 1; i < whole.size(); ++i) {
        const size_t comma = whole[i].find(',');
        const int line = std::stoi(whole[i].substr(0, comma));
        int part = 2;
        while (part > 0 && line - 1 < firstLine_[part]) --part;
        EXPECT_EQ(parts[i], std::string(names[part]) + "," +
                                std::to_string(line - firstLine_[part] + 1) + whole[i].substr(comma))
            << whole[i];
    }
}

// A third file cut short fails the load: nothing of the first two is kept, and the table
// loaded before is whole.
TEST_F(SeveralFiles, AFailingFileKeepsNothingOfTheOthers) {
    ASSERT_EQ(run("load -q d.fyk parts.db --table t --data debian.csv").status, 0);
    const nlohmann::json before = rowsOf("parts.db", "t");
    ASSERT_EQ(system(("cd '" + dir_.string() +
                      "' && gzip -c debian.csv | head -c 300 > releases_3.csv.gz")
                         .c_str()),
              0);
    RunResult r = run("load d.fyk parts.db --table t --source-column f --data releases_1.csv "
                      "--data releases_2.csv --data releases_3.csv.gz");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "(!) Echec du chargement des fichiers de données ; aucune ligne n'a été "
              "enregistrée.\nCause : releases_3.csv.gz : flux gzip tronqué ou corrompu\n");
    EXPECT_EQ(rowsOf("parts.db", "t"), before);
    // Nor into a table of its own.
    r = run("load d.fyk parts.db --table u --data releases_1.csv --data releases_3.csv.gz");
    EXPECT_EQ(r.status, 1);
    RunResult tables = run("query parts.db \"select count(*) from sqlite_master where name = 'u'\" --format csv");
    EXPECT_EQ(tables.out, "count(*)\n0\n");
}

}  // namespace
