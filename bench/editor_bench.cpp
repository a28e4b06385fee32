// How the description editor keeps up with a large example file: the split-file view's first
// rows and whole load, and the result preview's refresh after a column edit. Not a test; see
// bench/editor.sh.
//
//     editor_bench DESCRIPTION.fyk DATAFILE [REFRESHES]

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/peakrss.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "app/resultpreview.h"
#include "app/splitfileview.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

using namespace morvex;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: editor_bench DESCRIPTION.fyk DATAFILE [REFRESHES]\n");
        return 2;
    }
    const int refreshes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 50;
    traceOpenFile("/dev/null");  // the figures alone on standard output
    FILEDESC_Initialize();
    FileDesc* desc = FILEDESC_OpenFileDesc(argv[1]);
    if (!desc) {
        std::fprintf(stderr, "editor_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    FILEDESC_SetExampleFilePath(desc, argv[2]);
    gcontexte.currentFile = desc;
    gcontexte.nCarMaxReadWithoutNewLine = 10000;

    // Split-file view: time until the first rows are painted, then until the whole file is in.
    double firstRowsMs = -1, wholeMs = -1;
    int rows = 0;
    {
        QElapsedTimer clock;
        clock.start();
        SplitFileView view;
        view.resize(900, 600);
        view.show();
        while (view.loading()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (firstRowsMs < 0 && view.model()->rowCount() > 0) {
                view.list()->viewport()->repaint();
                firstRowsMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
        }
        QApplication::processEvents();
        wholeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        rows = view.model()->rowCount();
        // Scrolling to the end reads the last page from the file.
        view.list()->scrollToBottom();
        view.list()->viewport()->repaint();
    }

    // Result preview: a column edit (its width) followed by a refresh, as the detail panel does.
    ResultPreview preview;
    preview.resize(900, 400);
    preview.show();
    std::vector<double> times;
    std::vector<ColumnDesc*> columns = DESCEDIT_Columns(desc);
    for (int i = 0; i < refreshes; ++i) {
        ColumnDesc* column = columns[static_cast<size_t>(i) % columns.size()];
        column->WidthInChars += (i % 2 == 0) ? 1 : -1;
        QElapsedTimer clock;
        clock.start();
        preview.refresh();
        preview.viewport()->repaint();
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    double mean = 0;
    for (double t : times) mean += t;
    mean /= static_cast<double>(times.size());

    std::printf("split view: first rows %.1f ms, whole file %.1f ms, rows=%d\n", firstRowsMs,
                wholeMs, rows);
    std::printf("result preview refresh: mean %.2f ms, median %.2f ms, max %.2f ms (%d runs)\n",
                mean, times[times.size() / 2], times.back(), refreshes);
    std::printf("peak RSS: %ld kB\n", peakRssKb());
    gcontexte.currentFile = nullptr;
    FILEDESC_CloseFileDesc(desc);
    return 0;
}
