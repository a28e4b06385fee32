// The compiler on its own: directive recognition, compilation of calls and functions, linking
// and its error messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "template/tests/tpl_fixture.h"

using tpltest::Contains;
using tpltest::TemplateTest;

namespace {

TEST(SearchInstruction, FindsTheWordAndTheParameter) {
    const struct {
        const char* line;
        int found;
        const char* word;
        const char* param;
    } cases[] = {
        {"%if a == b\n", 1, "%if", "a == b\n"},
        {"   \t%IF x\n", 1, "%if", "x\n"},
        {"text %Begin\n", 1, "%begin", "\n"},
        {"%end", 0, "", ""},
        {"plain text\n", 0, "", ""},
        {"%writeln \t  spaced\n", 1, "%writeln", "spaced\n"},
        {"% x = 1\n", 1, "%", "x = 1\n"},
        {"%msgbox:Info hello\n", 1, "%msgbox:info", "hello\n"},
    };
    for (const auto& c : cases) {
        char word[TEMPLATE_WORD_MAX + 1], param[TEMPLATE_PARAM_MAX + 1];
        EXPECT_EQ(searchInstruction(c.line, word, param), c.found) << c.line;
        EXPECT_STREQ(word, c.word) << c.line;
        EXPECT_STREQ(param, c.param) << c.line;
    }
}

TEST(SearchInstruction, CutsTheWordAndTheParameterToTheirBuffers) {
    std::string line = "%" + std::string(300, 'w') + " " + std::string(2000, 'p') + "\n";
    char word[TEMPLATE_WORD_MAX + 1], param[TEMPLATE_PARAM_MAX + 1];
    ASSERT_EQ(searchInstruction(line.c_str(), word, param), 1);
    EXPECT_EQ(strlen(word), 127u);
    EXPECT_EQ(strlen(param), 1023u);
}

class Compiler : public TemplateTest {
protected:
    // Loads, compiles and generates instructions; returns "code:data" per instruction.
    std::vector<std::string> instructions(const std::string& text) {
        LDCG* lines = TEMPLATE_LoadFile(dir_.write("c.tpl", text).c_str());
        EXPECT_NE(lines, nullptr);
        EXPECT_EQ(TEMPLATE_Compile(lines), 0);
        LDCG* code = TEMPLATE_GenerateInstructions(lines);
        LDCG_Destroy(lines, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
        std::vector<std::string> out;
        for (LDCG_ELT* e = code->first; e; e = e->next) {
            auto* l = static_cast<LINE*>(e->lParam1);
            out.push_back(std::to_string(l->code) + ":" + l->data);
        }
        LDCG_Destroy(code, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
        return out;
    }

    // Builds the array of `text` (a template body) and links it; the link result.
    int link(const std::string& text, TEMPLATE_PROGRAM* program) {
        std::string path = dir_.write("l.tpl", text);
        return TEMPLATE_Build(path.c_str(), program);
    }
};

TEST_F(Compiler, TurnsEachDirectiveIntoItsInstructions) {
    const struct {
        const char* text;
        std::vector<std::string> code;
    } cases[] = {
        // A call pushes the return address, then every argument.
        {"%Format a, b\n", {"32:returnAddress", "32:a", "32:b", "39:format"}},
        // Without arguments the line end makes one empty argument; a trailing comma adds one.
        {"%f\n", {"32:returnAddress", "32:", "39:f"}},
        {"%f x,\n", {"32:returnAddress", "32:x", "32:", "39:f"}},
        // A function's prologue receives its parameters in reverse order.
        {"%function Total a, b\n",
         {"12:Total a, b\n", "30:Total", "33:b", "31:b", "33:a", "31:a", "33:returnAddress"}},
        {"%return {x}\n", {"32:{x}", "27:returnAddress"}},
        // The type line opens the program frame.
        {"%templatetype MorvexFylatek.Template\nbody\n",
         {"29:MorvexFylatek.Template", "12:Program.Main ", "30:Program.Main", "33:returnAddress",
          "4:%begin", "1:body\n", "27:%exit", "5:%end"}},
    };
    for (const auto& c : cases) EXPECT_EQ(instructions(c.text), c.code) << c.text;
}

TEST_F(Compiler, IfBlockEndJumpsPastTheElseBlock) {
    TEMPLATE_PROGRAM p{};
    ASSERT_EQ(link("%templatetype MorvexFylatek.Template\n%if 1\n%begin\na\n%end\n%else\n"
                   "%begin\nb\n%end\n",
                   &p),
              0);
    // 5 %if, 6 %begin, 7 a, 8 %end, 9 %else, 10 %begin, 11 b, 12 %end, 13 %exit
    EXPECT_EQ(p.lineTab[5].code, TPL_IF);
    EXPECT_EQ(p.lineTab[5].ifTrue, 6);
    EXPECT_EQ(p.lineTab[5].ifFalse, 9);
    EXPECT_EQ(p.lineTab[8].ifTrue, 13);
    EXPECT_EQ(p.lineTab[12].ifTrue, 13);
    freeByteCode(p.lineTab, p.count);
}

TEST_F(Compiler, LoopEndJumpsBackToTheLoop) {
    TEMPLATE_PROGRAM p{};
    ASSERT_EQ(link("%templatetype MorvexFylatek.Template\n%for_each_column\n%begin\nx\n%end\n", &p),
              0);
    EXPECT_EQ(p.lineTab[5].ifTrue, 6);
    EXPECT_EQ(p.lineTab[5].ifFalse, 9);
    EXPECT_EQ(p.lineTab[8].ifTrue, 5);
    freeByteCode(p.lineTab, p.count);
}

TEST_F(Compiler, MisplacedBlocksAreLinkErrorsWithTheirMessage) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"%if 1\n%begin\n%end\n%elseif 2\n%begin\n%end\n%else\n%begin\n%end\n",
         "\n(E) Error while resolving links and references."},
        // The last %end has no line end: it is text, and the block misses its end.
        {"%for_each_column\n%begin\nx\n%end",
         "\nSyntax Error : Missing END of a begin/end Block at level 1."},
        {"a\n%end\nb\n%end\n", "END without BEGIN"},
        {"%if 1\nno block\n", "BEGIN expected after line 1"},
    };
    for (const auto& c : cases) {
        port_.panel.clear();
        TEMPLATE_PROGRAM p{};
        EXPECT_EQ(link(c.text, &p), 1) << c.text;
        EXPECT_TRUE(Contains(panel(), c.message)) << c.text << panel();
    }
}

TEST_F(Compiler, ElseAfterAnElseifIsTracedWithItsLine) {
    TEMPLATE_PROGRAM p{};
    EXPECT_EQ(link("%if 1\n%begin\n%end\n%elseif 2\n%begin\n%end\n%else\n%begin\n%end\n", &p), 1);
    EXPECT_TRUE(Contains(trace_.text(),
                         "\n[TEMPLATE_ResolveLinksV2][Error] 'else' without 'if' "
                         "statement. (principalInst=7)"));
    EXPECT_EQ(TEMPLATE_GetLastLinkError()->line, 7);
}

TEST_F(Compiler, UnknownInstructionCodeIsALinkError) {
    LINE tab[2] = {{TPL_TEXT, strdup("a"), 0, 0, 1}, {14, strdup("odd"), 0, 0, 2}};
    EXPECT_EQ(TEMPLATE_ResolveLinksV2(tab, 2, 0), -1);
    EXPECT_TRUE(Contains(panel(), "\nLine 1 : Unknown instruction [14]:[odd]"));
    free(tab[0].data);
    free(tab[1].data);
}

TEST_F(Compiler, ListingShowsEachInstructionWithItsTargets) {
    TEMPLATE_PROGRAM p{};
    ASSERT_EQ(link("%templatetype MorvexFylatek.Template\n%Go 1\n%exit\n%function Go n\n%begin\n"
                   "%end\n",
                   &p),
              0);
    freeByteCode(p.lineTab, p.count);
    std::string listing = tpltest::readFile(dir_.file("MorvexFylatek.MacroCode.AfterLinker.txt"));
    EXPECT_TRUE(Contains(listing, "\n[sl:002][005]STACK PUSH [8]"));
    EXPECT_TRUE(Contains(listing, "\n[sl:002][007]CALL FUNCTION [go]@10"));
    EXPECT_TRUE(Contains(listing, "\n[sl:000][010]FUNCTION [Go]"));
}

}  // namespace

namespace {

// A named pipe, a device or a file larger than the limit given as a template is refused at
// once with its reason, never waited on nor read without end.
TEST_F(TemplateTest, LoadFileRefusesWhatIsNoRegularFileAndAFileOverItsLimit) {
    const std::string fifo = dir_.file("tube.tpl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir_.write("big.tpl", "x");
    std::filesystem::resize_file(big, TEMPLATE_MAX_FILE + 1);  // sparse: nothing written
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "Le modèle '" + fifo + "' est un tube nommé, pas un fichier ordinaire."},
        {"/dev/zero", "Le modèle '/dev/zero' est un périphérique, pas un fichier ordinaire."},
        {big, "Le modèle '" + big + "' dépasse la taille permise (16 777 216 octets)."},
    };
    for (const auto& [path, reason] : cases) {
        trace_.clear();
        EXPECT_EQ(TEMPLATE_LoadFile(path.c_str()), nullptr) << path;
        EXPECT_NE(trace_.text().find("\n[TEMPLATE_LoadFile] : " + reason), std::string::npos)
            << trace_.text();
    }
}

}  // namespace
