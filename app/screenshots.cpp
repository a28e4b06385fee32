#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "app/core/application.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/optionsdialog.h"
#include "app/progresswindow.h"
#include "app/splashwindow.h"
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

    main.resize(1100, 720);
    if (!main.resultViewShown()) main.runCommand(ITM_VIEW_RESULT);
    ok &= save(main, directory, "main");

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
