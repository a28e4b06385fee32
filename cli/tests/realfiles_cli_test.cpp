// morvexcli on delimited files as they come from other programs: quoted fields over several
// lines, other encodings, guessed delimiter and end of line, and the rejects file.
#include <gtest/gtest.h>

#include <string>

#include "cli/tests/cli_fixture.h"

using morvex::testing::Contains;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;

namespace {

class RealFiles : public morvex::testing::CliFixture {
protected:
    // Analyses `file` with every guess and the double quote; the run's result.
    RunResult analyseAuto(const std::string& file, const std::string& out) {
        return run("analyse " + file +
                   " --quote '\"' --encoding auto --delimiter auto --eol auto -o " + out);
    }
};

// UTF-16LE of ASCII text.
std::string utf16le(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST_F(RealFiles, AnalysesAQuotedPipeFileAndPreviewsItsValuesUnquoted) {
    writeFile(dir_ / "p.csv",
              "id|nom|note\r\n"
              "1|\"Dupont | \"\"Jean\"\"\"|12\r\n"
              "2|\"sur\r\ndeux lignes\"|13\r\n"
              "3|simple|14\r\n");
    RunResult a = analyseAuto("p.csv", "p.fyk");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_TRUE(Contains(a.err, "(i) Encodage détecté : UTF-8\n"));
    EXPECT_TRUE(Contains(a.err, "(i) Fin de ligne détectée : \\r\\n\n"));
    EXPECT_TRUE(Contains(a.err, "(i) Délimiteur détecté : |\n"));
    const std::string fyk = readFile(dir_ / "p.fyk");
    EXPECT_TRUE(Contains(fyk, "ENCODING=UTF-8"));
    EXPECT_TRUE(Contains(fyk, "UNQUOTE=1"));
    EXPECT_TRUE(Contains(fyk, "FIELDDELIMITER=|"));

    RunResult p = run("preview p.fyk --json");
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_TRUE(Contains(p.out, "\"columns\":[\"id\",\"nom\",\"note\"]"));
    EXPECT_TRUE(Contains(p.out, "[\"1\",\"Dupont | \\\"Jean\\\"\",\"12\"]"));
    EXPECT_TRUE(Contains(p.out, "[\"2\",\"sur\\r\\ndeux lignes\",\"13\"]"));
    EXPECT_TRUE(Contains(p.out, "[\"3\",\"simple\",\"14\"]"));

    RunResult s = run("show p.fyk --json");
    ASSERT_EQ(s.status, 0) << s.err;
    EXPECT_TRUE(Contains(s.out, "\"Encoding\": \"UTF-8\""));
    EXPECT_TRUE(Contains(s.out, "\"Unquote\": 1"));
}

TEST_F(RealFiles, WritesNoNewKeysForAPlainAnalysis) {
    writeFile(dir_ / "plain.csv", "a;b\r\n1;2\r\n");
    ASSERT_EQ(run("analyse plain.csv --plain -o plain.fyk").status, 0);
    const std::string fyk = readFile(dir_ / "plain.fyk");
    EXPECT_FALSE(Contains(fyk, "ENCODING"));
    EXPECT_FALSE(Contains(fyk, "UNQUOTE"));
}

TEST_F(RealFiles, ReadsWindows1252FrenchTextAsUtf8) {
    writeFile(dir_ / "w.csv",
              "mot;prix\n"
              "\xE9t\xE9 \xE8 \xE7"
              "a \x9C"
              "uvre;5 \x80\n");
    RunResult a = analyseAuto("w.csv", "w.fyk");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_TRUE(Contains(a.err, "(i) Encodage détecté : WINDOWS-1252\n"));
    EXPECT_TRUE(Contains(a.err, "(i) Fin de ligne détectée : \\n\n"));
    RunResult p = run("preview w.fyk --csv");
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(p.out, "mot,prix\nété è ça œuvre,5 €\n");
}

TEST_F(RealFiles, ReadsUtf16WithByteOrderMarkTabsAndQuotedLineEnds) {
    std::string text = "ville\tcode\r\n\"Paris\r\nCentre\"\t75\r\n";
    writeFile(dir_ / "u.txt", "\xFF\xFE" + utf16le(text) +
                                  std::string("\xE9\x00\t\x00"
                                              "1\x00\r\x00\n\x00",
                                              10));
    RunResult a = analyseAuto("u.txt", "u.fyk");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_TRUE(Contains(a.err, "(i) Encodage détecté : UTF-16LE\n"));
    EXPECT_TRUE(Contains(a.err, "(i) Délimiteur détecté : \\t\n"));
    RunResult p = run("preview u.fyk --csv");
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(p.out, "ville,code\n\"Paris\r\nCentre\",75\né,1\n");
}

TEST_F(RealFiles, ListsRowsOfTheWrongShapeOrEncodingAndLoadsTheOthers) {
    writeFile(dir_ / "good.csv", "id,nom\n1,\"a,b\"\n");
    ASSERT_EQ(analyseAuto("good.csv", "d.fyk").status, 0);
    writeFile(dir_ / "data.csv",
              "id,nom\n"
              "1,\"x,y\"\n"
              "2\n"           // too few
              "3,b,extra\n"   // too many
              "4,caf\xC3(\n"  // not UTF-8
              "5,\"deux\nlignes\"\n"
              "six,z\n");  // not an integer
    RunResult l = run("load d.fyk d.db --data data.csv --rejects rej.csv");
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_TRUE(Contains(l.out,
                         "6 ligne(s) lue(s) : 2 enregistrée(s), 4 écartée(s), 0 rejetée(s) par la "
                         "base.\nLignes écartées : 2 sans une valeur par colonne, 1 avec une "
                         "valeur non conforme à son type, 1 avec une séquence invalide pour "
                         "l'encodage ; listées dans 'rej.csv'.\n"));
    EXPECT_EQ(readFile(dir_ / "rej.csv"),
              "ligne,colonne,motif\n"
              "3,,1 valeur(s) au lieu de 2\n"
              "4,,3 valeur(s) au lieu de 2\n"
              "5,,séquence d'octets invalide pour l'encodage UTF-8\n"
              "8,id,valeur non conforme au type de la colonne : 'six'\n");
    RunResult q = run("query d.db 'SELECT id, nom FROM good ORDER BY id'");
    ASSERT_EQ(q.status, 0) << q.err;
    EXPECT_TRUE(Contains(q.out, "x,y"));
    EXPECT_TRUE(Contains(q.out, "deux\nlignes"));
    EXPECT_TRUE(Contains(q.out, "2 ligne(s)"));

    RunResult p = run("preview d.fyk --data data.csv --csv --rejects prej.csv");
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(readFile(dir_ / "prej.csv"),
              "ligne,colonne,motif\n"
              "3,,1 valeur(s) au lieu de 2\n"
              "4,,3 valeur(s) au lieu de 2\n"
              "5,,séquence d'octets invalide pour l'encodage UTF-8\n");
    EXPECT_TRUE(Contains(p.err, "3 ligne(s) non conforme(s) listée(s) dans 'prej.csv'"));
}

TEST_F(RealFiles, NeverLoadsARowInvalidInItsEncodingEvenWithoutRejectsFile) {
    writeFile(dir_ / "good.csv", "id;nom\r\n1;a\r\n");
    ASSERT_EQ(run("analyse good.csv --encoding UTF-8 -o d.fyk").status, 0);
    writeFile(dir_ / "data.csv", "id;nom\r\n1;\xC3(\r\n2;\xC3\xA9\r\n");
    RunResult l = run("load d.fyk d.db --data data.csv");
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_TRUE(Contains(l.out, "2 ligne(s) lue(s) : 1 enregistrée(s), 1 écartée(s)"));
    EXPECT_TRUE(Contains(l.out, "Lignes écartées : 1 avec une séquence invalide pour l'encodage.\n"));
    RunResult q = run("query d.db 'SELECT nom FROM good'");
    EXPECT_TRUE(Contains(q.out, "é"));
    EXPECT_TRUE(Contains(q.out, "1 ligne(s)"));
}

TEST_F(RealFiles, RefusesAQuoteOfSeveralCharactersAndAFileWithoutDelimiter) {
    writeFile(dir_ / "x.csv", "a;b\n");
    EXPECT_EQ(run("analyse x.csv --quote ab").status, 2);
    writeFile(dir_ / "one.csv", "single\ncolumn\n");
    RunResult r = run("analyse one.csv --delimiter auto");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "Aucun délimiteur"));
}

}  // namespace
