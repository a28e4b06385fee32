#include "datafile/detect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/testing/tempdir.h"

namespace {

TEST(DetectEncoding, LetsTheByteOrderMarkDecideThenUtf8ThenWindows1252) {
    struct Case {
        std::string sample;
        const char* expected;
    };
    const Case cases[] = {
        {"\xFF\xFE"
         "a\0",
         "UTF-16LE"},
        {"\xFE\xFF\0a", "UTF-16BE"},
        {"\xEF\xBB\xBF"
         "abc",
         "UTF-8"},
        {"plain ascii;1\r\n", "UTF-8"},
        {"caf\xC3\xA9;\xE2\x82\xAC", "UTF-8"},
        {"caf\xE9;\x80", "WINDOWS-1252"},
        {"over\xC0\xAFlong", "WINDOWS-1252"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(DATAFILE_DetectEncoding(c.sample), c.expected) << c.sample;
}

// A sample as long as the sample size may stop inside a character the file goes on with; a
// shorter one is the whole file, and a character cut by its end is a broken last line.
TEST(DetectEncoding, ACharacterCutByTheEndIsBrokenUnlessTheSampleWasCut) {
    std::string lines;
    while (lines.size() < DATAFILE_SAMPLE_SIZE) lines += "Jos\xC3\xA9;caf\xC3\xA9\n";
    std::string full = lines.substr(0, DATAFILE_SAMPLE_SIZE - 1) + "\xE2";
    std::vector<int> invalid;
    EXPECT_STREQ(DATAFILE_DetectEncoding(full, &invalid), "UTF-8");
    EXPECT_TRUE(invalid.empty());
    // The same last line in a short file: broken, and named.
    const std::string shortFile = "Jos\xC3\xA9\nRen\xC3\xA9\nAndr\xC3\xA9\nLo\xC3\xAF\nfin \xE2\x82";
    EXPECT_STREQ(DATAFILE_DetectEncoding(shortFile, &invalid), "UTF-8");
    EXPECT_EQ(invalid, std::vector<int>{5});
    // Alone, it says nothing for UTF-8.
    EXPECT_STREQ(DATAFILE_DetectEncoding("cut at the end \xE2\x82", &invalid), "WINDOWS-1252");
}

TEST(DetectEncoding, TakesUtf8WithAFewBrokenLinesAndNamesThem) {
    std::string many;
    for (int i = 0; i < 8; ++i) many += "Jos\xC3\xA9;" + std::to_string(i) + "\r\n";
    std::vector<int> invalid;
    // One broken line among eight in UTF-8: UTF-8, line 9 named.
    EXPECT_STREQ(DATAFILE_DetectEncoding(many + "Ren\xE9;8\r\n", &invalid), "UTF-8");
    EXPECT_EQ(invalid, std::vector<int>{9});
    // Three among eight (more than one in four): a single-byte file with a few lucky pairs.
    EXPECT_STREQ(DATAFILE_DetectEncoding(many + "\xE9\n\xE9\n\xE9\n", &invalid), "WINDOWS-1252");
    EXPECT_TRUE(invalid.empty());
    // No line in UTF-8 beyond ASCII: nothing speaks for UTF-8.
    EXPECT_STREQ(DATAFILE_DetectEncoding("a;b\r\n\xE9t\xE9;1\r\n", &invalid), "WINDOWS-1252");
}

TEST(DetectQuote, FindsTheCharacterThatEnclosesWholeFields) {
    struct Case {
        std::string text;
        const char* delimiter;
        char expected;
    };
    const Case cases[] = {
        {"id,nom\n1,\"Dupont, Jean\"\n", ",", '"'},
        // An inch mark or a quote inside a field encloses nothing.
        {"id,t\n1,12\" pipe\n2,a\"b\"\n", ",", '\0'},
        {"id;t\n1;'a'\n2;'b'\n", ";", '\''},
        // An apostrophe around one value among many is a name, not quoting.
        {"n;t\n1;'x'\n2;O'Brien\n3;b\n4;c\n5;d\n", ";", '\0'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DATAFILE_DetectQuote(c.text, "\n", c.delimiter), c.expected) << c.text;
    // The whole guess over a file's first bytes.
    DATAFILE_SHAPE shape = DATAFILE_DetectShape("a|b\r\n\"x|y\"|2\r\n");
    EXPECT_EQ(shape.encoding, "UTF-8");
    EXPECT_EQ(shape.endOfLine, "\\r\\n");
    EXPECT_EQ(shape.delimiter, "|");
    EXPECT_EQ(shape.quote, '"');
}

TEST(DetectEndOfLine, TakesTheEndOfTheFirstLine) {
    EXPECT_STREQ(DATAFILE_DetectEndOfLine("a;b\r\nc\n"), "\\r\\n");
    EXPECT_STREQ(DATAFILE_DetectEndOfLine("a;b\nc\r\n"), "\\n");
    EXPECT_STREQ(DATAFILE_DetectEndOfLine("a;b\rc\r"), "\\r");
    EXPECT_EQ(DATAFILE_DetectEndOfLine("no line end"), nullptr);
}

TEST(DetectDelimiter, PicksTheMostConsistentSplitHonouringQuotes) {
    struct Case {
        std::string text;
        const char* eol;
        const char* expected;
    };
    const Case cases[] = {
        {"a;b;c\n1;2;3\n4;5;6\n", "\n", ";"},
        {"a,b,c\r\n1,2,3\r\n", "\r\n", ","},
        {"a\tb\n1\t2\n", "\n", "\\t"},
        {"a|b|c\n1|2,5|3\n4|5,1|6\n", "\n", "|"},
        // Commas inside quotes do not count: ";" splits every line the same way.
        {"\"x,y,z\";b\n\"1,2\";3\n\"4\";5\n", "\n", ";"},
        // A quoted line end does not end the line.
        {"a,b\n\"1\n2\",3\n", "\n", ","},
        // Equal consistency: ";" comes first.
        {"a;b,c\n", "\n", ";"},
        {"one column\nonly\n", "\n", nullptr},
    };
    for (const Case& c : cases) {
        const char* got = DATAFILE_DetectDelimiter(c.text, c.eol);
        if (!c.expected) {
            EXPECT_EQ(got, nullptr) << c.text;
        } else {
            ASSERT_NE(got, nullptr) << c.text;
            EXPECT_STREQ(got, c.expected) << c.text;
        }
    }
}

TEST(DetectSample, DecodesUtf16AndDropsTheMark) {
    std::string bytes(
        "\xFF\xFE"
        "a\0;\0b\0\r\0\n\0",
        12);
    EXPECT_EQ(DATAFILE_SampleToUtf8(bytes, "UTF-16LE"), "a;b\r\n");
    EXPECT_EQ(DATAFILE_SampleToUtf8("\xEF\xBB\xBFx", "UTF-8"), "x");
    EXPECT_EQ(DATAFILE_SampleToUtf8("\xE9", "WINDOWS-1252"), "\xC3\xA9");
    morvex::testing::TempDir dir("detect");
    std::string big(DATAFILE_SAMPLE_SIZE + 10, 'x');
    EXPECT_EQ(DATAFILE_ReadSample(dir.write("s", big).c_str()).size(), DATAFILE_SAMPLE_SIZE);
    EXPECT_TRUE(DATAFILE_ReadSample(dir.file("missing").c_str()).empty());
}

}  // namespace

TEST(DetectHeader, TellsNamesFromDataByWhatStandsBelowThem) {
    struct Case {
        std::string text;
        const char* delimiter;
        int expected;
    };
    const Case cases[] = {
        // Names over numbers and dates.
        {"id;montant;date\n1;12,5;2024-01-02\n2;3;2024-02-03\n", ";", 1},
        // Numbers only: the first row is data.
        {"1.5,2.25,3\n4.5,5.25,6\n7.5,8.25,9\n", ",", 0},
        // A code and its label: the first row is data.
        {"0;Inconnu\n1;Actif\n2;Radi\xC3\xA9\n", ";", 0},
        // The first row repeats a value: data all the same.
        {"0.00,0.00\n1.50,2.00\n", ",", 0},
        // Row names under an empty first name, as statistics packages write them.
        {"\"\",\"mpg\",\"cyl\"\n\"Mazda RX4\",21,6\n\"Datsun 710\",22.8,4\n", ",", 1},
        // Years over amounts: a whole number over decimals says nothing, the texts decide.
        {"pays,code,1990,1991\nAruba,ABW,54.2,55.1\nAndorre,AND,,60.3\n", ",", 1},
        // Years as names over whole numbers, beside a text over numbers.
        {"\"Name\",\"FIPS\",1929,1930,1931\n\"Alabama\",1,323,267,224\n\"Arizona\",4,600,520,429\n",
         ",", 1},
        // The same first row without a name: a row of data.
        {"1,1929,1930,1931\n2,323,267,224\n4,600,520,429\n", ",", 0},
        // Texts over texts of one length.
        {"pays;iso\nFrance;FR\nAllemagne;DE\nItalie;IT\n", ";", 1},
        // Texts only, unique names that come nowhere below: a header.
        {"nom;ville\nDupont;Paris\nMartin;Lyon\n", ";", 1},
        // Texts only, the first row's value comes again below: data.
        {"Paris;Dupont\nLyon;Martin\nParis;Durand\n", ";", 0},
        // One column of numbers, no delimiter.
        {"12\n15\n18\n", "", 0},
        {"total\n15\n18\n", "", 1},
        // Numbers over numbers written otherwise (exponents, signs): data.
        {"0\n-0\n1e-308\n1e308\n1.2e-005\n", "", 0},
        {"0;7\n-0;1e-5\n1e308;NaN\n", ";", 0},
        // Codes of one shape, one a line: the first is one of them (a gene's, a record's).
        {"ENSG00000215688000000000000000000\nENSG00000215689000000000000000000\n"
         "ENSG00000220823000000000000000000\nENSG00000242499000000000000000000\n",
         "", 0},
        {"A0001952\nN0001953\nA0001957\nA0001962\n", "", 0},
        // A name over codes of one shape is still a name.
        {"gene_id\nENSG00000215688\nENSG00000215689\nENSG00000220823\n", "", 1},
        {"id;ville\nAB12;Paris\nCD34;Lyon\nEF56;Nice\n", ";", 1},
        // A header in quotes over a line end is one record.
        {"\"nom\nlong\",n\nx,1\ny,2\n", ",", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DATAFILE_DetectHeader(c.text, "\n", c.delimiter, '"'), c.expected) << c.text;
}

TEST(DetectShape, RefusesBinaryAndReadsUtf16WithoutItsMark) {
    EXPECT_STREQ(DATAFILE_DetectBinary(std::string("\x1F\x8B\x08\x00rest", 8)), "gzip");
    EXPECT_STREQ(DATAFILE_DetectBinary(std::string("\x28\xB5\x2F\xFD", 4)), "zstd");
    std::string zeros = "a;b\n" + std::string(100, '\0') + "1;2\n";
    EXPECT_STREQ(DATAFILE_DetectBinary(zeros), "octets nuls");
    std::string packed;
    for (int i = 0; i < 400; ++i) packed += static_cast<char>((i * 37) % 256 | 1);
    EXPECT_STREQ(DATAFILE_DetectBinary(packed), "octets de contrôle");
    // A few zero bytes in a value are data, not a binary file.
    std::string text;
    for (int i = 0; i < 200; ++i) text += "ligne;" + std::to_string(i) + "\n";
    text += std::string("x\0y;1\n", 6);
    EXPECT_EQ(DATAFILE_DetectBinary(text), nullptr);

    std::string le;
    std::string be;
    for (char c : std::string("nom;ville\r\nDupont;Paris\r\nMartin;Lyon\r\n")) {
        le += c;
        le += '\0';
        be += '\0';
        be += c;
    }
    EXPECT_EQ(DATAFILE_DetectBinary(le), nullptr);
    DATAFILE_SHAPE shape = DATAFILE_DetectShape(le);
    EXPECT_EQ(shape.encoding, "UTF-16LE");
    EXPECT_EQ(shape.delimiter, ";");
    EXPECT_EQ(shape.header, 1);
    EXPECT_STREQ(DATAFILE_DetectEncoding(be), "UTF-16BE");
    EXPECT_EQ(DATAFILE_DetectShape(std::string("\x1F\x8B\x08", 3)).binary, "gzip");
}

TEST(DetectShape, LooksAtTheWholeSampleNotItsFirstLines) {
    // Quotes first used far down the file.
    std::string late = "pays,pib\n";
    for (int i = 0; i < 300; ++i) late += "Pays" + std::to_string(i) + "," + std::to_string(i) + "\n";
    late += "\"Congo, Dem. Rep.\",12\n";
    DATAFILE_SHAPE shape = DATAFILE_DetectShape(late);
    EXPECT_EQ(shape.delimiter, ",");
    EXPECT_EQ(shape.quote, '"');

    // Long quoted values over many lines, holding tabs: still commas.
    std::string longText = "id,texte,n\n";
    for (int r = 0; r < 40; ++r) {
        longText += std::to_string(r) + ",\"";
        for (int l = 0; l < 60; ++l) longText += "une ligne\tavec\tdes tabulations, et des virgules\n";
        longText += "\"," + std::to_string(r) + "\n";
    }
    shape = DATAFILE_DetectShape(longText);
    EXPECT_EQ(shape.delimiter, ",");
    EXPECT_EQ(shape.quote, '"');
    EXPECT_EQ(shape.header, 1);

    // Given answers are kept, the others guessed under them.
    DATAFILE_SHAPE_GIVEN given;
    given.delimiter = "|";
    given.header = 0;
    shape = DATAFILE_DetectShape("a|b\n1|2\n", given);
    EXPECT_EQ(shape.delimiter, "|");
    EXPECT_EQ(shape.header, 0);
    EXPECT_EQ(shape.encoding, "UTF-8");
}

TEST(DetectShape, TellsFixedWidthLinesRatherThanADelimiterByChance) {
    const std::string fixed =
        "00001DUPONT    Jean      19750312Paris          0001250,50O\n"
        "00002MARTIN    Paul      19800101Lyon           0000300,00N\n"
        "00003DURAND    Marie     19911231Marseille      0012000,75O\n"
        "00004PETIT     Luc       20000229Lille          0000001,10N\n";
    DATAFILE_SHAPE shape = DATAFILE_DetectShape(fixed);
    EXPECT_TRUE(shape.delimiter.empty());
    EXPECT_NE(shape.fixedWidth.find("4 lignes de 59 caractères"), std::string::npos)
        << shape.fixedWidth;
    // A delimited file whose lines happen to have one length stays delimited.
    const std::string csv = "id;nom;ville\n1;Dupont;Paris\n2;Martin;Lyons\n3;Durand;Arles\n";
    shape = DATAFILE_DetectShape(csv);
    EXPECT_EQ(shape.delimiter, ";");
    EXPECT_TRUE(shape.fixedWidth.empty());
    // As published (a statistics package's monthly series, a generator's test values): numbers
    // written with as many digits under a header of other widths, two columns of one width.
    // The delimiter, as many in every line, with nothing padded between, makes them delimited.
    const struct {
        std::string text;
        const char* delimiter;  // "" : fixed width
    } cases[] = {
        {"\"YEAR\",\"JAN\",\"FEB\",\"MAR\"\n1950,23.110,24.200,25.370\n1951,24.190,25.280,25.600\n"
         "1952,24.520,26.210,26.370\n1953,24.150,26.340,27.360\n",
         ","},
        {"seed, 0xdeadbeaf\n0, 0xc816921f\n1, 0xb3623c6d\n2, 0x5fa391bb\n3, 0x94d6c5ea\n", ","},
        {"ID\tA\tB\n0001\t12.50\t3.25\n0002\t11.75\t4.00\n0003\t10.00\t5.50\n", "\\t"},
        // A fixed-width export whose text column holds a list with as many commas in every line:
        // the blanks padding the other columns stand between them.
        {"chr1                   0248956422Achr1     P1,CM000663.2,NC_000001.11      \n"
         "chr2                   0242193529Achr2     P2,CM000664.2,NC_000002.12      \n"
         "chr10                  0133797422Achr10    P10,CM000672.2,NC_000010.11     \n"
         "chrX                   0156040895Achr23    P23,CM000685.2,NC_000023.11     \n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        shape = DATAFILE_DetectShape(c.text);
        EXPECT_EQ(shape.delimiter, c.delimiter);
        EXPECT_EQ(shape.fixedWidth.empty(), c.delimiter[0] != '\0') << shape.fixedWidth;
    }
}

TEST(DetectShape, LinesNoDelimiterSplitsAreReadWholeWithACharacterTheyDoNotHold) {
    const struct {
        const char* text;
        const char* whole;  // wholeLineDelimiter
    } cases[] = {
        {"Remarques\nRien\nFin\n", ";"},
        {"Remarques\nVoir page 3; puis 4\nRien\nA; B; C\nFin\n", "\\t"},
        {"a; b\nc\td\ne|f\ng\n", ","},
        {"a;\tb|c,d\ne\nf\n", "#0x1F"},
        {"a;b\n1;2\n3;4\n", ""},  // a delimiter found: nothing to add
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const DATAFILE_SHAPE shape = DATAFILE_DetectShape(c.text);
        EXPECT_EQ(shape.wholeLineDelimiter, c.whole);
        EXPECT_EQ(shape.delimiter.empty(), *c.whole != '\0');
        if (*c.whole) {
            const std::string bytes = DATAFILE_NotationBytes(c.whole, 8);
            ASSERT_EQ(bytes.size(), 1u);
            EXPECT_EQ(std::string(c.text).find(bytes[0]), std::string::npos);
        }
    }
    // Given a delimiter, or fixed-width lines: none.
    DATAFILE_SHAPE_GIVEN given;
    given.delimiter = ";";
    EXPECT_EQ(DATAFILE_DetectShape("a; b\nc\n", given).wholeLineDelimiter, "");
}
