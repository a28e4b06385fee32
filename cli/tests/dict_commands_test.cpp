// morvexcli dict and import-text, run as the real program.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/tests/cli_fixture.h"
#include "filedesc/filedesc.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::Includes;
using morvex::testing::readFile;
using morvex::testing::writeFile;

namespace {

class DictCommands : public morvex::testing::CliFixture {
protected:
    // A description of table `table` in database VENTES with the given columns (code, width).
    fs::path description(const std::string& name, const char* table,
                         std::vector<std::pair<const char*, int>> columns) {
        FileDesc* d = FILEDESC_CreateFileDesc(name.c_str(), nullptr, 1, "\\r\\n", ";");
        strcpy(d->DatabaseName, "VENTES");
        strcpy(d->TableName, table);
        for (auto [code, width] : columns) {
            ColumnDesc c{};
            strcpy(c.code, code);
            snprintf(c.Description, sizeof c.Description, "Colonne %s", code);
            c.WidthInChars = width;
            c.typeCible.type = DATATYPE_VARIABLECHAR;
            c.typeCible.fmtChaineVar.tailleMax = width;
            FILEDESC_AjouterColonne(d, &c);
        }
        fs::path path = dir_ / (name + ".fyk");
        EXPECT_EQ(FILEDESC_SaveToFile(d, path.string().c_str()), 0);
        FILEDESC_CloseFileDesc(d);
        return path;
    }
    std::string dict() { return "--dict '" + (dir_ / "Dictionnaire.xml").string() + "'"; }
    fs::path examples() { return fs::path(MORVEX_SOURCE_DIR_PATH) / "examples" / "import"; }
};

}  // namespace

TEST_F(DictCommands, AddFromTwoTablesThenListAndShow) {
    fs::path clients = description("clients", "CLIENT", {{"CLI_ID", 9}, {"CLI_NOM", 30}});
    fs::path factures = description("factures", "FACTURE", {{"FAC_ID", 9}, {"CLI_ID", 12}});
    auto r = run("dict add '" + clients.string() + "' " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("dict add '" + factures.string() + "' CLI_ID " + dict());
    ASSERT_EQ(r.status, 0) << r.err;

    r = run("dict list " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Dictionnaire - ZRT\n\n"
              "Nom      Description      Références\n"
              "CLI_ID   Colonne CLI_ID   CLIENT, FACTURE\n"
              "CLI_NOM  Colonne CLI_NOM  CLIENT\n"
              "\n2 objet(s) trouvé(s)\n");

    r = run("dict list --search nom --json " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(nlohmann::json::parse(r.out), nlohmann::json::parse(R"({
        "count": 1, "objects": [{"code": "CLI_NOM", "references": ["CLIENT"]}]})")));

    r = run("dict show CLI_ID --json " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(nlohmann::json::parse(r.out), nlohmann::json::parse(R"({
        "defaultColumn": {"WidthInChars": 9},
        "references": [{}, {"database": "VENTES", "table": "FACTURE",
                            "localColumn": {"WidthInChars": 12}}]})")));

    r = run("dict show CLI_ID " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Références (2)\n  VENTES..CLIENT\n"));

    r = run("dict show ABSENT " + dict());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "(e) L'objet 'ABSENT' n'existe pas dans le dictionnaire.\n");
}

TEST_F(DictCommands, SendingAgainChangesNothingInTheFile) {
    fs::path clients = description("clients", "CLIENT", {{"CLI_ID", 9}});
    ASSERT_EQ(run("dict add '" + clients.string() + "' " + dict()).status, 0);
    std::string before = readFile(dir_ / "Dictionnaire.xml");
    ASSERT_EQ(run("dict add '" + clients.string() + "' " + dict()).status, 0);
    EXPECT_EQ(readFile(dir_ / "Dictionnaire.xml"), before);
}

TEST_F(DictCommands, AddRefusesUnknownColumnsAndUnreadableDictionaries) {
    fs::path clients = description("clients", "CLIENT", {{"CLI_ID", 9}});
    auto r = run("dict add '" + clients.string() + "' NOPE " + dict());
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "Dictionnaire.xml"));

    writeFile(dir_ / "Dictionnaire.xml", "garbage, not XML");
    r = run("dict add '" + clients.string() + "' " + dict());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir_ / "Dictionnaire.xml"), "garbage, not XML");
    r = run("dict list " + dict());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "0 objet(s) trouvé(s)"));
}

TEST_F(DictCommands, ApplyAppendsRenumberedColumnsAndSaves) {
    fs::path clients = description("clients", "CLIENT", {{"CLI_ID", 9}, {"CLI_NOM", 30}});
    ASSERT_EQ(run("dict add '" + clients.string() + "' " + dict()).status, 0);
    fs::path target = description("cible", "CIBLE", {{"ID", 4}});
    auto r = run("dict apply '" + target.string() + "' CLI_NOM CLI_ID " + dict());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Includes(showJson(target), nlohmann::json::parse(R"({"columns": [
        {}, {"code": "CLI_NOM", "StartPosition": 5}, {"code": "CLI_ID", "Position": 3}]})")));

    std::string before = readFile(target);
    r = run("dict apply '" + target.string() + "' CLI_NOM ABSENT " + dict());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(target), before);
}

TEST_F(DictCommands, DictionaryDirectorySettingChoosesTheDefaultFile) {
    writeFile(dir_ / "config" / "MorvexFylatek.ini",
              "[Software\\MorvexFylatek]\nLogsDirectory=" + (dir_ / "logs").string() +
                  "\nDictionnariesDirectory=" + (dir_ / "dicos").string() + "\n");
    fs::path clients = description("clients", "CLIENT", {{"CLI_ID", 9}});
    auto r = run("dict add '" + clients.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "dicos" / "Dictionnaire.xml"));
}

TEST_F(DictCommands, ImportTextFixedExampleGivesTheColumnsWithZrtRules) {
    fs::path target = dir_ / "nouvelle.fyk";
    auto r = run("import-text '" + target.string() + "' --layout '" +
                 (examples() / "layout_fixed.fyk").string() + "' '" +
                 (examples() / "text_fixed.txt").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Projet            : nouvelle\n"));
    // Types: 0 integer, 2 date, 5 varchar.
    EXPECT_TRUE(Includes(showJson(target), nlohmann::json::parse(R"({"columns": [
        {"code": "CLI_NOM", "typeCible": {"type": 5, "fmtChaineVar": {"tailleMax": 30}}},
        {},
        {"code": "MONTANT", "WidthInChars": 14},
        {"typeCible": {"type": 2, "fmtDate": "aaaammjj"}},
        {"typeCible": {"type": 0}, "WidthInChars": 13},
        {"IgnoreColumn": 1},
        {}]})")));
}

TEST_F(DictCommands, ImportTextTabExampleFromStandardInputWithoutZrt) {
    fs::path target = description("existante", "T", {{"ID", 4}});
    auto r = run("import-text '" + target.string() + "' --no-zrt --layout '" +
                     (examples() / "layout_tab.fyk").string() + "'",
                 readFile(examples() / "text_tab.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    // Types: 1 decimal (without the ZRT rules the fifth column stays one), 3 date-time, 7 boolean.
    EXPECT_TRUE(Includes(showJson(target), nlohmann::json::parse(R"({"columns": [
        {},
        {"code": "CLI_NOM", "Description": "Nom du client"},
        {},
        {"typeCible": {"fmtDecimal": {"partieEntiere": 10, "partieDecimale": 2}}},
        {"typeCible": {"type": 1}},
        {"typeCible": {"type": 3}},
        {"typeCible": {"type": 7}}]})")));
}

TEST_F(DictCommands, ImportTextReportsAnUnreadableLayoutAndLongLines) {
    fs::path target = dir_ / "t.fyk";
    auto r =
        run("import-text '" + target.string() + "' --layout '" + (dir_ / "none.fyk").string() + "'",
            "A\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "Erreur de chargement du fichier de format pour la description."));
    EXPECT_FALSE(fs::exists(target));

    r = run("import-text '" + target.string() + "' --layout '" +
                (examples() / "layout_fixed.fyk").string() + "'",
            std::string(100000, 'x') + "\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Attention! Une ligne trop longue a été tronquée."));
}

// The project's own descriptions sent one after the other, each add reading the file the one
// before wrote: the file is byte for byte the one the dictionary has always written for them
// (its copy in golden/dictionary was written before the dictionary kept its objects compact).
TEST_F(DictCommands, TheProjectsDescriptionsGiveTheDictionaryFileItAlwaysGave) {
    const fs::path source(MORVEX_SOURCE_DIR_PATH);
    for (const char* fyk : {"bench/delimited.fyk", "cli/tests/golden/descprops/corpus/escaped_texts.fyk",
                            "cli/tests/golden/descprops/corpus/every_property.fyk",
                            "cli/tests/golden/descprops/corpus/fixed_width.fyk",
                            "examples/clients.fyk", "examples/import/layout_fixed.fyk",
                            "examples/import/layout_tab.fyk", "filedesc/fuzz/corpus/valid.fyk"}) {
        auto r = run("dict add '" + (source / fyk).string() + "' " + dict());
        ASSERT_EQ(r.status, 0) << fyk << ": " << r.err;
    }
    EXPECT_EQ(readFile((dir_ / "Dictionnaire.xml").string()),
              readFile((source / "cli/tests/golden/dictionary/Dictionnaire.xml").string()));
}
