// How the data dictionary window keeps up with a large dictionary: opening the window over a
// file of N objects (default 100 000, two references each) until it is painted (the window at
// once, in its loading state) and until its list is painted (the file read on the worker), a
// search typed in its box until the narrowed list is painted, a jump anywhere in the list, and
// the peak resident memory of the process. Not a test; see bench/dictionary_window.sh.
//
//     dictionary_bench [N] [DIR] [KEEP]
//
// Prints one line per measure: "<what>\t<ms>[\t<note>]". The file goes to DIR (default the
// system temporary directory) and is removed afterwards, unless KEEP names where to move it (for
// the peer that reads the same file). The file is written by a child process, so that the peak
// memory is the window's alone.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/peakrss.h"
#include "appcore/application.h"
#include "app/dictionarywindow.h"
#include "datadic/dico.h"
#include "foundation/trace.h"

using namespace morvex;

namespace {

// Paints the window now, as the screen would.
void paint(QWidget& window) {
    QApplication::processEvents();
    window.grab();
}

// Processor time of this process so far (all its threads), in milliseconds.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Writes the dictionary file of n objects at `path`. 0 when written.
int writeDictionary(int n, const std::string& path) {
    DATADIC* dic = DATADIC_Create("BENCH", path.c_str());
    for (int i = 0; i < n; ++i) {
        DATADIC_REF ref{};
        ColumnDesc& c = ref.localColumn;
        snprintf(c.code, sizeof c.code, "COL_%07d", (i * 7919) % n);
        snprintf(c.Description, sizeof c.Description, "Libellé de la colonne numéro %d", i);
        c.WidthInChars = 10 + i % 40;
        c.typeCible.type = DATATYPE_VARIABLECHAR;
        c.typeCible.fmtChaineVar.tailleMax = c.WidthInChars;
        for (int t = 0; t < 2; ++t) {
            snprintf(ref.database, sizeof ref.database, "BASE%d", i % 10);
            snprintf(ref.table, sizeof ref.table, "TABLE_%d_%d", i % 1000, t);
            DATADIC_AddElt(dic, &ref);
        }
    }
    const int result = DATADICXML_WriteToFile(dic, path.c_str());
    DATADIC_Destroy(dic);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const std::string dir = argc > 2 ? argv[2] : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    const std::string keep = argc > 3 ? argv[3] : "";
    FILE* quiet = fopen("/dev/null", "w");
    traceSetStream(quiet);  // the figures alone on standard output
    const std::string folder = dir + "/dictionary_bench_" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    snprintf(gcontexte.dictionnariesDirectory, sizeof gcontexte.dictionnariesDirectory, "%s",
             folder.c_str());
    const std::string path = DICO_DefaultPath(gcontexte.dictionnariesDirectory);

    // The dictionary file, written by a child: its memory is not this process's.
    const pid_t child = fork();
    if (child == 0) _exit(writeDictionary(n, path) == 0 ? 0 : 1);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return 1;

    QApplication app(argc, argv);
    const double cpuAtStart = cpuMs();
    QElapsedTimer clock;
    clock.start();
    DictionaryWindow window(path);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.resize(1024, 768);
    window.show();
    paint(window);
    const double shown = clock.nsecsElapsed() / 1e6;
    // Idle until the worker hands its dictionary over (a queued call wakes the loop).
    while (window.loading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    paint(window);
    printf("window shown (loading)\t%.1f\n", shown);
    printf("open\t%.1f\t%d objects\n", clock.nsecsElapsed() / 1e6, window.model()->rowCount());
    // The processor time of both threads, which the other programs of a busy machine do not
    // stretch as they stretch the wall-clock time.
    printf("open (processor time)\t%.1f\n", cpuMs() - cpuAtStart);

    // Each search as typed: the list narrowed and painted.
    double worst = 0;
    for (const char* text : {"col_00004", "numéro 9999", "absent", "c", ""}) {
        clock.restart();
        window.searchField()->setText(QString::fromUtf8(text));
        const double searched = clock.nsecsElapsed() / 1e6;
        paint(window);
        printf("search '%s', list only\t%.1f\n", text, searched);
        const double ms = clock.nsecsElapsed() / 1e6;
        worst = std::max(worst, ms);
        printf("search '%s'\t%.1f\t%d found\n", text, ms, window.model()->rowCount());
    }
    printf("search worst\t%.1f\n", worst);

    // Jumps to 100 places of the whole list, each painted.
    QScrollBar* bar = window.list()->verticalScrollBar();
    clock.restart();
    for (int i = 1; i <= 100; ++i) {
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * i / 100));
        paint(window);
    }
    printf("scroll (per jump)\t%.2f\n", clock.nsecsElapsed() / 1e6 / 100);
    printf("peak rss (kB)\t%ld\n", peakRssKb());

    // What the worker does, alone on this thread (after the peak memory was taken): the read,
    // the sort and the search index, in processor time.
    {
        const double cpu = cpuMs();
        bool incomplete = false;
        DATADIC* read = DICO_Read(path.c_str(), &incomplete);
        DICO_SEARCHINDEX index;
        DICO_BuildSearchIndex(read, &index);
        printf("read, sorted, indexed (processor time)\t%.1f\n", cpuMs() - cpu);
        DATADIC_Destroy(read);
    }
    DICO_Close();
    if (keep.empty() || rename(path.c_str(), keep.c_str()) != 0) unlink(path.c_str());
    rmdir(folder.c_str());
    traceSetStream(nullptr);
    if (quiet) fclose(quiet);
    return 0;
}
