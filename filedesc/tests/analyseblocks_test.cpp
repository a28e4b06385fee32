// The values of an analysis judged by workers, in blocks of rows added up in the file's order,
// give the description and the report one thread gives, wherever the blocks end; a stop
// request ends the reading at the same row. The file is made of Debian's Ubuntu release table
// (rows of 6 to 9 fields, dates in two layouts, decimals) with a last value quoted over two
// lines holding the delimiter, doubled quotes and tzdata's country names (Curaçao, Côte
// d'Ivoire, Åland Islands).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "filedesc/analyse.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/uiport_testing.h"

namespace {

using fdtest::DescPtr;

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

// Ubuntu's releases, ';'-separated, each with a note quoted over two lines; `repeat` times.
std::string releasesText(int repeat) {
    const std::vector<std::string> releases = linesOf("/usr/share/distro-info/ubuntu.csv");
    const std::vector<std::string> countries = linesOf("/usr/share/zoneinfo/iso3166.tab");
    std::string text;
    for (char c : releases[0]) text += c == ',' ? ';' : c;
    text += ";note\r\n";
    for (int r = 0; r < repeat; ++r) {
        for (size_t i = 1; i < releases.size(); ++i) {
            std::string row;
            for (char c : releases[i]) row += c == ',' ? ';' : c;
            if (i > 10) {
                // The later releases' creation day written jj/mm/aaaa: the column's first
                // layout, aaaa-mm-jj, is the one that counts.
                const size_t at = row.find(';', row.find(';', row.find(';') + 1) + 1) + 1;
                const std::string day = row.substr(at, 10);
                row.replace(at, 10,
                            day.substr(8, 2) + "/" + day.substr(5, 2) + "/" + day.substr(0, 4));
            }
            const std::string& country =
                countries[(i * 37 + static_cast<size_t>(r)) % countries.size()];
            const std::string name = country.substr(country.find('\t') + 1);
            text += row + ";\"" + name + " ;\r\n« " + row.substr(0, row.find(';')) + " » \"\"" +
                    name.substr(0, 3) + "\"\"\"\r\n";
        }
    }
    return text;
}

// Everything an analysis gives: each column's name, width, proposed type and statistics, and
// the report.
std::string summary(const FileDesc* desc, const FILEANALYSE_REPORT& report) {
    std::ostringstream out;
    for (const ColumnOwner& owner : desc->columns) {
        const ColumnDesc& c = *owner;
        const TypeCible& t = c.typeCible;
        out << c.code << " w" << c.WidthInChars << " t" << t.type << " " << t.fmtDate << "|"
            << t.fmtDateTime << " " << t.fmtEntier.taille << "," << t.fmtDecimal.partieEntiere
            << "," << t.fmtDecimal.partieDecimale << "," << t.fmtChaineFixe.taille << ","
            << t.fmtChaineVar.tailleMax << " [" << (c.message ? c.message : "") << "]";
        if (const COL_TYPE_STATISTICS* s = c.stats) {
            for (int n : {s->countIntegersZeroPrefixed, s->countIntegersNonZeroPrefixed,
                          s->countVariableStrings, s->countDecimals, s->countDecimalsWithPoint,
                          s->countDecimalsWithComma, s->countDecimalsWithPointSignPostfix,
                          s->countDecimalsWithCommaSignPostfix, s->countDates, s->countDatetimes,
                          s->minLength, s->maxLength, s->maxLengthForIntegerPart,
                          s->maxLengthForDecimalPart})
                out << " " << n;
            out << " " << s->dateFormat << "|" << s->datetimeFormat;
        }
        out << "\n";
    }
    out << report.columns << " " << report.oddCount << " " << report.rowsRead << " " << report.rows
        << " " << report.longLines << " " << report.requotedAt << " " << report.wholeFile
        << report.stopped << "\n";
    for (const FILEANALYSE_ODDROW& odd : report.oddRows)
        out << odd.line << ":" << odd.fields << " ";
    for (const std::string& r : report.renamed) out << r << "\n";
    for (const FILEANALYSE_NOTICE& n : report.notices) out << n.colour << n.text;
    return out.str();
}

class AnalyseBlocks : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override { morvex::setUiPort(nullptr); }

    // The analysis of `path` under `rules` by `workers` in blocks of `blockBytes`: a new
    // description under the detected dialect, or a ';'-separated one that unquotes.
    std::string analyse(const std::string& path, int rules, int workers, size_t blockBytes,
                        int maxRows = FILEDESC_ANALYSE_ALL_ROWS) {
        DescPtr desc;
        if (rules & FILEANALYSE_DETECTED) {
            const DATAFILE_SHAPE shape = FILEANALYSE_DetectDialect(FILEANALYSE_ReadSample(path));
            desc.reset(FILEANALYSE_NewDescription(path, &shape, rules));
        } else {
            desc.reset(FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
            desc->FirstLineIsHeader = 1;
            desc->Unquote = 1;
            desc->QuoteChar = '"';
        }
        FILEANALYSE_OPTIONS options = FILEDESC_AnalyseOptions(maxRows, 1, rules);
        options.workers = workers;
        options.blockBytes = blockBytes;
        FILEANALYSE_REPORT report;
        if (FYK_RunFileAnalyse(nullptr, desc.get(), path.c_str(), options, &report) != 0)
            return "échec";
        return summary(desc.get(), report);
    }

    morvex::ScriptedUiPort port;
    fdtest::TempDir dir;
};

TEST_F(AnalyseBlocks, WorkersGiveWhatOneThreadGivesWhereverTheBlocksEnd) {
    const std::string path = dir.file("releases.csv");
    const std::string text = releasesText(1);
    fdtest::writeAll(path, text);
    for (int rules : {FILEANALYSE_SPECIFIED, FILEANALYSE_DETECTED}) {
        SCOPED_TRACE(rules);
        const std::string alone = analyse(path, rules, 0, 0);
        // Dates, decimals and the notes over two lines were read as such.
        ASSERT_NE(alone.find("aaaa-mm-jj"), std::string::npos) << alone;
        ASSERT_NE(alone.find(" 44 "), std::string::npos) << alone;
        // Blocks of one row, of every size up to the whole file, and one block.
        for (int workers : {1, 2}) {
            for (size_t bytes = 1; bytes <= 2 * text.size(); bytes += bytes < 64 ? 1 : 61)
                ASSERT_EQ(analyse(path, rules, workers, bytes), alone)
                    << workers << " workers, blocks of " << bytes << " bytes";
        }
    }
}

TEST_F(AnalyseBlocks, AStopRequestEndsTheReadingAtTheSameRowAsOneThread) {
    const std::string path = dir.file("releases.csv");
    fdtest::writeAll(path, releasesText(100));  // 4 400 rows, blocks of about 20 rows
    port.stopAfterEvents = 6;                   // rows 100 to 500
    const std::string alone = analyse(path, FILEANALYSE_DETECTED, 0, 0);
    port.events.clear();
    const std::string two = analyse(path, FILEANALYSE_DETECTED, 2, 2048);
    EXPECT_EQ(two, alone);
    // The 499 rows after the header, each counted in its column's statistics, then the stop.
    EXPECT_NE(two.find(" 500 499 "), std::string::npos) << two;
    EXPECT_NE(two.find("01\n"), std::string::npos) << two;  // stopped, not the whole file
    ASSERT_FALSE(port.events.empty());
    EXPECT_EQ(port.events.back().event, TASK_EVENT_INTERRUPTED);
}

}  // namespace
