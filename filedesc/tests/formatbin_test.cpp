#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "filedesc/filedesc.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

using namespace std::string_literals;

namespace {

using fdtest::DescPtr;
using fdtest::makeColumn;
using fdtest::readFile;
using fdtest::TempDir;
using fdtest::writeAll;

int32_t intAt(const std::string& bytes, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[off + i])) << (8 * i);
    return static_cast<int32_t>(v);
}

std::string textAt(const std::string& bytes, size_t off) {
    return std::string(bytes.c_str() + off);
}

DescPtr twoColumns() {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc a = makeColumn("CODE_A", 7, DATATYPE_DECIMAL);
    snprintf(a.Description, sizeof a.Description, "Montant");
    a.typeCible.fmtEntier.taille = 3;
    a.typeCible.fmtDecimal = {10, 2};
    snprintf(a.typeCible.fmtDate, sizeof a.typeCible.fmtDate, "jj/mm/aaaa");
    snprintf(a.typeCible.fmtDateTime, sizeof a.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
    a.typeCible.fmtChaineFixe.taille = 13;
    a.typeCible.fmtChaineVar.tailleMax = 14;
    a.IgnoreColumn = 1;
    a.FieldCannotBeNull = 1;
    a.protectedField = 1;
    a.DelimCharStart = '"';
    a.DelimCharEnd = '\xFF';
    ColumnDesc b = makeColumn("1bad", -2, DATATYPE_VARIABLECHAR);  // gets a warning
    FILEDESC_AjouterColonne(d.get(), &a);
    FILEDESC_AjouterColonne(d.get(), &b);
    return d;
}

TEST(FormatBin, WritesLittleEndianFieldsAtTheirOffsets) {
    TempDir dir;
    DescPtr d = twoColumns();
    std::string path = dir.file("cols.for");
    morvex::TraceCapture capture;
    ASSERT_EQ(EnregistrerFormat(d.get(), path.c_str()), 0);
    EXPECT_EQ(capture.text(),
              "\n[EnregistrerFormat] : Enregistrement des colonnes dans le fichier [" + path +
                  "]\n[EnregistrerFormat] : Ecriture de la colonne n°1"
                  "\n[EnregistrerFormat] : Ecriture de la colonne n°2");
    std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 2u * FORMATBIN_RECORD_SIZE);
    const size_t r2 = FORMATBIN_RECORD_SIZE;
    // Offset and value of every 32-bit field: position, the message pointer, hasWarning, width,
    // stats pointer, type, integer size, decimal parts, fixed and variable sizes, the three
    // flags, then the two trailing words; the second record after the first.
    const std::pair<size_t, int32_t> ints[] = {
        {0, 1},          {1288, 0},      {1292, 0},
        {1300, 7},       {1304, 0},      {1308, DATATYPE_DECIMAL},
        {1312, 3},       {1316, 10},     {1320, 2},
        {1460, 13},      {1464, 14},     {1468, 1},
        {1472, 1},       {1476, 1},      {1484, 1},
        {1488, 7},       {r2 + 0, 2},    {r2 + 1292, 1},
        {r2 + 1300, -2}, {r2 + 1484, 8}, {r2 + 1488, 5},
    };
    for (const auto& [offset, value] : ints) EXPECT_EQ(intAt(bytes, offset), value) << offset;
    EXPECT_EQ(textAt(bytes, 4), "CODE_A");
    EXPECT_EQ(textAt(bytes, 261), "Montant");
    EXPECT_EQ(textAt(bytes, 1332), "jj/mm/aaaa");
    EXPECT_EQ(textAt(bytes, 1396), "aaaa-mm-jj HH:MM:SS");
    EXPECT_EQ(bytes[1480], '"');
    EXPECT_EQ(bytes[1481], '\xFF');
    EXPECT_EQ(textAt(bytes, r2 + 4), "1bad");
}

TEST(FormatBin, ReadsBackWhatItWroteAndRefreshesTheResultView) {
    struct RecordingPort : morvex::HeadlessUiPort {
        int resultViewRefreshes = 0;
        void refresh(morvex::UiRefresh what) override {
            if (what == morvex::UiRefresh::ResultView) ++resultViewRefreshes;
        }
    } port;
    TempDir dir;
    DescPtr d = twoColumns();
    std::string path = dir.file("cols.for");
    morvex::TraceCapture capture;
    ASSERT_EQ(EnregistrerFormat(d.get(), path.c_str()), 0);
    DescPtr l(FILEDESC_CreateFileDesc("Q", nullptr, 1, nullptr, nullptr));
    morvex::setUiPort(&port);
    EXPECT_EQ(ChargerFormat(l.get(), path.c_str()), 0);
    morvex::setUiPort(nullptr);
    EXPECT_EQ(port.resultViewRefreshes, 1);
    ASSERT_EQ(static_cast<int>(l->columns.size()), 2);
    ColumnDesc* a = FILEDESC_SearchColumnByPos(l.get(), 1);
    ColumnDesc* b = FILEDESC_SearchColumnByPos(l.get(), 2);
    EXPECT_STREQ(a->code, "CODE_A");
    EXPECT_STREQ(a->Description, "Montant");
    EXPECT_EQ(a->typeCible.fmtDecimal.partieEntiere, 10);
    EXPECT_STREQ(a->typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
    EXPECT_EQ(a->DelimCharEnd, '\xFF');
    EXPECT_EQ(a->message, nullptr);
    EXPECT_EQ(a->stats, nullptr);
    EXPECT_STREQ(b->code, "1bad");
    EXPECT_EQ(b->hasWarning, 1);
    ASSERT_NE(b->message, nullptr);  // validated on the way in
}

TEST(FormatBin, KeepsOnlyWholeRecordsAndCutsUnterminatedTexts) {
    TempDir dir;
    std::string rec(FORMATBIN_RECORD_SIZE, 'A');  // no terminator anywhere
    for (size_t off : {0u, 1292u, 1296u, 1300u, 1308u, 1460u, 1464u, 1484u, 1488u}) {
        rec.replace(off, 4, std::string("\x01\x00\x00\x00", 4));
    }
    std::string bytes = rec + rec + rec.substr(0, 1000);
    std::string path = dir.file("odd.for");
    writeAll(path, bytes);
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    morvex::TraceCapture capture;
    ASSERT_EQ(ChargerFormat(d.get(), path.c_str()), 0);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 2);
    ColumnDesc* c = FILEDESC_SearchColumnByPos(d.get(), 1);
    EXPECT_EQ(strlen(c->code), 256u);
    EXPECT_EQ(strlen(c->Description), 1024u);
    EXPECT_EQ(strlen(c->typeCible.fmtDate), 63u);
    EXPECT_EQ(strlen(c->typeCible.fmtDateTime), 63u);
}

TEST(FormatBin, RefusesMissingFilesAndColumnLists) {
    TempDir dir;
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    EXPECT_EQ(ChargerFormat(d.get(), dir.file("absent.for").c_str()), 1);
    ColumnDesc a = makeColumn("A", 1);
    FILEDESC_AjouterColonne(d.get(), &a);
    {
        morvex::TraceCapture capture;
        EXPECT_EQ(EnregistrerFormat(d.get(), dir.file("no/dir.bin").c_str()), 1);
        EXPECT_NE(capture.text().find("\n[EnregistrerFormat] : Erreur a l'ouverture du fichier"),
                  std::string::npos);
    }
    // A description without columns is refused; nothing is written.
    FILEDESC_DetruireListe(d.get());
    EXPECT_EQ(ChargerFormat(d.get(), dir.file("x.for").c_str()), 1);
    morvex::TraceCapture capture;
    EXPECT_EQ(EnregistrerFormat(d.get(), dir.file("x.for").c_str()), 1);
    EXPECT_EQ(DEBUG_SavePadding(d.get(), dir.file("x.bin").c_str()), 1);
    EXPECT_EQ(capture.text(),
              "\n[EnregistrerFormat] : Le format ne contient aucune colonne"
              "\n[DEBUG_SavePadding] : Le format ne contient aucune colonne");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.for")));
}

TEST(FormatBin, DebugPaddingWritesFourBytesPerColumnInTheLogsDirectory) {
    char out[64];
    ASSERT_EQ(FILEDESC_DebugFormatBinPath("/var/log/morvex/", out, sizeof out), 0);
    EXPECT_STREQ(out, "/var/log/morvex/MorvexFylatek.DebugFormatBin.bin");
    ASSERT_EQ(FILEDESC_DebugPaddingPath("logs", out, sizeof out), 0);
    EXPECT_STREQ(out, "logs/MorvexFylatek.DebugPadding.bin");
    char small[8];
    ASSERT_EQ(FILEDESC_DebugPaddingPath("logs", small, sizeof small), 0);
    EXPECT_STREQ(small, "logs/Mo");
    EXPECT_EQ(FILEDESC_DebugPaddingPath(nullptr, out, sizeof out), 1);

    TempDir dir;
    DescPtr d = twoColumns();
    char path[512];
    ASSERT_EQ(FILEDESC_DebugPaddingPath(dir.path().c_str(), path, sizeof path), 0);
    morvex::TraceCapture capture;
    ASSERT_EQ(DEBUG_SavePadding(d.get(), path), 0);
    EXPECT_EQ(capture.text(),
              "\n[DEBUG_SavePadding] : Enregistrement des colonnes dans le fichier ["s + path +
                  "]\n[DEBUG_SavePadding] : Ecriture de la colonne n°1"
                  "\n[DEBUG_SavePadding] : Ecriture de la colonne n°2");
    EXPECT_EQ(readFile(path), std::string("\x01\x00\x00\x00\x02\x00\x00\x00", 8));
}

}  // namespace
