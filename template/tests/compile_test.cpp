// The compiler on its own: directive recognition, compilation of calls and functions, linking
// and its error messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "template/tests/tpl_fixture.h"

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
        LDCG_Destroy(lines, 0, 1);
        std::vector<std::string> out;
        for (LDCG_ELT* e = code->first; e; e = e->next) {
            auto* l = static_cast<LINE*>(e->lParam1);
            out.push_back(std::to_string(l->code) + ":" + l->data);
        }
        LDCG_Destroy(code, 0, 1);
        return out;
    }

    // Builds the array of `text` (a template body) and links it; the link result.
    int link(const std::string& text, TEMPLATE_PROGRAM* program) {
        std::string path = dir_.write("l.tpl", text);
        return TEMPLATE_Build(path.c_str(), program);
    }
};

TEST_F(Compiler, CallPushesTheReturnAddressThenEveryArgument) {
    auto code = instructions("%Format a, b\n");
    ASSERT_EQ(code.size(), 4u);
    EXPECT_EQ(code[0], "32:returnAddress");
    EXPECT_EQ(code[1], "32:a");
    EXPECT_EQ(code[2], "32:b");
    EXPECT_EQ(code[3], "39:format");
}

TEST_F(Compiler, CallArgumentsFollowTheSplittingRules) {
    // Without arguments the line end makes one empty argument; a trailing comma adds one more.
    EXPECT_EQ(instructions("%f\n"), (std::vector<std::string>{"32:returnAddress", "32:", "39:f"}));
    EXPECT_EQ(instructions("%f x,\n"),
              (std::vector<std::string>{"32:returnAddress", "32:x", "32:", "39:f"}));
}

TEST_F(Compiler, FunctionPrologueReceivesParametersInReverseOrder) {
    auto code = instructions("%function Total a, b\n");
    std::vector<std::string> expected = {
        "12:Total a, b\n", "30:Total", "33:b", "31:b", "33:a", "31:a", "33:returnAddress"};
    EXPECT_EQ(code, expected);
}

TEST_F(Compiler, ReturnBecomesAPushAndAnExit) {
    EXPECT_EQ(instructions("%return {x}\n"),
              (std::vector<std::string>{"32:{x}", "27:returnAddress"}));
}

TEST_F(Compiler, TemplateTypeLineOpensTheProgramFrame) {
    auto code = instructions("%templatetype MorvexFylatek.Template\nbody\n");
    std::vector<std::string> expected = {"29:MorvexFylatek.Template",
                                         "12:Program.Main ",
                                         "30:Program.Main",
                                         "33:returnAddress",
                                         "4:%begin",
                                         "1:body\n",
                                         "27:%exit",
                                         "5:%end"};
    EXPECT_EQ(code, expected);
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

TEST_F(Compiler, ElseAfterAnElseifIsRejected) {
    TEMPLATE_PROGRAM p{};
    EXPECT_EQ(link("%if 1\n%begin\n%end\n%elseif 2\n%begin\n%end\n%else\n%begin\n%end\n", &p), 1);
    EXPECT_NE(trace_.text().find("\n[TEMPLATE_ResolveLinksV2][Error] 'else' without 'if' "
                                 "statement. (principalInst=7)"),
              std::string::npos);
    EXPECT_NE(panel().find("\n(E) Error while resolving links and references."), std::string::npos);
    EXPECT_EQ(TEMPLATE_GetLastLinkError()->line, 7);
}

TEST_F(Compiler, LastEndWithoutLineEndIsTextAndTheBlockMissesItsEnd) {
    TEMPLATE_PROGRAM p{};
    EXPECT_EQ(link("%for_each_column\n%begin\nx\n%end", &p), 1);
    EXPECT_NE(panel().find("\nSyntax Error : Missing END of a begin/end Block at level 1."),
              std::string::npos)
        << panel();
}

TEST_F(Compiler, StrayEndAndMissingBlockAreLinkErrors) {
    TEMPLATE_PROGRAM p{};
    EXPECT_EQ(link("a\n%end\nb\n%end\n", &p), 1);
    EXPECT_NE(panel().find("END without BEGIN"), std::string::npos) << panel();
    EXPECT_EQ(link("%if 1\nno block\n", &p), 1);
    EXPECT_NE(panel().find("BEGIN expected after line 1"), std::string::npos) << panel();
}

TEST_F(Compiler, UnknownInstructionCodeIsALinkError) {
    LINE tab[2] = {{TPL_TEXT, strdup("a"), 0, 0, 1}, {14, strdup("odd"), 0, 0, 2}};
    EXPECT_EQ(TEMPLATE_ResolveLinksV2(tab, 2, 0), -1);
    EXPECT_NE(panel().find("\nLine 1 : Unknown instruction [14]:[odd]"), std::string::npos);
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
    EXPECT_NE(listing.find("\n[sl:002][005]STACK PUSH [8]"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\n[sl:002][007]CALL FUNCTION [go]@10"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\n[sl:000][010]FUNCTION [Go]"), std::string::npos) << listing;
}

}  // namespace
