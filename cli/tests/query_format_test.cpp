// query --format: the result sets of a query in the typed shapes preview --format writes,
// numbers as the database typed them, read back by other readers.
#include <gtest/gtest.h>

#include "cli/tests/cli_fixture.h"

namespace {

using namespace morvex::testing;

class QueryFormats : public CliFixture {};

// What each shape makes of the values that trip writers up: separators and quotes in a text,
// NULL beside an empty text, reals out of JSON's range, a BLOB, a text of digits that stays a
// text, and a second result set of other columns.
TEST_F(QueryFormats, EachShapeOfTheTrickyValues) {
    // On standard input, out of the shell's quotes.
    const std::string sql =
        "select 1 as n, 2.5 as r, 'a,\"b' as t, null as z, '' as e, 9e999 as inf, "
        "x'00ff' as b, '007' as d; select 'x' as autre";
    const struct {
        const char* options;
        int status;
        const char* out;
    } cases[] = {
        {"--format csv", 0,
         "n,r,t,z,e,inf,b,d\n1,2.5,\"a,\"\"b\",,\"\",inf,00FF,007\n\nautre\nx\n"},
        {"--format tsv --null '\\N'", 0,
         "n\tr\tt\tz\te\tinf\tb\td\n1\t2.5\t\"a,\"\"b\"\t\\N\t\"\"\tinf\t00FF\t007\n\nautre\nx\n"},
        {"--format csv --delimiter ';'", 0,
         "n;r;t;z;e;inf;b;d\n1;2.5;\"a,\"\"b\";;\"\";inf;00FF;007\n\nautre\nx\n"},
        {"--format json", 0,
         "[{\"n\":1,\"r\":2.5,\"t\":\"a,\\\"b\",\"z\":null,\"e\":\"\",\"inf\":null,\"b\":\"00FF\","
         "\"d\":\"007\"},{\"autre\":\"x\"}]\n"},
        {"--format ndjson", 0,
         "{\"n\":1,\"r\":2.5,\"t\":\"a,\\\"b\",\"z\":null,\"e\":\"\",\"inf\":null,\"b\":\"00FF\","
         "\"d\":\"007\"}\n{\"autre\":\"x\"}\n"},
        {"--format xml", 2, ""},
        {"--format csv --csv f.csv", 2, ""},
        {"--null x", 2, ""},
        {"--format csv --delimiter '\"'", 2, ""},
    };
    for (const auto& c : cases) {
        RunResult r = run(std::string("query :memory: ") + c.options, sql);
        EXPECT_EQ(r.status, c.status) << c.options << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.options;
    }
    // No row: an empty JSON array, no CSV line.
    EXPECT_EQ(run("query :memory: 'select 1 as a where 0' --format json").out, "[]\n");
    EXPECT_EQ(run("query :memory: 'select 1 as a where 0' --format csv").out, "");
}

// Debian's table of its releases loaded, then queried in every shape: Python's csv and json
// modules read back, value for value and type for type, what Python's own SQLite binding reads
// from the table.
TEST_F(QueryFormats, ReadBackAsTheDatabaseHoldsThem) {
    std::filesystem::copy_file("/usr/share/distro-info/debian.csv", dir_ / "debian.csv");
    ASSERT_EQ(run("analyse -q debian.csv -o d.fyk").status, 0);
    ASSERT_EQ(run("load -q d.fyk d.db --table releases").status, 0);
    const char* sql = "'select * from releases order by FileRowID'";
    for (const char* format : {"csv", "tsv", "json", "ndjson"}) {
        RunResult r = run(std::string("query d.db ") + sql + " --format " + format);
        ASSERT_EQ(r.status, 0) << format << r.err;
        writeFile(dir_ / (std::string("out.") + format), r.out);
    }
    writeFile(dir_ / "check.py", R"PY(
import csv, json, sqlite3
db = sqlite3.connect("d.db")
cur = db.execute("select * from releases order by FileRowID")
names = [d[0] for d in cur.description]
rows = cur.fetchall()
assert len(rows) > 20, len(rows)
assert any(v is None for row in rows for v in row), "no NULL in the table"
assert any(isinstance(v, float) for row in rows for v in row), "no real in the table"

def text(v):
    if v is None: return ""
    if isinstance(v, float): return repr(v)
    return str(v)

for name, delimiter in (("out.csv", ","), ("out.tsv", "\t")):
    got = list(csv.reader(open(name, newline=""), delimiter=delimiter))
    assert got[0] == names, (name, got[0], names)
    assert len(got) == len(rows) + 1, (name, len(got))
    for g, row in zip(got[1:], rows):
        assert g == [text(v) for v in row], (name, g, row)

def same(a, b):
    return type(a) == type(b) and a == b

objects = json.load(open("out.json"))
lines = [json.loads(line) for line in open("out.ndjson")]
for shape in (objects, lines):
    assert len(shape) == len(rows), len(shape)
    for o, row in zip(shape, rows):
        assert list(o.keys()) == names, o
        for v, w in zip(o.values(), row):
            assert same(v, w), (v, w, o)
print(len(rows))
)PY");
    const std::string script =
        "cd '" + dir_.string() + "' && python3 check.py > py.txt 2>&1";
    EXPECT_EQ(system(script.c_str()), 0) << readFile(dir_ / "py.txt");
}

}  // namespace
