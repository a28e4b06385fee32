// morvexcli generate, template check and process, run as the real program.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "cli/tests/cli_fixture.h"
#include "filedesc/filedesc.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;

namespace {

class GenerateCli : public morvex::testing::CliFixture {
protected:
    // A description d.fyk (table CLIENT, columns ID and NOM) with `templates` as its process.
    void writeDescription(const std::vector<std::string>& templates = {}) {
        FileDesc* d = morvex::testing::makeDescription("Clients", 2, "CLIENT", {{"ID"}, {"NOM"}});
        for (const std::string& t : templates) {
            PROCESSTASK* task = PROCESS_CreateTask();
            task->templatePath = strdup(t.c_str());
            PROCESS_AddTask(d->processes, task);
        }
        morvex::testing::saveDescription(d, dir_ / "d.fyk");
    }
    // The single time-stamped directory made under `root`.
    fs::path runDirectory(const fs::path& root) {
        for (const auto& e : fs::directory_iterator(root)) return e.path();
        return {};
    }
};

TEST_F(GenerateCli, RunsTheDescriptionProcessIntoATimeStampedDirectory) {
    writeFile(dir_ / "a.tpl",
              "%targetfilename {table.name}.txt\n%for_each_column\n%begin\n"
              "{column.name}\n%end\n");
    writeFile(dir_ / "bad.tpl", "%if 1\n");
    writeDescription({"a.tpl", "bad.tpl"});
    RunResult r = run("generate d.fyk --out gen");
    EXPECT_EQ(r.status, 1) << r.err;  // one task failed
    fs::path out = runDirectory(dir_ / "gen");
    EXPECT_TRUE(std::regex_match(out.filename().string(),
                                 std::regex(R"(\d{4}-\d\d-\d\d_\d\dh\d\dm\d\ds)")));
    EXPECT_EQ(readFile(out / "CLIENT.txt"), "ID\nNOM\n");
    const std::string produced = "gen/" + out.filename().string() + "/CLIENT.txt";
    EXPECT_TRUE(Contains(r.out, "\n- Génération : OK\n" + produced));
    EXPECT_TRUE(Contains(r.out, "(E) Error while resolving links and references.Erreur\n"));
    EXPECT_TRUE(Contains(r.out, "Terminé\ta.tpl\t" + produced + "\n"));
    EXPECT_TRUE(Contains(r.out, "Erreur\tbad.tpl\t\n"));
}

// System commands run only with --allow-exec (--no-exec, the default, is still accepted).
TEST_F(GenerateCli, GivenTemplatesReplaceTheProcessAndCommandsRunOnlyWhenAllowed) {
    writeFile(dir_ / "x.tpl", "%targetfilename x.txt\n%execsystem touch ran\nafter\n");
    writeDescription({"missing.tpl"});
    for (const char* option : {"", " --no-exec"}) {
        RunResult r = run(std::string("generate d.fyk --template x.tpl --out gen") + option);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_FALSE(fs::exists(dir_ / "ran")) << option;
        EXPECT_TRUE(Contains(r.out,
                             "commande système refusée (exécution non autorisée) : "
                             "touch ran"));
        EXPECT_EQ(readFile(runDirectory(dir_ / "gen") / "x.txt"), "after\n");
        fs::remove_all(dir_ / "gen");
    }
    RunResult r = run("generate d.fyk --template x.tpl --out gen --allow-exec");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "ran"));
    EXPECT_TRUE(Contains(r.out, "le script a lancé la commande système suivante : touch ran"));
    EXPECT_EQ(run("generate d.fyk --allow-exec --no-exec").status, 2);
}

// A description's table name can neither run shell text (even with --allow-exec) nor lead the
// bundled SQLite template out of --out.
TEST_F(GenerateCli, AHostileTableNameRunsNoShellTextAndStaysInTheOutputFolder) {
    writeFile(dir_ / "x.tpl", "%targetfilename x.txt\n%execsystem touch made-{table.name}\n");
    FileDesc* d = morvex::testing::makeDescription("Clients", 2, "X;touch injected;#", {{"ID"}});
    morvex::testing::saveDescription(d, dir_ / "d.fyk");
    RunResult r = run("generate d.fyk --template x.tpl --out gen --allow-exec");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "made-X;touch injected;#"));
    EXPECT_FALSE(fs::exists(dir_ / "injected"));
    EXPECT_TRUE(Contains(r.out, "suivante : touch 'made-X;touch injected;#'"));

    const fs::path templates = fs::path(MORVEX_SOURCE_DIR_PATH) / "templates";
    d = morvex::testing::makeDescription("Clients", 2, "../../../x", {{"ID"}});
    morvex::testing::saveDescription(d, dir_ / "d.fyk");
    fs::create_directories(dir_ / "out");
    r = run("generate d.fyk --template '" + (templates / "sqlite_ddl.tpl").string() +
            "' --libraries '" + (templates / "lib").string() + "' --out out/gen");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const fs::path written = runDirectory(dir_ / "out" / "gen") / "x.sqlite.sql";
    EXPECT_TRUE(Contains(readFile(written), "CREATE TABLE"));
    EXPECT_FALSE(fs::exists(dir_ / "x.sqlite.sql"));
}

TEST_F(GenerateCli, LibrariesOptionFindsIncludedLibraries) {
    fs::create_directories(dir_ / "libs");
    writeFile(dir_ / "libs" / "l.tpl",
              "%templatetype MorvexFylatek.Library\n%function Hi\n"
              "%begin\n%return hi\n%end\n");
    writeFile(dir_ / "x.tpl", "%include l\n%targetfilename x.txt\n%writeln [%Hi:]\n");
    writeDescription();
    RunResult r = run("generate d.fyk --template x.tpl --out gen --libraries libs");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(runDirectory(dir_ / "gen") / "x.txt"), "[hi]\n");
}

TEST_F(GenerateCli, TemplateCheckPrintsTheLinkErrorWithItsLine) {
    writeFile(dir_ / "ok.tpl", "%if 1\n%begin\nx\n%end\n");
    RunResult r = run("template check ok.tpl");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Template correct : "));
    EXPECT_TRUE(fs::exists(dir_ / "logs" / "MorvexFylatek.MacroCode.AfterLinker.txt"));

    writeFile(dir_ / "bad.tpl",
              "a\n%if 1\n%begin\n%end\n%elseif 2\n%begin\n%end\n%else\n"
              "%begin\n%end\n");
    r = run("template check bad.tpl");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "(e) Ligne 8 (instruction "));
    EXPECT_TRUE(Contains(r.err, "'else' without 'if' statement."));
}

TEST_F(GenerateCli, ProcessListAddAndRemoveEditTheDescription) {
    writeFile(dir_ / "a.tpl", "a\n");
    writeFile(dir_ / "b.tpl", "b\n");
    writeDescription({"one.tpl", "two.tpl", "three.tpl"});
    RunResult r = run("process d.fyk list");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\tone.tpl\n2\ttwo.tpl\n3\tthree.tpl\n");
    r = run("process d.fyk remove 1 3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\ttwo.tpl\n");
    r = run("process d.fyk add a.tpl b.tpl");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\ttwo.tpl\n2\t" + (dir_ / "a.tpl").string() + "\n3\t" +
                         (dir_ / "b.tpl").string() + "\n");
    EXPECT_TRUE(Contains(readFile(dir_ / "d.fyk"), "TEMPLATE=" + (dir_ / "b.tpl").string()));
    r = run("process d.fyk remove 9");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "Tâche 9 inexistante"));
    r = run("process d.fyk add nothere.tpl");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(run("process d.fyk list").out.substr(0, 11), "1\ttwo.tpl\n2");
}

}  // namespace
