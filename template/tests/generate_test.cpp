// End-to-end generations: a template written to disk, TEMPLATE_Generate, the output file read
// back, and what reached the message panel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "template/tests/tpl_fixture.h"

using tpltest::Col;
using tpltest::Contains;
using tpltest::Generated;
using tpltest::StartsWith;
using tpltest::TemplateTest;

namespace {

const std::string kHead = "%templatetype MorvexFylatek.Template\n%targetfilename out.txt\n";

class Generate : public TemplateTest {};

// Templates whose whole output is known: the description's columns, the body under the two head
// lines, and the text written to out.txt.
TEST_F(Generate, WritesTheExpectedTextForEachConstruct) {
    const std::vector<Col> idOnly = {{"ID", DATATYPE_INTEGER, 9}};
    const std::string flags =
        "{desc.separator.other} {desc.separator.pipe} {desc.separator.semicolumn}\n";
    const struct {
        const char* what;
        std::vector<Col> columns;
        std::string body;
        const char* expected;
        const char* delimiter = ";";
    } cases[] = {
        {"description names are substituted, whatever their case",
         {{"ID", DATATYPE_INTEGER, 9}, {"NOM", DATATYPE_VARIABLECHAR, 30}},
         "Table {Table.Name} of {table.name} in {database.name}.{desc.schemaname}"
         " ({table.countcolumns} columns)\n",
         "Table CLIENT of CLIENT in BASE.dbo (2 columns)\n"},
        {"the column loop gives the last flag, length and SQL type",
         {{"ID", DATATYPE_INTEGER, 9},
          {"MONTANT", DATATYPE_DECIMAL, 10, 2},
          {"NE_LE", DATATYPE_DATE},
          {"CODE", DATATYPE_FIXEDCHAR, 3}},
         "%for_each_column\n%begin\n{column.name} {column.sqltype} len={column.length} "
         "prec={column.precision} last={column.islast} pos={column.position}\n%end\n",
         "ID int len=9 prec=0 last=0 pos=1\nMONTANT decimal(12, 2) len=10 prec=2 last=0 pos=2\n"
         "NE_LE datetime len=0 prec=0 last=0 pos=3\nCODE char(3) len=3 prec=0 last=1 pos=4\n"},
        {"a loop over no column skips its block",
         {},
         "a\n%for_each_column\n%begin\nX\n%end\nb\n",
         "a\nb\n"},
        {"nested loops over the same list run as a cross product",
         {{"A", 0}, {"B", 0}},
         "%for_each_column\n%begin\n%for_each_column\n%begin\n{column.name}\n%end\n-\n%end\n",
         "A\nB\n-\nA\nB\n-\n"},
        {"if/else takes one branch; upper-case directives are recognised",
         {{"ID", 0}, {"NOM", 5, 20}},
         "%for_each_column\n%begin\n  %IF \"{column.name}\" == \"NOM\"\n  %begin\nname\n  %end\n"
         "  %else\n  %begin\nother\n  %END\n%end\n",
         "other\nname\n"},
        {"an elseif after a run if block evaluates its own condition", idOnly,
         "%if 1 == 1\n%begin\nif\n%end\n%elseif 2 == 2\n%begin\nelseif\n%end\n"
         "%if 1 == 1\n%begin\nif2\n%end\n%elseif 1 == 2\n%begin\nno\n%end\n",
         "if\nelseif\nif2\n"},
        {"assigned variables keep their kind; names ignore case", idOnly,
         "% x = 2.5\n% y = 7/2\n% z = 8/2\n% s = \"a\" + \"b\"\n{x} {y} {z} {s} {X}\n",
         "2.5 3.5 4 ab 2.5\n"},
        {"a lone closing brace, an unfinished reference, a reference built from another", idOnly,
         "%writeln a } b\n%writeln a {table.name\n% p = \"ue\"\n%writeln {tr{p}}\n",
         "a } b\na \n1\n"},
        {"separator flags follow the delimiter |", {{"A", 0}}, flags, "0 1 0\n", "|"},
        {"separator flags follow the delimiter #", {{"A", 0}}, flags, "1 0 0\n", "#"},
        {"separator flags follow the delimiter ;", {{"A", 0}}, flags, "0 0 1\n", ";"},
        {"exit inside a loop ends the generation successfully",
         {{"A", 0}, {"B", 0}},
         "%for_each_column\n%begin\n{column.name}\n%exit\n%end\nnever\n",
         "A\n"},
        {"a function receives an integer and a text", idOnly,
         "%Show 1, \"x\"\n%exit\n%function Show a, b\n%begin\n%writeln a={a} b={b}\n"
         "% k = a + 1\n%writeln k={k}\n%end\n",
         "a=1 b=x\nk=2\n"},
        {"an inline call returns its text and keeps what follows", idOnly,
         "%writeln [%Twice \"ab\":] and [%Twice 3:]\n%exit\n"
         "%function Twice v\n%begin\n%return {v}{v}\n%end\n",
         "[abab] and [33]\n"},
        {"returns off joins lines until returns on", idOnly,
         "%set_returns_off\n  a\n  b\n%set_returns_on\nc\n", "abc\n"},
        {"align fits the text to the width", idOnly,
         "%align left 6 \".\" ab\n%align right 6 \"-\" a b\n%align center 6 \"*\" ab\n"
         "%align none 6 x yz\n",
         "ab....\n---a b\n**ab**\nyz\n"},
        {"a data file loop without example file is skipped",
         {{"ID", 0}},
         "a\n%for_each_datafile_row\n%begin\nrow\n%end\nb\n",
         "a\nb\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        describe(c.columns, c.delimiter);
        Generated g = generate(kHead + c.body);
        ASSERT_EQ(g.rc, 0) << panel();
        EXPECT_EQ(g.path, out_ + "/out.txt");
        EXPECT_EQ(g.text, c.expected);
    }
}

TEST_F(Generate, TracesEveryPhaseAndWritesBothListings) {
    Generated g = generate(kHead + "x\n");
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
    EXPECT_TRUE(Contains(after, "FUNCTION [Program.Main]"));
    EXPECT_TRUE(Contains(after, "COMPILE [x\n]"));
    EXPECT_TRUE(Contains(after, "END [JUMPTO:-1] -> JUMP TO @returnAddress"));
    EXPECT_FALSE(tpltest::readFile(dir_.file("MorvexFylatek.MacroCode.BeforeLinker.txt")).empty());
}

TEST_F(Generate, TemplateWithoutTypeLineGetsTheDefaultAndRuns) {
    Generated g = generate("%targetfilename out.txt\nhello\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "hello\n");
    EXPECT_TRUE(Contains(trace_.text(),
                         "\n[TEMPLATE_Generate] Type = Unknown!\n[TEMPLATE_Generate] : "
                         "Adding Default Template type"));
}

TEST_F(Generate, LibraryGivenAsTemplateCreatesTheFileAndFailsAtRunTime) {
    Generated g = generate(
        "%templatetype MorvexFylatek.Library\n%targetfilename lib.txt\n"
        "%function F\n%begin\n  a\n%end\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_EQ(g.path, out_ + "/lib.txt");
    EXPECT_TRUE(std::ifstream(g.path).good());
    EXPECT_TRUE(Contains(panel(), "\n(E) Runtime Error"));
    EXPECT_EQ(colourOf("Runtime Error"), morvex::PANEL_ERROR);
    EXPECT_TRUE(Contains(trace_.text(),
                         "RUNTIME_FindFunction a renvoye la valeur -1 (la fonction a "
                         "appeler 'Program.Main' n'a pas ete trouvee)."));
}

TEST_F(Generate, UnreadableTemplateFailsWithoutOutputName) {
    describe({{"ID", 0}});
    char out[512] = "";
    EXPECT_EQ(
        TEMPLATE_Generate(desc_, dir_.file("missing.tpl").c_str(), out_.c_str(), out, sizeof out),
        1);
    EXPECT_TRUE(Contains(trace_.text(), "\n[TEMPLATE_LoadFile] : Unable to open file ["));
    EXPECT_TRUE(
        Contains(trace_.text(), "\n[TEMPLATE_Generate] Error : Unknown template type : -1"));
    EXPECT_TRUE(Contains(panel(), "\nErreur : impossible d'ouvrir le fichier à générer."));
}

TEST_F(Generate, ConditionNamingAVariableFailsAtEvaluation) {
    Generated g = generate(kHead +
                           "% x = 1\nbefore\n%if x == 1\n%begin\nin\n%end\n"
                           "after\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_EQ(g.text, "before\n");
    EXPECT_TRUE(Contains(trace_.text(), "\n[CALC] Evaluation error"));
    EXPECT_TRUE(Contains(panel(), "\n(E) Runtime Error"));
}

TEST_F(Generate, UnknownNameIsEmptyWithAnErrorInThePanel) {
    Generated g = generate(kHead + "[{nothing.here}]\n[{column.name}]\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "[]\n[]\n");
    EXPECT_TRUE(Contains(panel(), "\nUnknown identifier 'nothing.here'"));
    EXPECT_TRUE(Contains(panel(), "\nUnknown identifier 'column.name'"));
    EXPECT_EQ(colourOf("Unknown identifier"), morvex::PANEL_ERROR);
}

TEST_F(Generate, DeprecatedNamesGiveTheirValueAndOneWarningPerUse) {
    Generated g = generate(kHead + "{databasename} {databasename} {desc.separator}\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "BASE BASE ;\n");
    const std::string p = panel();
    const std::string w = "Warning [7]: [databasename] is deprecated. Use [database.name] instead.";
    EXPECT_TRUE(Contains(p, w));
    EXPECT_NE(p.find(w, p.find(w) + 1), std::string::npos);
    EXPECT_TRUE(Contains(p,
                         "\nLigne 7 : Attention : [desc.separator] ne sera plus supporté dans les "
                         "prochaines versions. Utilisez [desc.fielddelimiter] à la place."));
    EXPECT_EQ(colourOf("deprecated"), morvex::PANEL_WARNING);
}

TEST_F(Generate, InfoWithAPercentSignIsShownUnchanged) {
    Generated g = generate(kHead +
                           "%info 100% done\n%warning attention {table.name}\n"
                           "%error bad\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_TRUE(Contains(panel(), "100% done\n"));
    EXPECT_EQ(colourOf("100% done"), morvex::PANEL_INFO);
    EXPECT_TRUE(Contains(panel(), "\nWarning at line 7 : attention CLIENT\n"));
    EXPECT_EQ(colourOf("Warning at line"), morvex::PANEL_WARNING);
    EXPECT_TRUE(Contains(panel(), "\nRaise error at line 8 : bad\n"));
    EXPECT_EQ(colourOf("Raise error"), morvex::PANEL_ERROR);
}

TEST_F(Generate, MessageBoxesCarryTheirCaptions) {
    Generated g = generate(kHead +
                           "%msgbox:error e\n%msgbox:warning w\n"
                           "%msgbox:info i\n");
    ASSERT_EQ(g.rc, 0);
    ASSERT_EQ(port_.messages.size(), 3u);
    EXPECT_EQ(port_.messages[0], "Erreur|\nRaise error at line 6 : e\n");
    EXPECT_EQ(port_.messages[1], "Attention!|\nWarning at line 7 : w\n");
    EXPECT_EQ(port_.messages[2], "Information|i\n");
}

TEST_F(Generate, FunctionsComeFromAnIncludedLibrary) {
    dir_.write("lib/mylib.tpl",
               "%templatetype MorvexFylatek.Library\n%function Hello who\n%begin\n"
               "  Hello {who}\n  %writeln !\n%end\n");
    Generated g = generate(kHead + "%include mylib\n%Hello \"you\"\n");
    ASSERT_EQ(g.rc, 0) << panel();
    // Under the library's type line text lines lose their line ends and indentation.
    EXPECT_EQ(g.text, "Hello you!\n");
    EXPECT_TRUE(Contains(trace_.text(), "\nIncluding file [mylib]"));
}

// Templates that go wrong at run time: the result and the message the panel must show.
TEST_F(Generate, RunTimeFaultsAreToldInThePanel) {
    dir_.write("lib/loop.tpl", "%templatetype MorvexFylatek.Library\n%include loop\n");
    const struct {
        std::string body;
        int rc;
        const char* message;
    } cases[] = {
        {"%include nosuchlib\nx\n", 1, "impossible d'inclure la bibliothèque"},
        {"%include loop\nx\n", 1, "inclusion circulaire"},
        {"%Loop\n%exit\n%function Loop\n%begin\n%Loop\n%Loop\n%end\n", 1,
         "appels de fonctions imbriqués"},
        // A missing argument is reported, and the generation goes on.
        {"%writeln [%Two 1:]\n%exit\n%function Two a, b\n%begin\n%return {b}\n%end\n", 0,
         "pile vide, le paramètre 'a' n'a pas été reçu"},
        // A template that generates itself stops at the nesting limit, and fails.
        {"%template.generate " + dir_.file("t.tpl") + "\nx\n", 1, "générations imbriquées"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        port_.panel.clear();
        EXPECT_EQ(generate(kHead + c.body).rc, c.rc);
        EXPECT_TRUE(Contains(panel(), c.message));
    }
}

TEST_F(Generate, HundredAndFirstVariableIsRefused) {
    std::string body;
    for (int i = 0; i < 101; ++i)
        body += "% v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    Generated g = generate(kHead + body + "{v99}\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text, "99\n");
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_TRUE(StartsWith(port_.messages[0],
                           "Dépassement de capacité|Dépassement de capacité! Vous avez "
                           "atteint la limite"));
}

// %execsystem runs its words as the arguments of one program, never through a shell: a table
// name holding shell syntax stays inside its argument and the file it would create never
// appears. The command runs only when allowed, or when the person says yes to it as it will run.
TEST_F(Generate, ExecsystemPassesValuesAsArgumentsAndRunsOnlyWhenAllowed) {
    using morvex::UiAnswer;
    describe({{"ID", 0}});
    strcpy(desc_->TableName, "X;touch injected;#");
    const struct {
        const char* what;
        TemplateExecPolicy policy;
        UiAnswer answer;      // when asked
        const char* command;  // after %execsystem
        const char* created;  // the file it creates when it runs
        bool runs;
        const char* shown;  // the command as it runs, or would have run
        const char* told;   // in the panel
    } cases[] = {
        {"allowed", TEMPLATE_EXEC_ALLOW, UiAnswer::No, "touch made-{table.name}",
         "made-X;touch injected;#", true, "touch 'made-X;touch injected;#'",
         "Info Sécurité : Ligne 6, le script a lancé"},
        {"asked, yes", TEMPLATE_EXEC_ASK, UiAnswer::Yes, "touch \"a b\" 'c d'", "a b", true,
         "touch 'a b' 'c d'", "Info Sécurité"},
        {"asked, no", TEMPLATE_EXEC_ASK, UiAnswer::No, "touch no", "no", false, "touch no",
         "commande système refusée (exécution non autorisée) : "},
        {"refused", TEMPLATE_EXEC_REFUSE, UiAnswer::Yes, "touch never", "never", false,
         "touch never", "commande système refusée"},
        {"unknown program", TEMPLATE_EXEC_ALLOW, UiAnswer::No, "no-such-program-here {table.name}",
         "", false, "no-such-program-here 'X;touch injected;#'",
         "impossible de lancer « no-such-program-here » : No such file or directory"},
    };
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TEMPLATE_SetExecPolicy(c.policy);
        port_.answers = {c.answer};
        port_.messages.clear();
        Generated g = generate(kHead + "%execsystem " + c.command + "\nafter\n");
        EXPECT_EQ(g.rc, 0);
        EXPECT_EQ(g.text, "after\n");
        if (*c.created) {
            EXPECT_EQ(std::ifstream(dir_.file(c.created)).good(), c.runs);
        }
        EXPECT_FALSE(std::ifstream(dir_.file("injected")).good());
        EXPECT_TRUE(Contains(panel(), c.told)) << panel();
        EXPECT_TRUE(Contains(panel(), c.shown)) << panel();
        const bool asked = c.policy == TEMPLATE_EXEC_ASK;
        ASSERT_EQ(port_.messages.size(), asked ? 1u : 0u);
        if (asked) {
            EXPECT_EQ(port_.messages[0],
                      std::string("Commande système|Le template demande l'exécution de la "
                                  "commande suivante :\n\n") +
                          c.shown + "\n\nL'exécuter ?");
        }
    }
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_EQ(colourOf("Info Sécurité"), morvex::PANEL_NOTICE);
}

// Values put into the output file name lose their separators and "..": whatever the
// description says, the file is written into the target directory.
TEST_F(Generate, TheOutputFileStaysInTheTargetDirectory) {
    const struct {
        const char* table;
        const char* name;      // %targetfilename
        const char* expected;  // the file written in the target directory; "" refused
    } cases[] = {
        {"../../../x", "{table.name}.sql", "x.sql"},
        {"a/b\\c", "{table.name}.sql", "abc.sql"},
        {"..", "{table.name}.sql", "datafile.sql"},
        {"../..", "{table.name}", "datafile"},
        {".hidden", "{table.name}.sql", "datafile.hidden.sql"},
        {"", "{table.name}.sql", "Clients.sql"},
        {"T", "../{table.name}.sql", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " in " + c.name);
        describe({{"ID", 0}});
        strcpy(desc_->TableName, c.table);
        Generated g = generate(std::string("%targetfilename ") + c.name + "\nx\n");
        if (!*c.expected) {
            EXPECT_EQ(g.rc, 1);
            EXPECT_TRUE(Contains(panel(), "sortirait du répertoire de génération"));
            continue;
        }
        EXPECT_EQ(g.rc, 0);
        EXPECT_EQ(g.path, out_ + "/" + c.expected);
        EXPECT_EQ(g.text, "x\n");
    }
}

TEST_F(Generate, DatafileRowsAreWalkedWithTheirValues) {
    describe({{"ID", 0}, {"NOM", 5, 20}});
    desc_->FirstLineIsHeader = 1;
    desc_->ExampleFilePath = strdup(dir_.write("data.csv", "ID;NOM\n1;Ann\n2;Bob\n").c_str());
    Generated g = generate(kHead +
                           "%for_each_datafile_row\n%begin\n%write {row.number}:\n"
                           "%for_each_column\n%begin\n%write [{row.value}]\n%end\n%writeln\n"
                           "%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "1:[1][Ann]\n2:[2][Bob]\n");
}

TEST_F(Generate, PrimaryKeyAndIndexLoops) {
    describe({{"ID", 0}, {"NOM", 5, 20}, {"VILLE", 5, 20}});
    IndexDesc pk{};
    strcpy(pk.name, "PK_CLIENT");
    pk.columns.push_back(FILEDESC_SearchColumn(desc_, "ID"));
    pk.columns.push_back(FILEDESC_SearchColumn(desc_, "NOM"));
    FILEDESC_SetPrimaryKey(desc_, &pk);
    IndexDesc* ix = FILEDESC_CreateIndex("IX_VILLE");
    ix->columns.push_back(FILEDESC_SearchColumn(desc_, "VILLE"));
    FILEDESC_AddIndex(desc_, ix);
    Generated g = generate(kHead +
                           "%write {primary_key.name}(\n%for_each_pk_column\n%begin\n"
                           "%write {thispkcol.name}{thispkcol.islast}\n%end\n%writeln )\n"
                           "%for_each_index\n%begin\n%write {thisindex.name}:\n"
                           "%for_each_idx_column\n%begin\n%writeln {thisidxcol.name}"
                           "{thisidxcol.islast}\n%end\n%end\n"
                           "%for_each_idx_column\n%begin\nnever\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "PK_CLIENT(ID0NOM1)\nIX_VILLE:VILLE1\n");
    EXPECT_TRUE(Contains(trace_.text(), "\n[FOR_EACH_PK_COL]"));
}

TEST_F(Generate, LongSubstitutionIsCutWithAWarning) {
    std::string body = "% a = \"" + std::string(1000, 'a') + "\"\n% s = a + a + a\n{s}{s}\n";
    Generated g = generate(kHead + body);
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.text.size(), 4999u);
    EXPECT_TRUE(Contains(panel(), "texte de plus de 4999 caractères après substitution"));
}

TEST_F(Generate, InstructionLimitEndsARunawayGeneration) {
    TEMPLATE_SetInstructionLimit(50);
    describe({{"A", 0}, {"B", 0}, {"C", 0}});
    Generated g = generate(kHead +
                           "%for_each_column\n%begin\n%for_each_column\n%begin\n"
                           "%for_each_column\n%begin\nx\n%end\n%end\n%end\n");
    TEMPLATE_SetInstructionLimit(0);
    EXPECT_EQ(g.rc, 1);
    EXPECT_TRUE(Contains(panel(), "Plus de 50 instructions exécutées"));
}

TEST_F(Generate, TemplateGenerateWritesASecondFileBesideTheFirst) {
    dir_.write("second.tpl",
               "%templatetype MorvexFylatek.Template\n%targetfilename two.txt\n"
               "two {table.name}\n");
    Generated g = generate(kHead + "%template.generate " + dir_.file("second.tpl") + "\none\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "one\n");
    EXPECT_EQ(tpltest::readFile(out_ + "/two.txt"), "two CLIENT\n");
}

TEST_F(Generate, FiledescOpenHandsTheDescriptionToTheWindowOrTellsTheFailure) {
    describe({{"ID", 0}});
    std::string fyk = dir_.file("other.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(desc_, fyk.c_str()), 0);
    Generated g = generate(kHead + "%filedesc.open " + fyk + "\n%filedesc.open " +
                           dir_.file("none.fyk") + "\n");
    ASSERT_EQ(g.rc, 0);
    ASSERT_EQ(port_.opened.size(), 1u);
    FILEDESC_CloseFileDesc(port_.opened[0]);
    EXPECT_TRUE(Contains(panel(), "ERREUR : Ligne 7, impossible d'ouvrir la description [" +
                                      dir_.file("none.fyk") + "]"));
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

namespace {

// A template that generates itself ten times at every level ends at once, the whole run with it,
// under the limits a run has without any setting.
TEST_F(Generate, TemplateGeneratingItselfTenTimesPerLevelStopsTheRun) {
    TEMPLATE_SetInstructionLimit(TEMPLATE_DEFAULT_INSTRUCTION_LIMIT);
    TEMPLATE_SetDetailedTrace(false);
    std::string body = kHead;
    for (int i = 0; i < 10; ++i) body += "%template.generate " + dir_.file("t.tpl") + "\n";
    Generated g = generate(body + "x\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_TRUE(Contains(panel(), "générations imbriquées (%template.generate)")) << panel();
    EXPECT_TRUE(Contains(panel(), "la génération est arrêtée"));
    // Stopped on the first way down: one generation per level.
    EXPECT_LT(TEMPLATE_GetExecutedInstructions(), 200);
}

// Generations side by side are bounded too: a template that generates another one a thousand
// times stops after TEMPLATE_MAX_GENERATIONS of them.
TEST_F(Generate, TooManyGenerationsStopTheRun) {
    TEMPLATE_SetDetailedTrace(false);
    dir_.write("leaf.tpl", kHead + "leaf\n");
    // A loop over a thousand columns makes the thousand calls.
    std::vector<tpltest::Col> cols;
    for (int i = 0; i < 1000; ++i)
        cols.push_back({strdup(("C" + std::to_string(i)).c_str()), DATATYPE_TEXT});
    describe(cols);
    for (auto& c : cols) free(const_cast<char*>(c.code));
    Generated g = generate(kHead + "%for_each_column\n%begin\n%template.generate " +
                           dir_.file("leaf.tpl") + "\n%end\n");
    EXPECT_EQ(g.rc, 1);
    EXPECT_TRUE(Contains(panel(), "Plus de 256 générations lancées par %template.generate"))
        << panel();
}

}  // namespace
