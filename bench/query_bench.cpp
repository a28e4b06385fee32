// How the query tool keeps up with a large result: the time until the first rows are painted,
// until the whole result is in, the longest time the window did not answer meanwhile, and the
// peak memory; then, with SORT_COLUMN, the time of a sort of the whole result by that column
// (a title click). Not a test; see bench/query_tool.sh.
//
//     query_bench DATABASE [SQL [SORT_COLUMN]]      (SQL: "SELECT * FROM t" by default)

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/peakrss.h"
#include "app/querytoolwindow.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite3dll.h"

using namespace morvex;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: query_bench DATABASE [SQL]\n");
        return 2;
    }
    traceOpenFile("/dev/null");  // the figures alone on standard output
    if (!SQLITE3_LoadDLL(nullptr)) {
        std::fprintf(stderr, "query_bench: no SQLite library\n");
        return 1;
    }
    double firstRowsMs = -1;
    double wholeMs = -1;
    qint64 longestGapMs = 0;
    int rows = 0;
    size_t blockBytes = 0;
    double sortMs = -1;
    {
        QueryToolWindow window;
        window.resize(1024, 768);
        window.show();
        window.setDatabasePath(QString::fromLocal8Bit(argv[1]));
        window.editor()->setPlainText(argc > 2 ? argv[2] : "SELECT * FROM t");
        QApplication::processEvents();
        // What the shown window holds before any row: the result's memory is measured above it.
        std::printf("peak RSS before the run: %ld kB\n", peakRssKb());
        QElapsedTimer clock;
        QElapsedTimer gap;
        clock.start();
        gap.start();
        // The first rows are timed once painted; the window's answers by a 5 ms ticker, whose
        // longest gap is how long the window did not answer (the loop sleeps between events, as
        // the window's own loop does, instead of taking a core from the worker).
        QObject::connect(window.model(), &QAbstractItemModel::rowsInserted, [&] {
            if (firstRowsMs >= 0) return;
            window.resultList()->viewport()->repaint();
            firstRowsMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        });
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longestGapMs = std::max(longestGapMs, gap.restart()); });
        ticker.start();
        if (!window.executerRequete()) {
            std::fprintf(stderr, "query_bench: %s\n", qPrintable(window.statusText(0)));
            return 1;
        }
        while (window.running())
            QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        ticker.stop();
        wholeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        rows = window.model()->rowCount();
        blockBytes = window.model()->table().keptBytes();
        std::printf("state: %s\n", qPrintable(window.statusText(0)));
        if (argc > 3) {
            const long peakBeforeSort = peakRssKb();
            std::printf("peak RSS before the sort: %ld kB (now %ld kB)\n", peakBeforeSort,
                        currentRssKb());
            QElapsedTimer sorting;
            sorting.start();
            if (!window.sortBy(std::atoi(argv[3]), Qt::AscendingOrder) || !window.waitForSort(600000)) {
                std::fprintf(stderr, "query_bench: the sort did not run\n");
                return 1;
            }
            sortMs = static_cast<double>(sorting.nsecsElapsed()) / 1e6;
            std::printf("sort: %.1f ms (%s)\n", sortMs, qPrintable(window.statusText(0)));
        }
    }
    std::printf(
        "query tool: first rows %.1f ms, whole result %.1f ms, longest unanswered %lld ms\n",
        firstRowsMs, wholeMs, static_cast<long long>(longestGapMs));
    std::printf("kept text %.1f MB\n", static_cast<double>(blockBytes) / 1e6);
    std::printf("peak RSS: %ld kB\n", peakRssKb());
    std::printf("rows=%d\n", rows);
    return 0;
}
