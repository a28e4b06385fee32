// Timing program of the data dictionary: builds a dictionary of N objects (default 100000)
// with two references each, then times its save, its load, a second save and searches.
//
//     datadic_bench [N] [DIR]
//
// Prints one line per measure: "<what>\t<wall ms>\t<cpu ms>[\t<note>]"; the file goes to DIR
// (default the system temporary directory) and is removed afterwards.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "datadic/datadic.h"
#include "datadic/dico.h"
#include "foundation/trace.h"

namespace {

// Processor time of this process, in milliseconds: unlike the wall clock it does not grow
// when other programs share the machine.
double cpuMs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = cpuMs();
};

// "<wall> ms (cpu <cpu> ms)" since `start`.
std::string msSince(const Clock& start) {
    double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start.wall)
            .count();
    char buf[96];
    snprintf(buf, sizeof buf, "%.1f\t%.1f", wall, cpuMs() - start.cpu);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    int n = argc > 1 ? atoi(argv[1]) : 100000;
    std::string dir = argc > 2 ? argv[2] : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    std::string path = dir + "/datadic_bench_" + std::to_string(getpid()) + ".xml";
    FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);

    DATADIC* dic = DATADIC_Create("BENCH", path.c_str());
    if (!dic) return 1;
    Clock start;
    for (int i = 0; i < n; ++i) {
        DATADIC_REF ref{};
        ColumnDesc& c = ref.localColumn;
        snprintf(c.code, sizeof c.code, "COL_%07d", (i * 7919) % n);
        snprintf(c.Description, sizeof c.Description, "Libellé de la colonne numéro %d", i);
        c.WidthInChars = 10 + i % 40;
        c.typeCible.type = i % 8;
        c.typeCible.fmtDecimal = {12, 2};
        strcpy(c.typeCible.fmtDate, "aaaammjj");
        strcpy(c.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
        c.typeCible.fmtChaineVar.tailleMax = c.WidthInChars;
        for (int t = 0; t < 2; ++t) {
            snprintf(ref.database, sizeof ref.database, "BASE%d", i % 10);
            snprintf(ref.table, sizeof ref.table, "TABLE_%d_%d", i % 1000, t);
            DATADIC_AddElt(dic, &ref);
        }
    }
    printf("build\t%s\t%d objects\n", msSince(start).c_str(), DATADIC_Count(dic));

    start = Clock();
    DATADIC_Sort(dic);
    printf("sort\t%s\n", msSince(start).c_str());

    start = Clock();
    if (DATADICXML_WriteToFile(dic, path.c_str()) != 0) return 1;
    printf("save\t%s\n", msSince(start).c_str());
    start = Clock();
    if (DATADICXML_WriteToFile(dic, path.c_str()) != 0) return 1;
    printf("save again\t%s\n", msSince(start).c_str());
    DATADIC_Destroy(dic);

    start = Clock();
    dic = DATADICXML_LoadFromFile(path.c_str());
    if (!dic) return 1;
    printf("load\t%s\t%d objects\n", msSince(start).c_str(), DATADIC_Count(dic));

    start = Clock();
    if (DATADICXML_WriteToFile(dic, path.c_str()) != 0) return 1;
    printf("save loaded\t%s\n", msSince(start).c_str());

    const char* searches[] = {"col_00004", "numéro 9999", "absent", ""};
    for (const char* s : searches) {
        start = Clock();
        size_t found = DICO_Search(dic, s).size();
        printf("search '%s'\t%s\t%zu found\n", s, msSince(start).c_str(), found);
    }
    DATADIC_Destroy(dic);
    unlink(path.c_str());
    return 0;
}
