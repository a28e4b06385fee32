// Ordinary files from other systems, read with no option: `analyse FILE`, then `preview` and
// `load`, must give the file's own columns, types that hold its values and values without
// their quotes; what cannot be read is told, never turned into columns or lost silently.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/tests/cli_fixture.h"

using morvex::testing::Contains;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;
namespace fs = std::filesystem;

namespace {

class OrdinaryFiles : public morvex::testing::CliFixture {
protected:
    // The columns of a .fyk as "code type format" joined by " | ", type by name.
    std::string columnsOf(const std::string& fyk) {
        static const char* const names[] = {"Integer",   "Decimal",      "Date", "Datetime",
                                            "FixedChar", "VariableChar", "Text", "Boolean"};
        std::istringstream in(readFile(dir_ / fyk));
        std::string line;
        std::string out;
        std::string code;
        std::string type;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t at = line.find_first_not_of('\t');
            if (at == std::string::npos) continue;
            line.erase(0, at);
            if (line.rfind("NAME=", 0) == 0) code = line.substr(5);
            if (line.rfind("TYPE_CIBLE=", 0) == 0) type = names[std::stoi(line.substr(11)) & 7];
            if (line.rfind("FMT_CIBLE=", 0) == 0) {
                out += (out.empty() ? "" : " | ") + code + " " + type + " " + line.substr(10);
            }
        }
        return out;
    }

    // The single-column text of a query over the test folder's database.
    std::string query(const std::string& db, const std::string& sql) {
        RunResult q = run("query " + db + " \"" + sql + "\"");
        EXPECT_EQ(q.status, 0) << q.err;
        return q.out;
    }
};

TEST_F(OrdinaryFiles, AreAnalysedPreviewedAndLoadedRightWithNoOption) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* guesses;  // what analyse tells on standard error, in order
        const char* columns;  // columnsOf the description
        const char* preview;  // preview --csv --rows 0
        const char* table;    // table named after the file
        int stored;           // rows in the table after load
    };
    const Case cases[] = {
        {"comma.csv",
         "id,name,amount,note\n"
         "1,\"Dupont, Jean\",1.5,\"said \"\"hi\"\"\"\n"
         "2,Martin,100,12\" pipe\n"
         "3,\"two\nlines\",9876543210,x\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\n\n"
         "(i) Délimiteur détecté : ,\n(i) Caractère de protection détecté : \"\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "id Integer 1 | name VariableChar 12 | amount Decimal 10,1 | note VariableChar 9",
         "id,name,amount,note\n1,\"Dupont, Jean\",1.5,\"said \"\"hi\"\"\"\n"
         "2,Martin,100,\"12\"\" pipe\"\n3,\"two\nlines\",9876543210,x\n",
         "comma", 3},
        {"tabs.txt", "code\tlabel\r\n007\tA b\r\n010\tC\r\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\r\\n\n"
         "(i) Délimiteur détecté : \\t\n(i) Caractère de protection détecté : aucun\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "code FixedChar 3 | label VariableChar 3", "code,label\n007,A b\n010,C\n", "tabs", 2},
        {"pipe.dat", "a|b\r\n1|x\r\n-22|y\r\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\r\\n\n"
         "(i) Délimiteur détecté : |\n(i) Caractère de protection détecté : aucun\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "a Integer 2 | b VariableChar 1", "a,b\n1,x\n-22,y\n", "pipe", 2},
        {"2024 ventes été.csv",
         "ID;NOM;DATE;MAJ\r\n1;\"a;b\";26/02/2015;2014-05-06 05:52:00\r\n"
         "2;\"c\";29/02/2016;2014-05-07 10:00:00\r\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\r\\n\n"
         "(i) Délimiteur détecté : ;\n(i) Caractère de protection détecté : \"\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "ID Integer 1 | NOM VariableChar 3 | DATE Date jj/mm/aaaa | MAJ Datetime aaaa-mm-jj "
         "HH:MM:SS",
         "ID,NOM,DATE,MAJ\n1,a;b,26/02/2015,2014-05-06 05:52:00\n2,c,29/02/2016,2014-05-07 "
         "10:00:00\n",
         "_2024_ventes_ete", 2},
        // A header ended by the delimiter; a row without its last value lends the others.
        {"trailing.csv", "n;t;\n1;a\n2;b\n3\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\n\n"
         "(i) Délimiteur détecté : ;\n(i) Caractère de protection détecté : aucun\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "n Integer 1 | t VariableChar 1", "n,t\n1,a\n2,b\n3\n", "trailing", 3},
        // A header shorter than every row: the rest are undeclared columns. 30/02 is no day.
        {"short.csv", "a,b\n1,30/02/2015,x\n2,01/01/2015,y\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\n\n"
         "(i) Délimiteur détecté : ,\n(i) Caractère de protection détecté : aucun\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "a Integer 1 | b VariableChar 10 | UndeclaredColumn3 VariableChar 1",
         "a,b,UndeclaredColumn3\n1,30/02/2015,x\n2,01/01/2015,y\n", "short", 2},
        // Lines no delimiter splits, semicolons in their texts: one column, each line whole.
        {"notes.txt", "Remarques\nVoir page 3; puis 4\nRien\nA; B; C\nFin\n",
         "(i) Encodage détecté : UTF-8\n(i) Fin de ligne détectée : \\n\n"
         "(i) Aucun délimiteur (; , tabulation |) détecté : une seule colonne.\n"
         "(i) Ligne d'en-tête détectée : oui\n",
         "Remarques VariableChar 19", "Remarques\nVoir page 3; puis 4\nRien\nA; B; C\nFin\n",
         "notes", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir_ / c.name, c.bytes);
        RunResult a = run(std::string("analyse '") + c.name + "' -o d.fyk");
        ASSERT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(a.err, c.guesses);
        EXPECT_EQ(columnsOf("d.fyk"), c.columns);
        EXPECT_TRUE(Contains(readFile(dir_ / "d.fyk"), std::string("TABLENAME=") + c.table + "\r\n"));
        RunResult p = run("preview d.fyk --csv --rows 0");
        ASSERT_EQ(p.status, 0) << p.err;
        EXPECT_EQ(p.out, c.preview);
        fs::remove(dir_ / "d.db");
        RunResult l = run("load d.fyk d.db");
        ASSERT_EQ(l.status, 0) << l.err;
        EXPECT_EQ(query("d.db", std::string("SELECT count(*) FROM ") + c.table),
                  "count(*)\n--------\n" + std::to_string(c.stored) + "\n\n1 ligne(s)\n");
    }
    // The values stored are the file's, typed: no quotes, the decimal and the wide integer
    // exact, the date in ISO form.
    run("analyse comma.csv -o c.fyk");
    run("load c.fyk c.db");
    EXPECT_EQ(query("c.db", "SELECT group_concat(quote(amount), ' ') FROM comma"),
              "group_concat(quote(amount), ' ')\n--------------------------------\n1.5 100 "
              "9876543210\n\n1 ligne(s)\n");
    run("analyse '2024 ventes été.csv' -o v.fyk");
    run("load v.fyk v.db");
    EXPECT_TRUE(Contains(query("v.db", "SELECT NOM, DATE FROM _2024_ventes_ete"),
                         "a;b | 2015-02-26"));
}

TEST_F(OrdinaryFiles, ABrokenRowIsToldNeverTurnedIntoAColumnAndTheCountsAreExact) {
    writeFile(dir_ / "b.csv", "id,v\n1,\"a\"\n2,b,EXTRA\n3,c\n4,\"never closed\n5,e\n");
    RunResult a = run("analyse b.csv");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(columnsOf("b.fyk"), "id Integer 1 | v VariableChar 12");
    EXPECT_TRUE(Contains(a.out,
                         "(!) 1 ligne(s) n'ont pas 2 valeur(s) : lignes 3 (3 valeurs).\n"));

    // By default the row of three values is stored (its extra value dropped) and said; the
    // field that never closes costs its own row only.
    RunResult l = run("load b.fyk b.db");
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_TRUE(Contains(l.out, "4 lignes chargées en "));
    EXPECT_TRUE(Contains(l.out,
                         "5 ligne(s) lue(s) : 4 enregistrée(s), 1 écartée(s), 0 rejetée(s) par la "
                         "base.\nLignes écartées : 1 avec un champ protégé jamais fermé.\n1 "
                         "ligne(s) enregistrée(s) sans une valeur par colonne"));
    EXPECT_TRUE(Contains(query("b.db", "SELECT group_concat(id) FROM b"), "1,2,3,5\n"));

    // With a rejects file the broken rows are set aside and listed.
    l = run("load b.fyk b.db --rejects r.csv");
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_TRUE(Contains(l.out, "3 lignes chargées en "));
    EXPECT_EQ(readFile(dir_ / "r.csv"),
              "ligne,colonne,motif\n3,,3 valeur(s) au lieu de 2\n5,,\"champ protégé sans fin "
              "probable : il engloberait la ligne 6, qui est une ligne complète\"\n");

    // Past --max-rejects nothing of this load is kept (the table holds what the previous load
    // stored) and the command fails with the reason.
    l = run("load b.fyk b.db --max-rejects 1");
    EXPECT_EQ(l.status, 1);
    EXPECT_TRUE(Contains(l.err,
                         "Echec du chargement : plus de 1 ligne(s) écartée(s) ou rejetée(s), la "
                         "dernière à la ligne 5 ; aucune ligne n'a été enregistrée."));
    EXPECT_TRUE(Contains(query("b.db", "SELECT count(*) FROM b"), "\n3\n"));
    EXPECT_EQ(run("load b.fyk b.db --max-rejects 2").status, 0);
}

TEST_F(OrdinaryFiles, OptionsStillForceTheirValues) {
    writeFile(dir_ / "q.csv", "k;v\n1;\"x\"\n");
    ASSERT_EQ(run("analyse q.csv --quote none --no-header --encoding WINDOWS-1252 -o q.fyk").status,
              0);
    RunResult p = run("preview q.fyk --csv");
    EXPECT_EQ(p.out, "COL001,COL002\nk,v\n1,\"\"\"x\"\"\"\n");
    EXPECT_TRUE(Contains(readFile(dir_ / "q.fyk"), "ENCODING=WINDOWS-1252"));
    EXPECT_FALSE(Contains(readFile(dir_ / "q.fyk"), "UNQUOTE"));

    // A few rows broken in a UTF-8 file: UTF-8 all the same, the rows told and set aside.
    std::string text = "nom;n\n";
    for (int i = 0; i < 8; ++i) text += "Jos\xC3\xA9;" + std::to_string(i) + "\n";
    text += "Ren\xE9;8\n";
    writeFile(dir_ / "u.csv", text);
    RunResult a = run("analyse u.csv");
    EXPECT_TRUE(Contains(a.err, "(i) Encodage détecté : UTF-8\n(!) 1 ligne(s) du début du fichier "
                                "ne sont pas en UTF-8 valide (lignes 10)"));
    RunResult l = run("load u.fyk u.db");
    EXPECT_TRUE(Contains(l.out, "9 ligne(s) lue(s) : 8 enregistrée(s), 1 écartée(s)"));
}

TEST_F(OrdinaryFiles, PlainGivesTheAnalysisAsItWasByteForByte) {
    fs::copy_file(fs::path(MORVEX_SOURCE_DIR_PATH) / "examples" / "clients.csv",
                  dir_ / "clients.csv");
    RunResult a = run("analyse clients.csv --plain -o p.fyk");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.err, "");
    std::string fyk = readFile(dir_ / "p.fyk");
    const size_t uid = fyk.find("FILEDESCUID=");
    ASSERT_NE(uid, std::string::npos);
    fyk.replace(uid + 12, 32, 32, '*');
    std::string expected =
        "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tNBUILD=5697\r\n\tBEGIN File\r\n"
        "\t\tFILEDESCUID=********************************\r\n\t\tINDFINDELIGNE=\\r\\n\r\n"
        "\t\tLONGLIGNEFIXE=0\r\n\t\tTABLENAME=\r\n\t\tSCHEMANAME=\r\n\t\tDATABASENAME=\r\n"
        "\t\tPROJECTNAME=clients\r\n\t\tDESCRIPTION=Fichier de format généré automatiquement "
        "par Morvex Fylatek.\r\n\t\tTYPESTRUCTFILE=2\r\n\t\tFIRSTLINEISHEADER=1\r\n"
        "\t\tBEGINFROMLINE=1\r\n\t\tENDTOLINE=0\r\n\t\tFIELDDELIMITER=;\r\n"
        "\t\tFICHIEREXEMPLE=clients.csv\r\n\t\tDATABASEFILE=\r\n";
    // Columns from the header, quotes kept (no protection), the commonest kind of value: the
    // integers keep the format 0, the decimal is sized on its decimal values alone.
    const char* const columns[][4] = {
        {"ID", "1", "0", "0"},           {"NOM", "10", "5", "10"},
        {"PRENOM", "12", "5", "12"},     {"NAISSANCE", "10", "2", "jj/mm/aaaa"},
        {"VILLE", "11", "5", "11"},      {"SOLDE", "8", "1", "5,2"},
        {"MAJ", "19", "3", "aaaa-mm-jj HH:MM:SS"},
    };
    int position = 0;
    for (const auto& c : columns) {
        expected += std::string("\t\tBEGIN Column\r\n\t\t\tID=0\r\n\t\t\tIGNORERCOL=0\r\n") +
                    "\t\t\tISNULL=0\r\n\t\t\tPOSITION=" + std::to_string(position++) +
                    "\r\n\t\t\tPOSDEBUT=0\r\n\t\t\tPOSFIN=0\r\n\t\t\tNAME=" + c[0] +
                    "\r\n\t\t\tLARGEUR=" + c[1] +
                    "\r\n\t\t\tPROTECTEDFIELD=0\r\n\t\t\tCARDELIMDEBUT=" + std::string(1, '\0') +
                    "\r\n\t\t\tCARDELIMFIN=" + std::string(1, '\0') +
                    "\r\n\t\t\tDESCRIPTION=" + c[0] + "\r\n\t\t\tTYPE_CIBLE=" + c[2] +
                    "\r\n\t\t\tFMT_CIBLE=" + c[3] + "\r\n\t\tEND Column\r\n";
    }
    expected += "\t\tBEGIN Primary Key\r\n\t\t\tNAME=\r\n\t\tEND Primary Key\r\n"
                "\t\tBEGIN Process\r\n\t\tEND Process\r\n\tEND File\r\nEND MorvexFylatek";
    EXPECT_EQ(fyk, expected);

    // Generated from that unnamed table, the files and the table take the project's name.
    const std::string templates = (fs::path(MORVEX_SOURCE_DIR_PATH) / "templates").string();
    RunResult g = run("generate p.fyk --template '" + templates + "/sqlite_ddl.tpl' --libraries '" +
                      templates + "/lib' --out gen --no-exec");
    ASSERT_EQ(g.status, 0) << g.err;
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "gen"))
        if (e.is_regular_file()) files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"clients.sqlite.sql"});
}

}  // namespace
