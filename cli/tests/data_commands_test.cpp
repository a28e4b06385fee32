#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/tests/cli_fixture.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::Includes;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::StartsWith;
using morvex::testing::writeFile;

namespace {

class DataCommands : public morvex::testing::CliFixture {
protected:
    // ID;NOM;DATE with `rows` data lines, CR LF.
    fs::path clientsFile(int rows, const std::string& name = "clients.csv") {
        std::string text = "ID;NOM;DATE\r\n";
        for (int i = 1; i <= rows; ++i)
            text += std::to_string(i) + ";Dupont" + std::string(static_cast<size_t>(i % 7), 'x') +
                    ";" + (i % 28 + 1 < 10 ? "0" : "") + std::to_string(i % 28 + 1) +
                    "/02/2015\r\n";
        fs::path p = dir_ / name;
        writeFile(p, text);
        return p;
    }
};

TEST_F(DataCommands, AnalyseBuildsADescriptionNamedAfterTheFileInTheCurrentFolder) {
    fs::path data = clientsFile(50);
    RunResult r = run("analyse '" + data.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Projet            : clients\n"));
    ASSERT_TRUE(fs::exists(dir_ / "clients.fyk"));
    nlohmann::json expected = nlohmann::json::parse(R"({
        "Description": "Fichier de format généré automatiquement par Morvex Fylatek.",
        "FirstLineIsHeader": 1,
        "columns": [{"code": "ID", "typeCible": {"type": 0}},
                    {"code": "NOM", "typeCible": {"type": 5}, "WidthInChars": 12},
                    {"typeCible": {"type": 2, "fmtDate": "jj/mm/aaaa"}}]})");
    expected["ExampleFilePath"] = data.string();
    EXPECT_TRUE(Includes(showJson(dir_ / "clients.fyk"), expected));
}

TEST_F(DataCommands, AnalyseHonoursDelimiterHeaderAndOutputOptions) {
    writeFile(dir_ / "tab.txt", "1\tA\r\n2\tB\r\n");
    RunResult r = run("analyse tab.txt --delimiter '\\t' --no-header -o out/../t.fyk");
    EXPECT_NE(r.status, 0);  // the folder "out" does not exist
    r = run("analyse tab.txt --delimiter '\\t' --no-header -o t.fyk --rows 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(showJson(dir_ / "t.fyk"), nlohmann::json::parse(R"({
        "FieldDelimiter": "\\t", "FirstLineIsHeader": 0,
        "columns": [{"code": "COL001"}, {"code": "COL002"}]})")));
}

// A fixed-width export of a published table (datafile/tests/data/fixedwidth): its columns found
// from its rows and told with their evidence, or forced with --widths; trimming on, and off
// again through edit.
TEST_F(DataCommands, AnalyseDescribesAFixedWidthFileFromItsRowsOrFromTheWidthsGiven) {
    fs::copy_file(fs::path(MORVEX_SOURCE_DIR_PATH) / "datafile/tests/data/fixedwidth/stocks.txt",
                  dir_ / "stocks.txt");
    RunResult r = run("analyse stocks.txt -o s.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "(i) Fichier à largeur fixe probable : 105 lignes de 51 caractères, 7 colonnes\n"
                                "  colonne 2 à la position 9 (largeur 6) : fin d'une date aaaammjj\n"))
        << r.err;
    EXPECT_TRUE(Includes(showJson(dir_ / "s.fyk"), nlohmann::json::parse(R"({
        "TypeStructFile": 1, "FieldDelimiter": "", "TrimPadding": 1, "FirstLineIsHeader": 0,
        "columns": [{"code": "COL001", "WidthInChars": 8, "typeCible": {"type": 2, "fmtDate": "aaaammjj"}},
                    {"WidthInChars": 6, "typeCible": {"type": 4}}, {"WidthInChars": 7, "typeCible": {"type": 1}},
                    {"WidthInChars": 8}, {"WidthInChars": 8}, {"WidthInChars": 7}, {"WidthInChars": 7}]})")));

    r = run("analyse stocks.txt --widths 8,6,7 -o w.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "colonne 3 à la position 15 (largeur 37) : largeur imposée")) << r.err;
    EXPECT_TRUE(Includes(showJson(dir_ / "w.fyk"), nlohmann::json::parse(R"({
        "TypeStructFile": 1, "columns": [{"WidthInChars": 8}, {"WidthInChars": 6}, {"WidthInChars": 37}]})")));
    for (const char* refused : {"8,0", "8,,6", "huit"}) {
        r = run(std::string("analyse stocks.txt -o x.fyk --widths ") + refused);
        EXPECT_EQ(r.status, 2) << refused;
        EXPECT_TRUE(Contains(r.err, "Largeur invalide")) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "x.fyk"));

    ASSERT_EQ(run("edit s.fyk --set trim=0").status, 0);
    EXPECT_TRUE(Includes(showJson(dir_ / "s.fyk"), nlohmann::json::parse(R"({"TrimPadding": 0})")));
    EXPECT_NE(run("edit s.fyk --set trim=2").status, 0);
}

// The padding of the text columns of a fixed-width export (a published table) is left out by
// every reader of the description that trims it: the typed preview, the profile, the SQL
// Server script; and kept again, byte for byte, once the description no longer trims it.
TEST_F(DataCommands, EveryReaderLeavesOutThePaddingOfATrimmingDescription) {
    fs::copy_file(fs::path(MORVEX_SOURCE_DIR_PATH) / "datafile/tests/data/fixedwidth/worldbank_df.txt",
                  dir_ / "w.txt");
    ASSERT_EQ(run("analyse w.txt -o w.fyk").status, 0);
    ASSERT_TRUE(Includes(showJson(dir_ / "w.fyk"), nlohmann::json::parse(R"({"TrimPadding": 1,
        "columns": [{"WidthInChars": 36, "typeCible": {"type": 5}}, {"WidthInChars": 3}, {}, {}, {},
                    {}, {}]})")));
    const std::string afghanistan = "Afghanistan" + std::string(25, ' ');
    for (const bool trimmed : {true, false}) {
        if (!trimmed) {
            ASSERT_EQ(run("edit w.fyk --set trim=0").status, 0);
        }
        const std::string name = trimmed ? "Afghanistan" : afghanistan;
        const std::string code = trimmed ? "AF" : "AF ";
        RunResult r = run("preview w.fyk --format json --rows 1");
        ASSERT_EQ(r.status, 0) << r.err;
        const nlohmann::json row = nlohmann::json::parse(r.out).at(0);
        EXPECT_EQ(row["COL001"], name) << trimmed;
        EXPECT_EQ(row["COL002"], code) << trimmed;
        r = run("preview w.fyk --format csv --rows 1");
        EXPECT_TRUE(Contains(r.out, "\n" + name + "," + code + ",")) << r.out;

        r = run("profile w.fyk --json");
        ASSERT_EQ(r.status, 0) << r.err;
        const nlohmann::json country = nlohmann::json::parse(r.out)["columns"][0];
        EXPECT_EQ(country["minimum"], name) << trimmed;
        EXPECT_EQ(country["maxLength"], trimmed ? 35 : 36);

        r = run("mssql insert w.fyk w.sql");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Contains(readFile(dir_ / "w.sql"), "VALUES ('" + name + "', '" + code + "', "))
            << trimmed;
    }
}

TEST_F(DataCommands, AnalyseUpdateRefreshesTypesOfAnExistingDescription) {
    fs::path data = clientsFile(30);
    ASSERT_EQ(run("analyse '" + data.string() + "' -o c.fyk").status, 0);
    // The file changes: NOM now holds longer names; the re-run widens the column.
    writeFile(data, "ID;NOM;DATE\r\n1;" + std::string(40, 'z') + ";01/01/2015\r\n");
    RunResult r = run("analyse --update c.fyk --all");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(showJson(dir_ / "c.fyk"),
                         nlohmann::json::parse(R"({"columns": [{}, {"WidthInChars": 40}, {}]})")));
    EXPECT_EQ(run("analyse --update c.fyk --no-header").status, 2);
}

TEST_F(DataCommands, PreviewSkipsTheHeaderAndShowsNineteenRowsByDefault) {
    fs::path data = clientsFile(100);
    ASSERT_EQ(run("analyse '" + data.string() + "' -o c.fyk").status, 0);
    RunResult table = run("preview c.fyk");
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_TRUE(StartsWith(table.out, "ID | NOM"));
    EXPECT_TRUE(Contains(table.out, "\n19 ligne(s)\n"));

    RunResult json = run("preview c.fyk --rows 3 --json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(Includes(nlohmann::json::parse(json.out), nlohmann::json::parse(R"({
        "columns": ["ID", "NOM", "DATE"],
        "rows": [{"line": 2, "values": ["1", "Dupontx", "02/02/2015"]}, {}, {}]})")));

    RunResult all = run("preview c.fyk --rows 0 --csv");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 101);
    EXPECT_TRUE(StartsWith(all.out, "ID,NOM,DATE\n1,Dupontx,02/02/2015\n"));
}

TEST_F(DataCommands, PreviewCsvQuotesWhatNeedsQuotingAndKeepsZeroBytes) {
    const char data[] = "a,b;\"x\"\"y\";z\0w\r\n";
    writeFile(dir_ / "d.csv", std::string(data, sizeof data - 1));
    ASSERT_EQ(run("analyse d.csv --plain --no-header -o d.fyk").status, 0);
    RunResult r = run("preview d.fyk --csv");
    ASSERT_EQ(r.status, 0) << r.err;
    const char expected[] = "COL001,COL002,COL003\n\"a,b\",\"\"\"x\"\"\"\"y\"\"\",z\0w\n";
    EXPECT_EQ(r.out, std::string(expected, sizeof expected - 1));
}

TEST_F(DataCommands, CountReportsEveryLineHeaderIncluded) {
    fs::path data = clientsFile(250);
    ASSERT_EQ(run("analyse '" + data.string() + "' -o c.fyk").status, 0);
    RunResult r = run("count c.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Le fichier contient au total 251 lignes.\n");
    writeFile(dir_ / "other.csv", "a\r\nb\r\n");
    EXPECT_EQ(run("count c.fyk --data other.csv").out, "Le fichier contient au total 2 lignes.\n");
}

TEST_F(DataCommands, MissingDataFilesAreReportedInFrench) {
    EXPECT_EQ(run("analyse absent.csv").status, 1);
    fs::path data = clientsFile(3);
    ASSERT_EQ(run("analyse '" + data.string() + "' -o c.fyk").status, 0);
    RunResult r = run("preview c.fyk --data absent.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "(e) Le fichier de données 'absent.csv' n'existe pas"));
    EXPECT_EQ(run("count c.fyk --data " + dir_.string()).status, 1);
    EXPECT_EQ(run("preview c.fyk --json --csv").status, 2);
}

}  // namespace
