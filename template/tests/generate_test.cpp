// End-to-end generations: a template written to disk, TEMPLATE_Generate, the output file read
// back, and what reached the message panel.
#include <gtest/gtest.h>

#include <string>

#include "template/tests/tpl_fixture.h"

using tpltest::Col;
using tpltest::Generated;
using tpltest::TemplateTest;

namespace {

const char* kHead = "%templatetype MorvexFylatek.Template\n%targetfilename out.txt\n";

class Generate : public TemplateTest {};

TEST_F(Generate, WritesTextLinesWithSubstitutedDescriptionNames) {
    describe({{"ID", DATATYPE_INTEGER, 9}, {"NOM", DATATYPE_VARIABLECHAR, 30}});
    Generated g = generate(std::string(kHead) +
                           "Table {Table.Name} of {table.name} in {database.name}.{desc.schemaname}"
                           " ({table.countcolumns} columns)\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.path, out_ + "/out.txt");
    EXPECT_EQ(g.text, "Table CLIENT of CLIENT in BASE.dbo (2 columns)\n");
}

TEST_F(Generate, TracesEveryPhaseAndWritesBothListings) {
    Generated g = generate(std::string(kHead) + "x\n");
    ASSERT_EQ(g.rc, 0);
    const std::string t = trace_.text();
    const std::string phases[] = {"\n(1) Loading template into memory...",
                                  "\n[TEMPLATE_Generate] Type = Template",
                                  "\n(2) Compiling...",
                                  "\n(3) Generating byte code...",
                                  "\n(4) Assembly byte code...",
                                  "\n(5) Resolving links and references...",
                                  "\n(6) Determinating output filename...",
                                  "\nFileOut = [" + out_ + "/out.txt]",
                                  "\n(7) Processing execution...",
                                  "\n(8) Terminated."};
    size_t at = 0;
    for (const std::string& p : phases) {
        size_t found = t.find(p, at);
        ASSERT_NE(found, std::string::npos) << p;
        at = found;
    }
    std::string after = tpltest::readFile(dir_.file("MorvexFylatek.MacroCode.AfterLinker.txt"));
    EXPECT_NE(after.find("FUNCTION [Program.Main]"), std::string::npos) << after;
    EXPECT_NE(after.find("COMPILE [x\n]"), std::string::npos) << after;
    EXPECT_NE(after.find("END [JUMPTO:-1] -> JUMP TO @returnAddress"), std::string::npos);
    EXPECT_FALSE(tpltest::readFile(dir_.file("MorvexFylatek.MacroCode.BeforeLinker.txt")).empty());
}

TEST_F(Generate, TemplateWithoutTypeLineGetsTheDefaultAndRuns) {
    Generated g = generate("%targetfilename out.txt\nhello\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "hello\n");
    EXPECT_NE(trace_.text().find("\n[TEMPLATE_Generate] Type = Unknown!\n[TEMPLATE_Generate] : "
                                 "Adding Default Template type"),
              std::string::npos);
}

TEST_F(Generate, LibraryGivenAsTemplateCreatesTheFileAndFailsAtRunTime) {
    Generated g = generate(
        "%templatetype MorvexFylatek.Library\n%targetfilename lib.txt\n"
        "%function F\n%begin\n  a\n%end\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_EQ(g.path, out_ + "/lib.txt");
    EXPECT_TRUE(std::ifstream(g.path).good());
    EXPECT_NE(panel().find("\n(E) Runtime Error"), std::string::npos);
    EXPECT_EQ(colourOf("Runtime Error"), morvex::PANEL_ERROR);
    EXPECT_NE(trace_.text().find("RUNTIME_FindFunction a renvoye la valeur -1 (la fonction a "
                                 "appeler 'Program.Main' n'a pas ete trouvee)."),
              std::string::npos);
}

TEST_F(Generate, UnreadableTemplateFailsWithoutOutputName) {
    describe({{"ID", 0}});
    char out[512] = "";
    EXPECT_EQ(
        TEMPLATE_Generate(desc_, dir_.file("missing.tpl").c_str(), out_.c_str(), out, sizeof out),
        1);
    EXPECT_NE(trace_.text().find("\n[TEMPLATE_LoadFile] : Unable to open file ["),
              std::string::npos);
    EXPECT_NE(trace_.text().find("\n[TEMPLATE_Generate] Error : Unknown template type : -1"),
              std::string::npos);
    EXPECT_NE(panel().find("\nErreur : impossible d'ouvrir le fichier à générer."),
              std::string::npos);
}

TEST_F(Generate, ColumnLoopGivesLastFlagLengthAndSqlType) {
    describe({{"ID", DATATYPE_INTEGER, 9},
              {"MONTANT", DATATYPE_DECIMAL, 10, 2},
              {"NE_LE", DATATYPE_DATE},
              {"CODE", DATATYPE_FIXEDCHAR, 3}});
    Generated g = generate(std::string(kHead) +
                           "%for_each_column\n%begin\n"
                           "{column.name} {column.sqltype} len={column.length} "
                           "prec={column.precision} last={column.islast} pos={column.position}\n"
                           "%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text,
              "ID int len=9 prec=0 last=0 pos=1\n"
              "MONTANT decimal(12, 2) len=10 prec=2 last=0 pos=2\n"
              "NE_LE datetime len=0 prec=0 last=0 pos=3\n"
              "CODE char(3) len=3 prec=0 last=1 pos=4\n");
}

TEST_F(Generate, LoopOverNoColumnSkipsItsBlock) {
    describe({});
    Generated g = generate(std::string(kHead) + "a\n%for_each_column\n%begin\nX\n%end\nb\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "a\nb\n");
}

TEST_F(Generate, NestedLoopsOverTheSameListRunAsACrossProduct) {
    describe({{"A", 0}, {"B", 0}});
    Generated g = generate(std::string(kHead) +
                           "%for_each_column\n%begin\n%for_each_column\n%begin\n"
                           "{column.name}\n%end\n-\n%end\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "A\nB\n-\nA\nB\n-\n");
}

TEST_F(Generate, IfElseTakesOneBranchAndUpperCaseDirectivesAreRecognised) {
    describe({{"ID", 0}, {"NOM", 5, 20}});
    Generated g = generate(std::string(kHead) +
                           "%for_each_column\n%begin\n"
                           "  %IF \"{column.name}\" == \"NOM\"\n  %begin\nname\n  %end\n"
                           "  %else\n  %begin\nother\n  %END\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "other\nname\n");
}

TEST_F(Generate, ElseifAfterARunIfBlockEvaluatesItsOwnCondition) {
    Generated g = generate(std::string(kHead) +
                           "%if 1 == 1\n%begin\nif\n%end\n%elseif 2 == 2\n%begin\nelseif\n%end\n"
                           "%if 1 == 1\n%begin\nif2\n%end\n%elseif 1 == 2\n%begin\nno\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "if\nelseif\nif2\n");
}

TEST_F(Generate, ConditionNamingAVariableFailsAtEvaluation) {
    Generated g = generate(std::string(kHead) +
                           "% x = 1\nbefore\n%if x == 1\n%begin\nin\n%end\n"
                           "after\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_EQ(g.text, "before\n");
    EXPECT_NE(trace_.text().find("\n[CALC] Evaluation error"), std::string::npos);
    EXPECT_NE(panel().find("\n(E) Runtime Error"), std::string::npos);
}

TEST_F(Generate, AssignedVariablesKeepTheirKind) {
    Generated g = generate(std::string(kHead) +
                           "% x = 2.5\n% y = 7/2\n% z = 8/2\n% s = \"a\" + \"b\"\n"
                           "{x} {y} {z} {s} {X}\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "2.5 3.5 4 ab 2.5\n");
}

TEST_F(Generate, BracesAndUnfinishedReferences) {
    Generated g = generate(std::string(kHead) +
                           "%writeln a } b\n%writeln a {table.name\n"
                           "% p = \"ue\"\n%writeln {tr{p}}\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "a } b\na \n1\n");
}

TEST_F(Generate, UnknownNameIsEmptyWithAnErrorInThePanel) {
    Generated g = generate(std::string(kHead) + "[{nothing.here}]\n[{column.name}]\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "[]\n[]\n");
    EXPECT_NE(panel().find("\nUnknown identifier 'nothing.here'"), std::string::npos);
    EXPECT_NE(panel().find("\nUnknown identifier 'column.name'"), std::string::npos);
    EXPECT_EQ(colourOf("Unknown identifier"), morvex::PANEL_ERROR);
}

TEST_F(Generate, DeprecatedNamesGiveTheirValueAndOneWarningPerUse) {
    Generated g = generate(std::string(kHead) + "{databasename} {databasename} {desc.separator}\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "BASE BASE ;\n");
    const std::string p = panel();
    const std::string w = "Warning [7]: [databasename] is deprecated. Use [database.name] instead.";
    EXPECT_NE(p.find(w), std::string::npos) << p;
    EXPECT_NE(p.find(w, p.find(w) + 1), std::string::npos);
    EXPECT_NE(p.find("\nLigne 7 : Attention : [desc.separator] ne sera plus supporté dans les "
                     "prochaines versions. Utilisez [desc.fielddelimiter] à la place."),
              std::string::npos);
    EXPECT_EQ(colourOf("deprecated"), morvex::PANEL_WARNING);
}

TEST_F(Generate, SeparatorFlagsFollowTheDelimiter) {
    const struct {
        const char* delimiter;
        const char* expected;
    } cases[] = {{"|", "0 1 0"}, {"#", "1 0 0"}, {";", "0 0 1"}};
    for (const auto& c : cases) {
        describe({{"A", 0}}, c.delimiter);
        Generated g = generate(std::string(kHead) +
                               "{desc.separator.other} {desc.separator.pipe} "
                               "{desc.separator.semicolumn}\n");
        EXPECT_EQ(g.text, std::string(c.expected) + "\n") << c.delimiter;
    }
}

TEST_F(Generate, ExitInsideALoopEndsTheGenerationSuccessfully) {
    describe({{"A", 0}, {"B", 0}});
    Generated g = generate(std::string(kHead) +
                           "%for_each_column\n%begin\n{column.name}\n%exit\n%end\nnever\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "A\n");
}

TEST_F(Generate, InfoWithAPercentSignIsShownUnchanged) {
    Generated g = generate(std::string(kHead) +
                           "%info 100% done\n%warning attention {table.name}\n"
                           "%error bad\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_NE(panel().find("100% done\n"), std::string::npos) << panel();
    EXPECT_EQ(colourOf("100% done"), morvex::PANEL_INFO);
    EXPECT_NE(panel().find("\nWarning at line 7 : attention CLIENT\n"), std::string::npos);
    EXPECT_EQ(colourOf("Warning at line"), morvex::PANEL_WARNING);
    EXPECT_NE(panel().find("\nRaise error at line 8 : bad\n"), std::string::npos);
    EXPECT_EQ(colourOf("Raise error"), morvex::PANEL_ERROR);
}

TEST_F(Generate, MessageBoxesCarryTheirCaptions) {
    Generated g = generate(std::string(kHead) +
                           "%msgbox:error e\n%msgbox:warning w\n"
                           "%msgbox:info i\n");
    ASSERT_EQ(g.rc, 0);
    ASSERT_EQ(port_.messages.size(), 3u);
    EXPECT_EQ(port_.messages[0], "Erreur|\nRaise error at line 6 : e\n");
    EXPECT_EQ(port_.messages[1], "Attention!|\nWarning at line 7 : w\n");
    EXPECT_EQ(port_.messages[2], "Information|i\n");
}

TEST_F(Generate, FunctionReceivesAnIntegerAndAText) {
    Generated g = generate(std::string(kHead) +
                           "%Show 1, \"x\"\n%exit\n"
                           "%function Show a, b\n%begin\n%writeln a={a} b={b}\n"
                           "% k = a + 1\n%writeln k={k}\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "a=1 b=x\nk=2\n");
}

TEST_F(Generate, InlineCallReturnsItsTextAndKeepsWhatFollows) {
    Generated g = generate(std::string(kHead) +
                           "%writeln [%Twice \"ab\":] and [%Twice 3:]\n%exit\n"
                           "%function Twice v\n%begin\n%return {v}{v}\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "[abab] and [33]\n");
}

TEST_F(Generate, FunctionsComeFromAnIncludedLibrary) {
    dir_.write("lib/mylib.tpl",
               "%templatetype MorvexFylatek.Library\n%function Hello who\n%begin\n"
               "  Hello {who}\n  %writeln !\n%end\n");
    Generated g = generate(std::string(kHead) + "%include mylib\n%Hello \"you\"\n");
    ASSERT_EQ(g.rc, 0) << panel();
    // Under the library's type line text lines lose their line ends and indentation.
    EXPECT_EQ(g.text, "Hello you!\n");
    EXPECT_NE(trace_.text().find("\nIncluding file [mylib]"), std::string::npos);
}

TEST_F(Generate, MissingOrCircularLibraryStopsTheGeneration) {
    Generated g = generate(std::string(kHead) + "%include nosuchlib\nx\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_NE(panel().find("impossible d'inclure la bibliothèque"), std::string::npos);
    dir_.write("lib/loop.tpl", "%templatetype MorvexFylatek.Library\n%include loop\n");
    g = generate(std::string(kHead) + "%include loop\nx\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_NE(panel().find("inclusion circulaire"), std::string::npos);
}

TEST_F(Generate, RecursionWithoutEndIsStoppedWithAMessage) {
    Generated g = generate(std::string(kHead) +
                           "%Loop\n%exit\n%function Loop\n%begin\n"
                           "%Loop\n%Loop\n%end\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_NE(panel().find("appels de fonctions imbriqués"), std::string::npos) << panel();
}

TEST_F(Generate, PopFromAnEmptyStackIsReportedNotFatal) {
    Generated g = generate(std::string(kHead) +
                           "%writeln [%Two 1:]\n%exit\n"
                           "%function Two a, b\n%begin\n%return {b}\n%end\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_NE(panel().find("pile vide, le paramètre 'a' n'a pas été reçu"), std::string::npos)
        << panel();
}

TEST_F(Generate, HundredAndFirstVariableIsRefused) {
    std::string body;
    for (int i = 0; i < 101; ++i)
        body += "% v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    Generated g = generate(std::string(kHead) + body + "{v99}\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "99\n");
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_EQ(port_.messages[0].rfind("Dépassement de capacité|Dépassement de capacité! Vous avez "
                                      "atteint la limite",
                                      0),
              0u);
}

TEST_F(Generate, ReturnsOffJoinsLinesUntilReturnsOn) {
    Generated g = generate(std::string(kHead) + "%set_returns_off\n  a\n  b\n%set_returns_on\nc\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "abc\n");
}

TEST_F(Generate, AlignFitsTheTextToTheWidth) {
    Generated g = generate(std::string(kHead) +
                           "%align left 6 \".\" ab\n%align right 6 \"-\" a b\n"
                           "%align center 6 \"*\" ab\n%align none 6 x yz\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "ab....\n---a b\n**ab**\nyz\n");
}

TEST_F(Generate, ExecsystemRunsThroughTheShellOrIsRefused) {
    Generated g = generate(std::string(kHead) + "%execsystem echo hi > " + dir_.file("ran") + "\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(tpltest::readFile(dir_.file("ran")), "hi\n");
    EXPECT_NE(panel().find("Info Sécurité : Ligne 6, le script a lancé la commande système "
                           "suivante :echo hi"),
              std::string::npos);
    EXPECT_EQ(colourOf("Info Sécurité"), morvex::PANEL_NOTICE);

    TEMPLATE_SetExecAllowed(false);
    g = generate(std::string(kHead) + "%execsystem echo no > " + dir_.file("refused") +
                 "\nafter\n");
    TEMPLATE_SetExecAllowed(true);
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "after\n");
    EXPECT_FALSE(std::ifstream(dir_.file("refused")).good());
    EXPECT_NE(panel().find("commande système refusée"), std::string::npos);
}

TEST_F(Generate, DatafileRowsAreWalkedWithTheirValues) {
    describe({{"ID", 0}, {"NOM", 5, 20}});
    desc_->FirstLineIsHeader = 1;
    desc_->ExampleFilePath = strdup(dir_.write("data.csv", "ID;NOM\n1;Ann\n2;Bob\n").c_str());
    Generated g = generate(std::string(kHead) +
                           "%for_each_datafile_row\n%begin\n%write {row.number}:\n"
                           "%for_each_column\n%begin\n%write [{row.value}]\n%end\n%writeln\n"
                           "%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "1:[1][Ann]\n2:[2][Bob]\n");
}

TEST_F(Generate, DatafileLoopWithoutExampleFileIsSkipped) {
    describe({{"ID", 0}});
    Generated g =
        generate(std::string(kHead) + "a\n%for_each_datafile_row\n%begin\nrow\n%end\nb\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "a\nb\n");
}

TEST_F(Generate, PrimaryKeyAndIndexLoops) {
    describe({{"ID", 0}, {"NOM", 5, 20}, {"VILLE", 5, 20}});
    IndexDesc pk{};
    strcpy(pk.name, "PK_CLIENT");
    pk.columns = LDCG_Create(nullptr, nullptr);
    LDCG_Add(pk.columns, FILEDESC_SearchColumn(desc_, "ID"), nullptr);
    LDCG_Add(pk.columns, FILEDESC_SearchColumn(desc_, "NOM"), nullptr);
    FILEDESC_SetPrimaryKey(desc_, &pk);
    IndexDesc* ix = FILEDESC_CreateIndex("IX_VILLE");
    LDCG_Add(ix->columns, FILEDESC_SearchColumn(desc_, "VILLE"), nullptr);
    FILEDESC_AddIndex(desc_, ix);
    Generated g = generate(std::string(kHead) +
                           "%write {primary_key.name}(\n%for_each_pk_column\n%begin\n"
                           "%write {thispkcol.name}{thispkcol.islast}\n%end\n%writeln )\n"
                           "%for_each_index\n%begin\n%write {thisindex.name}:\n"
                           "%for_each_idx_column\n%begin\n%writeln {thisidxcol.name}"
                           "{thisidxcol.islast}\n%end\n%end\n"
                           "%for_each_idx_column\n%begin\nnever\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "PK_CLIENT(ID0NOM1)\nIX_VILLE:VILLE1\n");
    EXPECT_NE(trace_.text().find("\n[FOR_EACH_PK_COL]"), std::string::npos);
}

TEST_F(Generate, LongSubstitutionIsCutWithAWarning) {
    std::string body = "% a = \"" + std::string(1000, 'a') + "\"\n% s = a + a + a\n{s}{s}\n";
    Generated g = generate(std::string(kHead) + body);
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text.size(), 4999u);
    EXPECT_NE(panel().find("texte de plus de 4999 caractères après substitution"),
              std::string::npos);
}

TEST_F(Generate, InstructionLimitEndsARunawayGeneration) {
    TEMPLATE_SetInstructionLimit(50);
    describe({{"A", 0}, {"B", 0}, {"C", 0}});
    Generated g = generate(std::string(kHead) +
                           "%for_each_column\n%begin\n%for_each_column\n%begin\n"
                           "%for_each_column\n%begin\nx\n%end\n%end\n%end\n");
    TEMPLATE_SetInstructionLimit(0);
    EXPECT_EQ(g.rc, 1);
    EXPECT_NE(panel().find("Plus de 50 instructions exécutées"), std::string::npos);
}

TEST_F(Generate, TemplateGenerateWritesASecondFileBesideTheFirst) {
    dir_.write("second.tpl",
               "%templatetype MorvexFylatek.Template\n%targetfilename two.txt\n"
               "two {table.name}\n");
    Generated g =
        generate(std::string(kHead) + "%template.generate " + dir_.file("second.tpl") + "\none\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "one\n");
    EXPECT_EQ(tpltest::readFile(out_ + "/two.txt"), "two CLIENT\n");
}

TEST_F(Generate, SelfGeneratingTemplateStopsAtTheNestingLimit) {
    std::string self = dir_.file("t.tpl");
    Generated g = generate(std::string(kHead) + "%template.generate " + self + "\nx\n");
    EXPECT_EQ(g.rc, 0);
    EXPECT_NE(panel().find("générations imbriquées"), std::string::npos);
}

TEST_F(Generate, FiledescOpenHandsTheDescriptionToTheWindowOrTellsTheFailure) {
    describe({{"ID", 0}});
    std::string fyk = dir_.file("other.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(desc_, fyk.c_str()), 0);
    Generated g = generate(std::string(kHead) + "%filedesc.open " + fyk + "\n%filedesc.open " +
                           dir_.file("none.fyk") + "\n");
    ASSERT_EQ(g.rc, 0);
    ASSERT_EQ(port_.opened.size(), 1u);
    FILEDESC_CloseFileDesc(port_.opened[0]);
    EXPECT_NE(panel().find("ERREUR : Ligne 7, impossible d'ouvrir la description [" +
                           dir_.file("none.fyk") + "]"),
              std::string::npos);
}

TEST_F(Generate, CrLfTemplateReadsLikeALfOne) {
    Generated g = generate(
        "%templatetype MorvexFylatek.Template\r\n%targetfilename out.txt\r\n"
        "%Say 1\r\n%exit\r\n%function Say n\r\n%begin\r\n%writeln n={n}\r\n"
        "%end\r\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "n=1\n");
}

}  // namespace
