#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "app/columndetailpanel.h"
#include "app/core/application.h"
#include "app/core/desceditor.h"
#include "app/descriptionlist.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/optionsdialog.h"
#include "app/pkindexeswindow.h"
#include "app/progresswindow.h"
#include "app/projectpropertiesdialog.h"
#include "app/splashwindow.h"
#include "app/splitfileview.h"
#include "foundation/task.h"
#include "foundation/trace.h"

namespace morvex {

namespace {

bool save(QWidget& widget, const QString& directory, const char* name) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QApplication::processEvents();
    const QString path = directory + "/morvex-" + name + ".png";
    bool ok = widget.grab().save(path);
    trace("\n[screenshots] %s : %s", path.toUtf8().constData(), ok ? "OK" : "Erreur");
    return ok;
}

// A load that stops at 42 % until it is asked to stop, for the picture of the progress window.
void pictureWorker(TASK* task) {
    TASK_Report(task, TASK_EVENT_PROGRESS, 100, 42, "Chargement des données : 42 000 lignes lues");
    while (!TASK_IsStopRequested(task)) QThread::msleep(5);
}

}  // namespace

int takeScreenshots(MainWindow& main, const QString& directory) {
    QDir().mkpath(directory);
    bool ok = true;

    gcontexte.helpFrameWidth = 330;  // room for the key and index names
    main.resize(1100, 720);
    if (!main.resultViewShown()) main.runCommand(ITM_VIEW_RESULT);
    ok &= save(main, directory, "main");
    if (gcontexte.currentFile) {
        // The description list after a type analysis of the example file, with a column's
        // statistics in the help panel, a key and an index.
        DescriptionList* list = main.columnListView();
        ProgressWindow::setAutoClose(true);
        list->runCommand(ITM_COL_ANALYSE);
        ProgressWindow::setAutoClose(false);
        auto selectRows = [list](std::initializer_list<int> rows) {
            list->clearSelection();
            for (int row : rows)
                if (row < list->topLevelItemCount()) list->topLevelItem(row)->setSelected(true);
        };
        selectRows({0});
        list->runCommand(ITM_COL_PRIMARYKEY);
        selectRows({1, 2});
        list->runCommand(ITM_COL_NEWINDEX);
        selectRows({5});
        list->showSelectionDetails();
        ok &= save(main, directory, "list");
        ok &= save(*main.keysWindow(), directory, "keys");
        list->runCommand(ITM_COL_EDIT);
        ok &= save(*main.columnDetail(), directory, "detail");
        main.columnDetail()->cancel();
        ProjectPropertiesDialog properties(gcontexte.currentFile, false);
        ok &= save(properties, directory, "properties");
        SplitFileView split;
        QElapsedTimer loading;
        loading.start();
        while (split.loading() && loading.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ok &= save(split, directory, "split");
    }

    SplashWindow splash;
    splash.setAttribute(Qt::WA_DeleteOnClose, false);
    splash.setRange(0, 10);
    splash.setProgress(5);
    splash.setStatus("Chargement des fichiers de description...");
    ok &= save(splash, directory, "splash");

    OptionsDialog options(&gcontexte);
    ok &= save(options, directory, "options");

    TASKSLIST* tasks = TASKSLIST_Create();
    TASK* task = TASK_Create("Chargement du fichier de données", pictureWorker, nullptr);
    TASKSLIST_AddTask(tasks, task);
    {
        ProgressWindow progress;
        progress.start(tasks);
        QElapsedTimer clock;
        clock.start();
        while (progress.progressValue() != 42 && clock.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ok &= save(progress, directory, "progress");
        progress.requestStop();
        progress.waitForWorker();
    }
    TASKSLIST_Destroy(tasks);

    HelpPanel help;
    help.resize(280, 640);
    help.EcrireMessageInfo(1);
    ok &= save(help, directory, "help");
    return ok ? 0 : 1;
}

}  // namespace morvex
