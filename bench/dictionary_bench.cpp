// How the data dictionary window keeps up with a large dictionary: opening the window over a
// file of N objects (default 100 000, two references each) until its list is painted, a search
// typed in its box until the narrowed list is painted, and a jump anywhere in the list. Not a
// test; see bench/dictionary_window.sh.
//
//     dictionary_bench [N] [DIR]
//
// Prints one line per measure: "<what>\t<ms>[\t<note>]". The file goes to DIR (default the
// system temporary directory) and is removed afterwards.
#include <sys/stat.h>
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const std::string dir = argc > 2 ? argv[2] : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    traceOpenFile("/dev/null");  // the figures alone on standard output
    const std::string folder = dir + "/dictionary_bench_" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    snprintf(gcontexte.dictionnariesDirectory, sizeof gcontexte.dictionnariesDirectory, "%s",
             folder.c_str());
    const std::string path = DICO_DefaultPath(gcontexte.dictionnariesDirectory);

    // The dictionary file.
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
    if (DATADICXML_WriteToFile(dic, path.c_str()) != 0) return 1;
    DATADIC_Destroy(dic);

    QElapsedTimer clock;
    clock.start();
    {
        DATADIC* read = DATADICXML_LoadFromFile(path.c_str());
        printf("load (the file alone)\t%.1f\n", clock.nsecsElapsed() / 1e6);
        DATADIC_Destroy(read);
    }
    clock.restart();
    DictionaryWindow window(path);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.resize(1024, 768);
    window.show();
    paint(window);
    printf("open\t%.1f\t%d objects\n", clock.nsecsElapsed() / 1e6, window.model()->rowCount());

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
    DICO_Close();
    unlink(path.c_str());
    rmdir(folder.c_str());
    return 0;
}
