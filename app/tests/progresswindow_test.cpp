// The progress window with real worker threads: rows, states, progress, stop and close.
#include <QElapsedTimer>
#include <QTest>
#include <cstring>
#include <atomic>
#include <thread>

#include "app/progresswindow.h"
#include "app/qtuiport.h"
#include "app/tests/apptest.h"
#include "appcore/analysewizard.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "foundation/task.h"
#include "sqliteload/sqlite4fyk.h"

using namespace morvex;

namespace {

std::atomic<int> gRuns{0};

void countingWorker(TASK* task) {
    ++gRuns;
    TASK_Report(task, TASK_EVENT_FINISHED, 1, 1, "Tâche terminée.");
}

// Reports 42 of 100, then works until it is asked to stop.
void stoppableWorker(TASK* task) {
    TASK_Report(task, TASK_EVENT_PROGRESS, 100, 42, "42 lignes lues");
    while (!TASK_IsStopRequested(task)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100, "Annulation de la tâche à la demande de "
                                                         "l'utilisateur.");
}

// A fast worker: a flood of progress reports, then the end.
void floodWorker(TASK* task) {
    for (int i = 1; i <= 200000; ++i) TASK_Report(task, TASK_EVENT_PROGRESS, 200000, i, nullptr);
    TASK_Report(task, TASK_EVENT_FINISHED, 200000, 200000, "Fini");
}

// A task list owning the tasks made of `workers`.
struct Tasks {
    TASKSLIST* list = TASKSLIST_Create();
    explicit Tasks(std::initializer_list<TASK_WORKER> workers) {
        int n = 0;
        for (TASK_WORKER w : workers)
            TASKSLIST_AddTask(list, TASK_Create(("Tâche " + std::to_string(++n)).c_str(), w, nullptr));
    }
    ~Tasks() { TASKSLIST_Destroy(list); }
    TASK* first() const { return static_cast<TASK*>(list->first->lParam1); }
};

}  // namespace

class ProgressWindowTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;

private slots:
    void aListOfTwoTasksShowsOneRowAndRunsOnlyTheFirst() {
        gRuns = 0;
        Tasks tasks{countingWorker, countingWorker};
        ProgressWindow window;
        QVERIFY(window.start(tasks.list));
        QVERIFY(window.waitForWorker());
        QCOMPARE(window.rowCount(), 1);
        QCOMPARE(gRuns.load(), 1);
        QCOMPARE(window.taskState(), QString("Terminé"));
        QCOMPARE(window.statusLine(), QString("Tâche terminée."));
    }

    void progressSetsTheBarAndTheStatusLineAndStopInterruptsTheTask() {
        Tasks tasks{stoppableWorker};
        ProgressWindow window;
        QCOMPARE(window.statusLine(), QString("Prêt"));
        QVERIFY(window.start(tasks.list));
        QCOMPARE(window.taskState(), QString("Exécution"));
        QTRY_COMPARE(window.progressValue(), 42);
        QCOMPARE(window.progressMaximum(), 100);
        QCOMPARE(window.statusLine(), QString("42 lignes lues"));
        QVERIFY(window.workerRunning());
        window.requestStop();
        QVERIFY(TASK_IsStopRequested(tasks.first()));
        QVERIFY(window.waitForWorker());
        QCOMPARE(window.taskState(), QString("Tâche interrompue"));
    }

    void closingWhileTheWorkerRunsStopsItAndWaitsForIt() {
        Tasks tasks{stoppableWorker};
        ProgressWindow window;
        window.show();
        QVERIFY(window.start(tasks.list));
        QVERIFY(!window.close());  // the window stays until the worker has ended
        QVERIFY(TASK_IsStopRequested(tasks.first()));
        QVERIFY(window.waitForWorker());
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(window.taskState(), QString("Tâche interrompue"));
    }

    void destroyingTheWindowNeverLeavesAWorkerOnTheTaskList() {
        Tasks tasks{stoppableWorker};
        {
            ProgressWindow window;
            QVERIFY(window.start(tasks.list));
        }
        // The worker was stopped and joined: the list may go.
        QVERIFY(TASK_IsStopRequested(tasks.first()));
    }

    void aFloodOfProgressIsCoalescedAndEndsOnTheLastValue() {
        Tasks tasks{floodWorker};
        ProgressWindow window;
        QVERIFY(window.start(tasks.list));
        QVERIFY(window.waitForWorker());
        QCOMPARE(window.progressValue(), 200000);
        QCOMPARE(window.taskState(), QString("Terminé"));
        QVERIFY2(window.progressUpdates() < 1000, qPrintable(QString::number(window.progressUpdates())));
    }

    void anEmptyListStartsNothing() {
        TASKSLIST* empty = TASKSLIST_Create();
        ProgressWindow window;
        QVERIFY(!window.start(empty));
        QCOMPARE(window.runTasks(empty), 1);
        TASKSLIST_Destroy(empty);
    }

    void theUiPortRunsARealAnalysisAndReturnsOnceItHasEnded() {
        QtUiPort port;
        apptest::Person person(port);
        QString state;
        setDialogRunner([&](QDialog* dialog) {
            auto* progress = qobject_cast<ProgressWindow*>(dialog);
            if (!progress || !progress->waitForWorker()) return 0;
            state = progress->taskState();
            return 1;
        });
        FILEDESC_Initialize();
        std::string csv = env_.dir().write("a.csv", "A;B\r\n1;x\r\n2;y\r\n");
        FileDesc* desc = FILEDESC_CreateFileDesc("A", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
        desc->FirstLineIsHeader = 1;
        QCOMPARE(FYK_LaunchFileAnalyse(nullptr, desc, csv.c_str(), 1000, 1), 0);
        QCOMPARE(state, QString("Terminé"));
        QCOMPARE(static_cast<int>(desc->columns.size()), 2);
        // A count whose file cannot be read reports that it could not start.
        FYK_LaunchDatafileComputeStats(nullptr, desc, env_.dir().file("absent.txt").c_str());
        QCOMPARE(state, QString("Non démarrée"));
        FILEDESC_CloseFileDesc(desc);
        setDialogRunner({});
    }

    // Measurement, run on demand: MORVEX_LOAD_BENCH=<data file> MORVEX_LOAD_BENCH_DESC=<.fyk>
    // loads the file into SQLite through the window and reports how often the bar moved.
    void aLongLoadKeepsTheBarMoving() {
        const char* data = getenv("MORVEX_LOAD_BENCH");
        const char* fyk = getenv("MORVEX_LOAD_BENCH_DESC");
        if (!data || !fyk) QSKIP("MORVEX_LOAD_BENCH and MORVEX_LOAD_BENCH_DESC not set");
        QtUiPort port;
        apptest::Person person(port);
        FILEDESC_Initialize();
        SQLITE3_LoadDLL(nullptr);
        FileDesc* desc = FILEDESC_OpenFileDesc(fyk);
        QVERIFY(desc);
        free(desc->ExampleFilePath);
        desc->ExampleFilePath = strdup(data);
        QElapsedTimer clock;
        int updates = 0;
        int longestGap = 0;
        setDialogRunner([&](QDialog* dialog) {
            auto* progress = qobject_cast<ProgressWindow*>(dialog);
            QElapsedTimer gap;
            gap.start();
            int seen = 0;
            while (progress->workerRunning()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                if (progress->progressUpdates() != seen) {
                    seen = progress->progressUpdates();
                    longestGap = std::max<int>(longestGap, gap.restart());
                }
            }
            progress->waitForWorker();
            updates = progress->progressUpdates();
            return 1;
        });
        clock.start();
        SQLITE4FYK_LOADSTATS stats{};
        SQLITE4FYK_LOADOPTIONS options;
        options.dataPath = desc->ExampleFilePath;
        SQLITE4FYK_RunLoadTask(desc, env_.dir().file("bench.db").c_str(), 1000, &stats, &options);
        const double seconds = clock.elapsed() / 1000.0;
        qInfo("rows=%d seconds=%.2f bar updates=%d (%.1f/s) longest gap=%d ms", stats.rows,
              seconds, updates, updates / seconds, longestGap);
        QVERIFY(updates / seconds >= 10);
        FILEDESC_CloseFileDesc(desc);
        setDialogRunner({});
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "progresswindow_test.moc"
