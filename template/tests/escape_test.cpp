// The escaping forms of the template language ({name:form}), each checked by running what a
// template writes in its target: SQLite for SQL identifiers and literals, python3 for Python
// strings and XML text, bash for shell words. A hostile value must come back byte for byte and
// add nothing (no table, no command, no element).
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "template/tests/tpl_fixture.h"

namespace {

using tpltest::Contains;
using tpltest::Generated;
using tpltest::readFile;

const std::string kHead = "%templatetype MorvexFylatek.Template\n%targetfilename out.txt\n";

// Values a received description may hold in a name or a text.
const std::vector<std::string> kHostile = {
    "it's",
    "say \"hi\"",
    "a]b[c",
    "x\r\nGO\r\nDROP TABLE victim1",
    "back\\slash\\",
    "a; DROP TABLE victim1; --",
    "a int); DROP TABLE victim1; CREATE TABLE z (b",
    "$(touch pwned)",
    "`touch pwned`",
    "\"; import os; os.system('touch pwned'); x = \"",
    "'; touch pwned; '",
    "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80",
    "tab\there \x01\x1b[31m\x7f",
    "{desc.databasefile} %Call x:",
    "</r><injected/>&amp;",
};

// Bytes of `text` in lower-case hexadecimal.
std::string hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Standard output of `command` (run by the shell on a path this test wrote).
std::string run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int raw = pclose(p);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

class EscapeForms : public tpltest::TemplateTest {
protected:
    // Generates `body` with the description's text set to `value`.
    Generated withValue(const std::string& value, const std::string& body) {
        describe({{"ID", DATATYPE_INTEGER, 9}});
        FILEDESC_SetDescription(desc_, value.c_str());
        return generate(kHead + body);
    }
    std::string pwned() const { return dir_.path() + "/pwned"; }
};

TEST_F(EscapeForms, SqlIdentifierAndLiteralComeBackWholeFromSqlite) {
    for (const std::string& v : kHostile) {
        SCOPED_TRACE(v);
        Generated g = withValue(
            v,
            "CREATE TABLE {desc.description:sqlident} ({desc.description:sqlident} TEXT);\n"
            "INSERT INTO {desc.description:sqlident} VALUES ({desc.description:sqlstr});\n"
            "SELECT count(*), hex(name) FROM sqlite_master;\n"
            "SELECT hex({desc.description:sqlident}) FROM {desc.description:sqlident};\n");
        ASSERT_EQ(g.rc, 0) << panel();
        // Python's binding of SQLite reads the script with its line ends as they are.
        const std::string script =
            dir_.write("run.py",
                       "import sqlite3, sys\n"
                       "db = sqlite3.connect(':memory:')\n"
                       "lines = open(sys.argv[1], newline='').read().split('SELECT')\n"
                       "db.executescript(lines[0])\n"
                       "for q in lines[1:]:\n"
                       "    for row in db.execute('SELECT' + q):\n"
                       "        print('|'.join(str(x) for x in row))\n");
        int status = -1;
        const std::string out = run("python3 '" + script + "' '" + g.path + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << out << g.text;
        std::string upper = hex(v);
        for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(out, "1|" + upper + "\n" + upper + "\n") << g.text;
    }
}

TEST_F(EscapeForms, PythonStringComesBackWholeAndRunsNothing) {
    for (const std::string& v : kHostile) {
        SCOPED_TRACE(v);
        Generated g = withValue(v,
                                "x = {desc.description:pystr}\n"
                                "print(x.encode('utf-8', 'surrogateescape').hex())\n");
        ASSERT_EQ(g.rc, 0) << panel();
        int status = -1;
        const std::string out =
            run("cd '" + dir_.path() + "' && python3 '" + g.path + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << out << g.text;
        EXPECT_EQ(out, hex(v) + "\n") << g.text;
    }
    // Bytes that are no UTF-8 come back too.
    Generated g = withValue("\xff\xfe\x80",
                            "print({desc.description:pystr}.encode('utf-8', "
                            "'surrogateescape').hex())\n");
    EXPECT_EQ(run("python3 '" + g.path + "' 2>&1"), "fffe80\n") << g.text;
    EXPECT_FALSE(std::ifstream(pwned()).good());
}

TEST_F(EscapeForms, ShellWordIsOneArgumentAndRunsNothing) {
    for (const std::string& v : kHostile) {
        SCOPED_TRACE(v);
        // "%" would start an inline call: the format comes through %keep.
        Generated g = withValue(v,
                                "%keep f='%s|'\n"
                                "printf \"$f\" {desc.description:shword} | od -An -tx1 | "
                                "tr -d ' \\n'\n");
        ASSERT_EQ(g.rc, 0) << panel();
        int status = -1;
        const std::string out =
            run("cd '" + dir_.path() + "' && bash '" + g.path + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << out << g.text;
        EXPECT_EQ(out, hex(v + "|")) << g.text;
    }
    EXPECT_FALSE(std::ifstream(pwned()).good());
}

TEST_F(EscapeForms, XmlTextIsOneTextNodeAndMarkdownCellStaysOneCell) {
    for (const std::string& v : kHostile) {
        SCOPED_TRACE(v);
        Generated g = withValue(v,
                                "<r a=\"{desc.description:xml}\" b='{desc.description:xml}'>"
                                "{desc.description:xml}</r>\n");
        ASSERT_EQ(g.rc, 0) << panel();
        const std::string check =
            dir_.write("check.py",
                       "import sys, xml.etree.ElementTree as ET\n"
                       "r = ET.parse(sys.argv[1]).getroot()\n"
                       "print(len(list(r)), sorted(r.attrib), r.text.encode().hex(), "
                       "r.attrib['a'] == r.attrib['b'])\n");
        // What XML keeps of the value: line ends as LF, the characters it cannot hold as U+FFFD.
        std::string kept;
        for (size_t i = 0; i < v.size(); ++i) {
            const auto c = static_cast<unsigned char>(v[i]);
            if (c == '\r' && i + 1 < v.size() && v[i + 1] == '\n') continue;
            if (c == '\r' || c == '\n')
                kept += '\n';
            else if ((c < 0x20 && c != '\t') || c == 0x7F)
                kept += "\xef\xbf\xbd";
            else
                kept += v[i];
        }
        EXPECT_EQ(run("python3 '" + check + "' '" + g.path + "' 2>&1"),
                  "0 ['a', 'b'] " + hex(kept) + " True\n")
            << g.text;
        // A Markdown table cell: one line, no "|" that is not escaped.
        g = withValue(v, "| {desc.description:md} |\n");
        ASSERT_EQ(g.rc, 0);
        EXPECT_EQ(g.text.find('\n'), g.text.size() - 1) << g.text;
        for (size_t at = g.text.find('|', 1); at + 2 < g.text.size(); at = g.text.find('|', at + 1))
            EXPECT_EQ(g.text[at - 1], '\\') << g.text;
    }
}

TEST_F(EscapeForms, LineLengthFormsAndUnknownSuffixes) {
    Generated g = withValue("a\r\nb\tc",
                            "-- {desc.description:line}\n{desc.description:len} "
                            "{table.name:LEN} {table.name:sqlIdent}\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_EQ(g.text, "-- a  b c\n6 6 \"CLIENT\"\n");
    // A suffix that is no form keeps its old meaning: the whole name is looked up.
    g = generate(kHead + "% x = 1\n[{x:nosuchform}]\n");
    EXPECT_EQ(g.text, "[]\n");
    EXPECT_TRUE(Contains(panel(), "Unknown identifier 'x:nosuchform'"));
}

// A value that looks like template text is never read again as template text, even when it
// comes through a reference inside an inline call's arguments.
TEST_F(EscapeForms, ValuesAreNeverReadAgainAsTemplateText) {
    Generated g = withValue("{desc.databasefile}%Echo leak:",
                            "%writeln x %Echo {desc.description}: after {desc.description}\n%exit\n"
                            "%function Echo v\n%begin\n%return [{v}]\n%end\n");
    ASSERT_EQ(g.rc, 0) << panel();
    EXPECT_FALSE(Contains(g.text, "leak]")) << g.text;
    EXPECT_TRUE(Contains(g.text, " after {desc.databasefile}%Echo leak:\n")) << g.text;
    // A directive call's arguments are not read again when they are received either.
    g = withValue("{desc.typestructfile}",
                  "%Echo2 {desc.description}\n%exit\n"
                  "%function Echo2 v\n%begin\n[{v}]\n%end\n");
    EXPECT_EQ(g.text, "[]\n") << panel();
}

}  // namespace
