#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/descview.h"
#include "cli/tests/cli_fixture.h"
#include "foundation/version.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::Includes;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;

namespace {

class MorvexCli : public morvex::testing::CliFixture {
protected:
    // A description with every type, a key, an index and two templates, saved to `name`.
    fs::path sampleDescription(const std::string& name) {
        FileDesc* d = FILEDESC_CreateFileDesc("Clients", nullptr, 2, "\\r\\n", ";");
        strcpy(d->TableName, "CLIENT");
        strcpy(d->SchemaName, "dbo");
        d->FirstLineIsHeader = 1;
        d->BeginFromLine = 1;
        const struct {
            const char* code;
            int width;
            int type;
        } cols[] = {{"ID", 5, 0},   {"MONTANT", 10, 1}, {"NAISSANCE", 8, 2}, {"MAJ", 19, 3},
                    {"CODE", 2, 4}, {"NOM", 30, 5},     {"NOTE", 0, 6},      {"ACTIF", 1, 7}};
        for (const auto& c : cols) {
            ColumnDesc col{};
            strcpy(col.code, c.code);
            col.WidthInChars = c.width;
            col.typeCible.type = c.type;
            col.typeCible.fmtDecimal = {7, 2};
            strcpy(col.typeCible.fmtDate, "aaaammjj");
            strcpy(col.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
            col.typeCible.fmtChaineFixe.taille = 2;
            col.typeCible.fmtChaineVar.tailleMax = 30;
            FILEDESC_AjouterColonne(d, &col);
        }
        IndexDesc* key = FILEDESC_CreateIndex("PK_CLIENT");
        key->columns.push_back(FILEDESC_SearchColumn(d, "ID"));
        FILEDESC_SetPrimaryKey(d, key);
        FILEDESC_DestroyIndex(key);
        IndexDesc* index = FILEDESC_CreateIndex("IX_NOM");
        index->columns.push_back(FILEDESC_SearchColumn(d, "NOM"));
        index->columns.push_back(FILEDESC_SearchColumn(d, "NAISSANCE"));
        FILEDESC_AddIndex(d, index);
        for (const char* t : {"templates/create.tpl", "templates/doc.tpl"}) {
            PROCESSTASK* task = PROCESS_CreateTask();
            task->templatePath = strdup(t);
            PROCESS_AddTask(d->processes, task);
        }
        morvex::testing::saveDescription(d, dir_ / name);
        return dir_ / name;
    }
};

TEST_F(MorvexCli, ShowPrintsPropertiesAndOneAlignedLinePerColumn) {
    fs::path desc = sampleDescription("clients.fyk");
    RunResult r = run("show '" + desc.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(Contains(r.out, "Projet            : Clients\n"));
    EXPECT_TRUE(Contains(r.out, "Clé primaire      : PK_CLIENT (ID)\n"));
    EXPECT_TRUE(Contains(r.out, "Index             : IX_NOM (NOM, NAISSANCE)\n"));
    EXPECT_TRUE(Contains(r.out, "Template          : templates/doc.tpl\n"));
    EXPECT_TRUE(Contains(r.out, "  2      6   15  MONTANT         10  Decimal       9,2"));
    EXPECT_TRUE(Contains(r.out, "Datetime      aaaa-mm-jj HH:MM:SS"));
    // The trace never reaches the terminal: it is in the log file of the settings' directory.
    EXPECT_FALSE(Contains(r.out, "[FILEDESC"));
    std::string log = readFile(dir_ / "logs" / "morvexcli.log");
    EXPECT_TRUE(Contains(log, "[FILEDESC_CreateFileDesc]"));
}

TEST_F(MorvexCli, ShowJsonUsesTheRecordFieldNames) {
    fs::path desc = sampleDescription("clients.fyk");
    RunResult r =
        run("--log '" + (dir_ / "my.log").string() + "' show --json '" + desc.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    nlohmann::json expected = nlohmann::json::parse(R"({
        "ProjectName": "Clients", "TypeStructFile": 2, "EndOfLine": "\\r\\n",
        "EndOfLineChars": "\r\n",
        "columns": [{}, {"code": "MONTANT", "StartPosition": 6,
                         "typeCible": {"fmtDecimal": {"partieDecimale": 2}}}, {}, {}, {}, {}, {}, {}],
        "primaryKey": {"name": "PK_CLIENT", "columns": ["ID"]},
        "indexes": [{"columns": ["NOM", "NAISSANCE"]}],
        "templates": ["templates/create.tpl", "templates/doc.tpl"]})");
    expected["FileDescPath"] = desc.string();
    EXPECT_TRUE(Includes(j, expected));
    EXPECT_FALSE(j["columns"][1].contains("stats"));
    EXPECT_TRUE(fs::exists(dir_ / "my.log"));
}

// Without a logs folder in the settings the log goes to the user's own state folder, created
// 0700, never to the shared temporary folder; a link planted at the log's place is not
// followed, so its target keeps its bytes.
TEST_F(MorvexCli, DefaultLogIsPrivateAndNeverWrittenThroughAPlantedLink) {
    writeFile(dir_ / "config" / "MorvexFylatek.ini", "[Software\\MorvexFylatek]\nLogsDirectory=\n");
    const char* saved = getenv("XDG_STATE_HOME");
    const std::string previous = saved ? saved : "";
    setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
    const fs::path logs = dir_ / "state" / "MorvexFylatek";
    RunResult r = run("calc 1+1");
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(stat(logs.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((logs / "morvexcli.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(Contains(readFile(logs / "morvexcli.log"), "[morvexcli] Le fichier de log"));

    fs::remove(logs / "morvexcli.log");
    writeFile(dir_ / "target.txt", "precious");
    fs::create_symlink(dir_ / "target.txt", logs / "morvexcli.log");
    r = run("calc 1+1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir_ / "target.txt"), "precious");
    EXPECT_TRUE(Contains(r.err, "Impossible d'ouvrir le fichier de log"));
    if (saved)
        setenv("XDG_STATE_HOME", previous.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
}

TEST_F(MorvexCli, JsonCarriesStatisticsAndSurvivesBytesThatAreNotUtf8) {
    FileDesc* d = FILEDESC_CreateFileDesc("caf\xe9", nullptr, 2, nullptr, nullptr);
    ColumnDesc col{};
    strcpy(col.code, "A");
    col.stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
    col.stats->countDates = 3;
    strcpy(col.stats->dateFormat, "jj/mm/aaaa");
    FILEDESC_AjouterColonne(d, &col);
    std::string text = morvex::dumpJson(morvex::descriptionToJson(*d));
    FILEDESC_CloseFileDesc(d);
    nlohmann::json j = nlohmann::json::parse(text);
    EXPECT_EQ(j["ProjectName"], "caf\xEF\xBF\xBD");
    EXPECT_EQ(j["columns"][0]["stats"]["countDates"], 3);
    EXPECT_EQ(j["columns"][0]["stats"]["dateFormat"], "jj/mm/aaaa");
}

TEST_F(MorvexCli, ErrorsAreFrenchOnStandardErrorWithStatusOne) {
    RunResult missing = run("show '" + (dir_ / "absent.fyk").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(Contains(missing.err, "(e) Le fichier de description"));

    RunResult directory = run("show '" + dir_.string() + "'");
    EXPECT_EQ(directory.status, 1);

    RunResult badTarget = run("convert '" + sampleDescription("a.fyk").string() + "' '" +
                              (dir_ / "missing-dir" / "b.fyk").string() + "'");
    EXPECT_EQ(badTarget.status, 1);
    EXPECT_TRUE(Contains(badTarget.err, "Impossible d'écrire"));
    EXPECT_FALSE(fs::exists(dir_ / "missing-dir"));
}

TEST_F(MorvexCli, ABrokenDescriptionIsToldWithItsLineAndNothingIsLoaded) {
    const std::string whole = readFile(sampleDescription("clients.fyk"));
    // Cut inside the second column block, as an interrupted copy leaves it.
    const size_t second = whole.find("BEGIN Column", whole.find("BEGIN Column") + 1);
    const int line = 1 + static_cast<int>(std::count(whole.begin(), whole.begin() + second, '\n'));
    writeFile(dir_ / "cut.fyk", whole.substr(0, whole.find("LARGEUR", second)));
    std::string bad = whole;
    bad.replace(bad.find("LARGEUR=10"), 10, "LARGEUR=-1");
    writeFile(dir_ / "width.fyk", bad);
    writeFile(dir_ / "data.csv", "1;2\n");
    const struct {
        const char* file;
        std::string told;
    } cases[] = {
        {"cut.fyk",
         "est incomplet : bloc Column non terminé (ligne " + std::to_string(line) + ")."},
        {"width.fyk",
         "est invalide : largeur de colonne « -1 » refusée, un nombre de 1 à 5000 "
         "est attendu (0 : sans largeur) (ligne " +
             std::to_string(line + 8) + ")."},
    };
    for (const auto& c : cases) {
        for (const std::string command : {"show ", "load "}) {
            RunResult r =
                run(command + c.file + (command == "load " ? " out.db --data data.csv" : ""));
            EXPECT_EQ(r.status, 1) << command << c.file;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err,
                      "(e) Le fichier de format '" + std::string(c.file) + "' " + c.told + "\n");
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.db"));
}

TEST_F(MorvexCli, UsageErrorsExitWithStatusTwoAndHelpWithZero) {
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("show").status, 2);
    EXPECT_EQ(run("frobnicate x").status, 2);
    EXPECT_EQ(run("show --bogus x.fyk").status, 2);
    RunResult help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "convert"));
    RunResult showHelp = run("show --help");
    EXPECT_EQ(showHelp.status, 0);
    EXPECT_TRUE(Contains(showHelp.out, "--json"));
}

// --version answers with the one version of foundation/version.h, status 0, on standard output.
TEST_F(MorvexCli, VersionNamesTheToolSetsVersionAndBuild) {
    RunResult version = run("--version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_TRUE(morvex::testing::StartsWith(
        version.out, "morvexcli (Morvex Fylatek) " MORVEX_VERSION "\nBuild " MORVEX_BUILD "\n"))
        << version.out;
    EXPECT_EQ(version.err, "");
}

// The PostgreSQL client library and the twenty it brings are opened by the commands that
// connect, not at every start: a command that does not connect never loads them.
TEST_F(MorvexCli, StartsWithoutLoadingThePostgresqlClient) {
    const std::string trace = (dir_ / "loader.txt").string();
    const std::string cmd = std::string("LD_DEBUG=libs '") + MORVEXCLI_PATH +
                            "' --version > /dev/null 2> '" + trace + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    const std::string loaded = readFile(trace);
    EXPECT_NE(loaded.find("libstdc++"), std::string::npos) << loaded;  // the loader's trace is there
    EXPECT_EQ(loaded.find("libpq"), std::string::npos) << loaded;
}

TEST_F(MorvexCli, ConvertRewritesADescriptionByteForByte) {
    fs::path desc = sampleDescription("clients.fyk");
    fs::path out = dir_ / "copy.fyk";
    RunResult r = run("convert '" + desc.string() + "' '" + out.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(out), readFile(desc));
    EXPECT_FALSE(fs::exists(dir_ / "copy.fyk.tmp"));

    // A comment typed on several lines, next to a path, comes back as it was.
    FileDesc* d = morvex::testing::makeDescription("Notes", 2, "T", {{"A", DATATYPE_TEXT, 3}});
    d->Description = strdup("Première ligne\r\nC:\\nouveau\\fichier.txt\n");
    morvex::testing::saveDescription(d, dir_ / "notes.fyk");
    r = run("convert notes.fyk notes2.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir_ / "notes2.fyk"), readFile(dir_ / "notes.fyk"));
    EXPECT_TRUE(
        Contains(readFile(dir_ / "notes.fyk"),
                 "\r\n\t\tDESCRIPTION=Première ligne\\r\\nC:\\\\nouveau\\\\fichier.txt\\n\r\n"));
}

TEST_F(MorvexCli, ConvertMigratesLegacyColumnRecordsIntoADescriptionNamedAfterTheFile) {
    FileDesc* d = morvex::testing::makeDescription(
        "x", 2, "",
        {{"NUMERO", DATATYPE_VARIABLECHAR, 12}, {"LIBELLE", DATATYPE_VARIABLECHAR, 12}});
    fs::path legacy = dir_ / "ancien.for";
    ASSERT_EQ(EnregistrerFormat(d, legacy.c_str()), 0);
    FILEDESC_CloseFileDesc(d);

    fs::path out = dir_ / "ancien.fyk";
    RunResult r = run("convert '" + legacy.string() + "' '" + out.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(showJson(out), nlohmann::json::parse(R"({
        "ProjectName": "ancien", "TypeStructFile": 2,
        "columns": [{}, {"code": "LIBELLE", "StartPosition": 13}]})")));
}

}  // namespace
