// morvexcli edit, run as the real program, and the command line's own texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "appcore/desceditor.h"
#include "cli/tests/cli_fixture.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::Includes;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using nlohmann::json;

namespace {

class EditCommand : public morvex::testing::CliFixture {
protected:
    // clients.fyk (ID integer 5, NOM varchar 30, DT date 10) over two rows whose codes keep
    // their leading zeros.
    void SetUp() override {
        CliFixture::SetUp();
        writeClients("00012;Dupont;01/02/2024\r\n00345;Martin;15/03/2023\r\n");
        desc_ = (dir_ / "clients.fyk").string();
    }
    std::string desc_;
};

TEST_F(EditCommand, EachChangeReachesTheDescription) {
    const struct {
        const char* args;
        const char* expected;  // what `show --json` then holds
    } cases[] = {
        {"--type ID FixedChar --format ID 5",
         R"({"columns": [{"typeCible": {"type": 4, "fmtChaineFixe": {"taille": 5}}}, {}, {}]})"},
        {"--format DT aaaa-mm-jj",
         R"({"columns": [{}, {}, {"typeCible": {"fmtDate": "aaaa-mm-jj"}}]})"},
        {"--width NOM 40", R"({"columns": [{}, {"WidthInChars": 40}, {"StartPosition": 46}]})"},
        {"--rename '#2' NOM_CLIENT --describe NOM_CLIENT 'Nom du client'",
         R"({"columns": [{}, {"code": "NOM_CLIENT", "Description": "Nom du client"}, {}]})"},
        {"--mandatory ID --ignore DT --ignore NOM --keep NOM",
         R"({"columns": [{"FieldCannotBeNull": 1}, {"IgnoreColumn": 0}, {"IgnoreColumn": 1}]})"},
        {"--quote NOM '\"' --quote DT \"'\" --no-quote DT",
         R"({"columns": [{}, {"protectedField": 1, "DelimCharStart": "\"", "DelimCharEnd": "\""},
                         {"protectedField": 0, "DelimCharStart": ""}]})"},
        {"--move DT 1",
         R"({"columns": [{"code": "DT", "Position": 1}, {"code": "ID"}, {"code": "NOM"}]})"},
        {"--add VILLE '#2' --drop NOM",
         R"({"columns": [{"code": "ID"}, {"code": "VILLE", "WidthInChars": 1, "typeCible": {"type": 5}},
                         {"code": "DT"}]})"},
        {"--pk ID,DT --index IDX_NOM NOM --index I2 ID --rename-index I2 IDX_ID --drop-index "
         "IDX_NOM",
         R"({"primaryKey": {"name": "PK_CLIENT", "columns": ["ID", "DT"]},
             "indexes": [{"name": "IDX_ID", "columns": ["ID"]}]})"},
        {"--pk ID --no-pk", R"({"primaryKey": {"name": "", "columns": []}})"},
        {"--set table=CLIENTS --set 'delimiter=\\t' --set encoding=utf-8 --set unquote=1 "
         "--set first-line=2 --set header=0 --set 'description=Fichier clients'",
         R"({"TableName": "CLIENTS", "FieldDelimiter": "\\t", "FieldDelimiterChars": "\t",
             "Encoding": "UTF-8", "Unquote": 1, "BeginFromLine": 2, "FirstLineIsHeader": 0,
             "Description": "Fichier clients"})"},
        {"--set delimiter= --start NOM 7 --end NOM 20",
         R"({"TypeStructFile": 1, "FieldDelimiter": "",
             "columns": [{"WidthInChars": 6}, {"StartPosition": 7, "EndPosition": 20},
                         {"StartPosition": 21, "EndPosition": 45}]})"},
        // Zero-prefixed codes are text again; the other columns keep what they were given.
        {"--reanalyse ID",
         R"({"columns": [{"typeCible": {"type": 4, "fmtChaineFixe": {"taille": 5}}},
                         {"typeCible": {"type": 5, "fmtChaineVar": {"tailleMax": 30}}}, {}]})"},
        {"--to-dictionary NOM --rename NOM NOM2 --from-dictionary NOM 1 --dict dico.xml",
         R"({"columns": [{"code": "NOM", "WidthInChars": 30}, {"code": "ID"}, {"code": "NOM2"},
                         {"code": "DT"}]})"},
    };
    const std::string original = readFile(desc_);
    for (const auto& c : cases) {
        morvex::testing::writeFile(desc_, original);
        fs::remove(dir_ / "dico.xml");
        RunResult r = run(std::string("edit clients.fyk ") + c.args);
        ASSERT_EQ(r.status, 0) << c.args << "\n" << r.err;
        EXPECT_TRUE(Includes(showJson(desc_), json::parse(c.expected))) << c.args;
    }
}

TEST_F(EditCommand, AllOrNothingWithTheEditorsWords) {
    const std::string original = readFile(desc_);
    // A refusal half-way: nothing written, not even the dictionary of an earlier change.
    RunResult r =
        run("edit clients.fyk --width ID 9 --to-dictionary ID --dict dico.xml --rename NOM ''");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "--rename NOM ''"));
    EXPECT_TRUE(Contains(r.err, "Veuillez renseigner le CODE COLONNE."));
    EXPECT_TRUE(Contains(r.err, "n'a pas été modifié"));
    r = run("edit clients.fyk --rename NOM \"$(printf 'A\\r\\nGO')\"");
    EXPECT_TRUE(Contains(r.err, "Le nom de la colonne « A\\r\\nGO » contient un retour chariot"))
        << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "dico.xml"));
    for (const char* refused :
         {"--drop ABSENT", "--start NOM 3", "--move ID 9", "--set first-line=0",
          // Names with control characters, whatever names them.
          "--rename NOM \"$(printf 'A\\r\\nGO\\r\\nDROP TABLE victim1')\"",
          "--add \"$(printf 'x\\033y')\" '#2'", "--set \"$(printf 'table=t\\nGO')\"",
          "--index \"$(printf 'ix\\t1')\" ID"})
        EXPECT_EQ(run(std::string("edit clients.fyk ") + refused).status, 1) << refused;
    // Wrongly written changes are usage errors, found before anything is applied.
    for (const char* usage :
         {"--type ID Entierx", "--width ID large", "--set couleur=bleu", "--type ID"})
        EXPECT_EQ(run(std::string("edit clients.fyk --width ID 9 ") + usage).status, 2) << usage;
    EXPECT_EQ(readFile(desc_), original);

    r = run("edit clients.fyk --width ID 9 --dry-run --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        Includes(json::parse(r.out), json::parse(R"({"columns": [{"WidthInChars": 9}, {}, {}]})")));
    r = run("edit clients.fyk --width ID 9 --dry-run");
    EXPECT_TRUE(Contains(r.out, "Colonnes")) << r.out;
    EXPECT_EQ(readFile(desc_), original);
    EXPECT_FALSE(fs::exists(desc_ + ".tmp"));
}

// Texts longer than their field and names another column already has are refused with the
// limit or the names, and the file stays as it was; show refuses a file with two such names.
TEST_F(EditCommand, RefusesTextsLongerThanTheirFieldAndRepeatedNames) {
    const std::string original = readFile(desc_);
    const struct {
        std::string args;
        const char* said;
    } cases[] = {
        {"--describe NOM " + std::string(2000, 'd'),
         "La description de la colonne dépasse 1 024 octets (2 000 octets)"},
        {"--rename NOM " + std::string(300, 'n'), "Le code de la colonne dépasse 256 octets"},
        {"--add " + std::string(300, 'n') + " 1", "Le code de la colonne dépasse 256 octets"},
        {"--format DT " + std::string(70, 'j'), "Le format dépasse 63 octets"},
        {"--set table=" + std::string(64, 't'), "La valeur de table dépasse 63 octets"},
        {"--rename NOM id", "Une autre colonne s'appelle déjà « ID »"},
        {"--add Nom 1", "Une autre colonne s'appelle déjà « NOM »"},
    };
    for (const auto& c : cases) {
        RunResult r = run("edit clients.fyk " + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(Contains(r.err, c.said)) << r.err;
        EXPECT_EQ(readFile(desc_), original);
    }
    std::string twice = original;
    twice.replace(twice.find("NAME=NOM"), 8, "NAME=Id");
    morvex::testing::writeFile(dir_ / "twice.fyk", twice);
    RunResult r = run("show twice.fyk");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "colonnes de même nom « ID » (colonne 1), « Id » (colonne 2)"))
        << r.err;
}

TEST_F(EditCommand, WritesTheBytesTheEditorFunctionsWrite) {
    const fs::path direct = dir_ / "direct.fyk";
    fs::copy_file(desc_, direct);
    RunResult r =
        run("edit clients.fyk --type ID FixedChar --format ID 5 --mandatory ID "
            "--move DT 2 --pk ID,NOM --set table=CLI --rename NOM NOM_CLIENT");
    ASSERT_EQ(r.status, 0) << r.err;

    // The same edits as the desktop program makes them.
    FileDesc* d = FILEDESC_OpenFileDesc(direct.c_str());
    ASSERT_NE(d, nullptr);
    ColumnDesc* id = FILEDESC_SearchColumn(d, "ID");
    ColumnDesc* nom = FILEDESC_SearchColumn(d, "NOM");
    ColumnDesc fields = *id;
    fields.typeCible.type = DATATYPE_FIXEDCHAR;
    DESCEDIT_ReadFormat(&fields.typeCible, "5");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d, id, fields), "");
    DESCEDIT_ToggleMandatory({id});
    EXPECT_TRUE(DESCEDIT_MoveColumn(d, FILEDESC_SearchColumn(d, "DT"), -1));
    EXPECT_EQ(DESCEDIT_SetPrimaryKey(d, {id, nom}), 0);
    EXPECT_EQ(DESCEDIT_SetProperty(d, "table", "CLI"), "");
    fields = *nom;
    snprintf(fields.code, sizeof fields.code, "NOM_CLIENT");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d, nom, fields), "");
    ASSERT_EQ(FILEDESC_SaveToFile(d, direct.c_str()), 0);
    FILEDESC_CloseFileDesc(d);
    EXPECT_EQ(readFile(desc_), readFile(direct));
}

TEST_F(EditCommand, TheCommandLineSpeaksFrench) {
    const struct {
        const char* args;
        int status;
        const char* said;  // on standard output or error
    } cases[] = {
        {"", 2, "edit"},
        {"lod x.fyk", 2, "Commande inconnue : 'lod'. Vouliez-vous dire 'load' ?"},
        {"dict lst", 2, "Vouliez-vous dire 'list' ?"},
        {"dict", 2, "Commande manquante.\nCommandes : list, show, add, apply"},
        {"show", 2, "description est obligatoire"},
        {"show a.fyk b.fyk", 2, "Argument(s) inattendu(s) : b.fyk"},
        {"edit clients.fyk --type ID", 2, "--type attend 2 argument(s)"},
        {"show clients.csv", 1, "n'est pas un fichier de format"},
        {"edit --help", 0, "--reanalyse COL"},
        {"--help", 0, "Affiche cette aide"},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        const std::string said = r.out + r.err;
        EXPECT_TRUE(Contains(said, c.said)) << c.args << "\n" << said;
        for (const char* english : {"Usage", "required", "Run with", "Print this", "Subcommands",
                                    "not expected", "Expected", "TEXT "})
            EXPECT_FALSE(Contains(said, english)) << c.args << ": " << english << "\n" << said;
    }
}

}  // namespace
