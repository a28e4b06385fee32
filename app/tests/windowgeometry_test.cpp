// Every window of the desktop program opens on its parent and whole on a 1024×768 screen,
// whatever it holds: the split view, the dictionary, the query tool, the generation window and
// the dialogs, laid out with their real content.
#include <QMainWindow>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>

#include "appcore/application.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/mssqlparamswindow.h"
#include "app/optionsdialog.h"
#include "app/projectpropertiesdialog.h"
#include "app/querytoolwindow.h"
#include "app/splitfileview.h"
#include "app/tests/apptest.h"
#include "app/textimportdialog.h"
#include "app/windowplacement.h"
#include "filedesc/filedesc.h"
#include "mssql/mssql.h"

using namespace morvex;

class WindowGeometryTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;

private slots:
    void initTestCase() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_OpenFileDesc(
            (std::string(MORVEX_SOURCE_DIR_PATH) + "/examples/clients.fyk").c_str());
        QVERIFY(desc_);
        FILEDESC_SetExampleFilePath(
            desc_, (std::string(MORVEX_SOURCE_DIR_PATH) + "/examples/clients.csv").c_str());
        gcontexte.currentFile = desc_;
    }

    void cleanupTestCase() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void everyWindowFitsA1024By768ScreenOnItsParent() {
        const QRect screen(0, 0, 1024, 768);
        QMainWindow parent;
        parent.setGeometry(0, 0, 1024, 768);
        parent.setAttribute(Qt::WA_DontShowOnScreen);
        parent.show();
        MSSQL_PARAMS params{};
        const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
            {"split view", [&] { return new SplitFileView(&parent); }},
            {"dictionary",
             [&] { return new DictionaryWindow(env_.dir().file("dico.xml"), &parent); }},
            {"query tool", [&] { return new QueryToolWindow(&parent); }},
            {"generation", [&] { return new GenerationDialog(desc_, &parent); }},
            {"options", [&] { return new OptionsDialog(&gcontexte, &parent); }},
            {"text import", [&] { return new TextImportDialog(&parent); }},
            {"SQL Server parameters",
             [&] { return new MssqlParamsWindow(&params, desc_, &parent); }},
            {"properties", [&] { return new ProjectPropertiesDialog(desc_, false, &parent); }},
        };
        for (const auto& [name, make] : windows) {
            std::unique_ptr<QWidget> window(make());
            window->setAttribute(Qt::WA_DontShowOnScreen);
            // Placed for this screen as the program places it for the person's.
            placeOnParent(window.get(), &parent, window->size(), screen);
            window->show();
            QTest::qWait(10);
            const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
            const QRect r = window->geometry();
            QVERIFY2(screen.contains(r.adjusted(-4, -32, 4, 4)),
                     qPrintable(QString("%1: %2,%3 %4x%5 (minimum %6x%7)")
                                    .arg(name)
                                    .arg(r.x())
                                    .arg(r.y())
                                    .arg(r.width())
                                    .arg(r.height())
                                    .arg(minimum.width())
                                    .arg(minimum.height())));
            // Not squeezed below what its content needs.
            QVERIFY2(r.width() >= minimum.width() && r.height() >= minimum.height(), name);
            // On the parent: over its middle.
            QVERIFY2(r.contains(parent.geometry().center()), qPrintable(QString("%1: %2,%3 %4x%5")
                                                                            .arg(name)
                                                                            .arg(r.x())
                                                                            .arg(r.y())
                                                                            .arg(r.width())
                                                                            .arg(r.height())));
        }
    }
};

QTEST_MAIN(WindowGeometryTest)
#include "windowgeometry_test.moc"
