#include "foundation/allocmem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <unistd.h>

#include "foundation/trace.h"
#include "foundation/testing/files.h"

namespace {

std::string ReportPath() {
    return testing::TempDir() + "allocmem_report_" + std::to_string(getpid()) + ".txt";
}

using morvex::testing::readFile;

std::string Report() {
    std::string path = ReportPath();
    EXPECT_EQ(mem_verifierMemoire(path.c_str()), 0);
    return readFile(path);
}

}  // namespace

TEST(AllocMem, ReportSaysEveryPointerWasReleasedWhenNoneRemains) {
    std::string path = ReportPath();
    EXPECT_EQ(Report(), "ALLOCMEN version 1.0.1.20141012\n-------------Fichier : " + path +
                            "\nContrôle de la mémoire : pointeurs restants\n"
                            "Tous les pointeurs ont été désalloués\n"
                            "ou le programme n'a pas été compilée en mode DEBOG_MEM\n"
                            "----------------Fin du fichier\n");
}

TEST(AllocMem, ReportListsLiveBlocksNewestFirst) {
    void* a = mem_alloc(10, "colonne.c", 42);
    void* b = mem_calloc(300, "fichier.c", 7);
    char* c = mem_strdup("texte", "a_very_long_source_name.cpp", 1234);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_STREQ(c, "texte");
    std::string report = Report();
    std::string path = ReportPath();
    std::string head = "ALLOCMEN version 1.0.1.20141012\n-------------Fichier : " + path +
                       "\nContrôle de la mémoire : pointeurs restants\n"
                       "adresse  taille identificateur noLigne\n";
    ASSERT_EQ(report.rfind(head, 0), 0u) << report;
    std::string body = report.substr(head.size());
    std::regex line(
        "[0-9a-f]{8,16}    6 a_very_long_source_name.cpp 1234\n"
        "[0-9a-f]{8,16}  300    fichier.c    7\n"
        "[0-9a-f]{8,16}   10    colonne.c   42\n"
        "----------------Fin du fichier\n");
    EXPECT_TRUE(std::regex_match(body, line)) << body;
    mem_free(a);
    mem_free(b);
    mem_free(c);
    EXPECT_NE(Report().find("Tous les pointeurs ont été désalloués"), std::string::npos);
}

TEST(AllocMem, AllocationsAreZeroFilledAlignedAndReportedByTheirHeaderAddress) {
    unsigned char* p = static_cast<unsigned char*>(mem_alloc(64, "z.c", 1));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
    memset(p, 0xAB, 64);
    // The reported address is the block header, just before the user area.
    std::string report = Report();
    size_t at = report.find("adresse  taille identificateur noLigne\n");
    ASSERT_NE(at, std::string::npos);
    unsigned long address = strtoul(report.c_str() + at + 39, nullptr, 16);
    EXPECT_LT(address, reinterpret_cast<uintptr_t>(p));
    EXPECT_GE(address + 256, reinterpret_cast<uintptr_t>(p));
    mem_free(p);
}

TEST(AllocMem, ReallocKeepsContentZeroFillsGrowthAndStaysTracked) {
    char* p = static_cast<char*>(mem_realloc(nullptr, 4, "r.c", 1));  // null allocates
    ASSERT_NE(p, nullptr);
    memcpy(p, "abcd", 4);
    char* q = static_cast<char*>(mem_realloc(p, 5000, "r.c", 2));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(memcmp(q, "abcd", 4), 0);
    for (int i = 4; i < 5000; ++i) ASSERT_EQ(q[i], 0);
    void* other = mem_alloc(1, "o.c", 3);
    q = static_cast<char*>(mem_realloc(q, 2, "r.c", 4));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(memcmp(q, "ab", 2), 0);
    std::string report = Report();
    EXPECT_NE(report.find("    2          r.c    4\n"), std::string::npos) << report;
    EXPECT_NE(report.find("    1          o.c    3\n"), std::string::npos) << report;
    mem_free(q);
    mem_free(other);
    EXPECT_NE(Report().find("Tous les pointeurs"), std::string::npos);
}

TEST(AllocMem, FreeIgnoresPointersThatAreNotTrackedBlocks) {
    void* plain = malloc(32);
    mem_free(plain);  // not ours: ignored, no header read
    mem_free(nullptr);
    int local = 0;
    mem_free(&local);
    void* tracked = mem_alloc(8, "f.c", 1);
    mem_free(static_cast<char*>(tracked) + 1);  // inside a block, not its start
    mem_free(tracked);
    mem_free(tracked);  // second release ignored
    EXPECT_EQ(mem_realloc(plain, 64, "f.c", 2), nullptr);
    free(plain);
    EXPECT_NE(Report().find("Tous les pointeurs"), std::string::npos);
}

TEST(AllocMem, FailedAllocationIsTracedAndReturnsNothing) {
    morvex::TraceCapture capture;
    EXPECT_EQ(mem_alloc(static_cast<size_t>(-1) / 2, "big.c", 1), nullptr);
    EXPECT_EQ(capture.text(), "Erreur d'allocation\n");
    void* p = mem_alloc(8, "big.c", 2);
    EXPECT_EQ(mem_realloc(p, static_cast<size_t>(-1) / 2, "big.c", 3), nullptr);
    EXPECT_NE(Report().find("    8        big.c    2\n"), std::string::npos);  // still there
    mem_free(p);
    EXPECT_EQ(mem_strdup(nullptr, "x", 1), nullptr);
}

TEST(AllocMem, ReportFailsWhenTheFileCannotBeCreated) {
    EXPECT_EQ(mem_verifierMemoire("/nonexistent-dir/x/report.txt"), 1);
    EXPECT_EQ(mem_verifierMemoire(nullptr), 1);
}
