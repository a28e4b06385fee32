// The main window at the default size, as a person finds it with the bundled example open: every
// column of its lists shows its content whole, and the sizes the person gives the previews come
// back at the next start.
#include <QDir>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "desktop/columnfit.h"
#include "appcore/desceditor.h"
#include "app/descriptionlist.h"
#include "app/mainwindow.h"
#include "app/pkindexeswindow.h"
#include "app/previewsplitter.h"
#include "app/progresswindow.h"
#include "app/resultpreview.h"
#include "app/tests/apptest.h"
#include "foundation/registry.h"

using namespace morvex;

namespace {

const QSize kDefaultSize(1280, 800);

// The columns of `view` narrower than what they show, named for the failure message.
QStringList cutColumns(QAbstractItemView* view, const QString& name) {
    QStringList cut;
    const int count = view->model()->columnCount();
    for (int c = 0; c < count; ++c) {
        const int width = qobject_cast<QTreeView*>(view)
                              ? static_cast<QTreeView*>(view)->columnWidth(c)
                              : static_cast<QTableView*>(view)->columnWidth(c);
        const int needed = columnContentWidth(view, c);
        if (width < needed)
            cut << QString("%1 colonne %2 : %3 < %4").arg(name).arg(c).arg(width).arg(needed);
    }
    return cut;
}

// Drags the handle between the parts `index - 1` and `index` of `splitter` by `dy` pixels, as a
// person does with the mouse.
void dragHandle(QSplitter* splitter, int index, int dy) {
    QSplitterHandle* handle = splitter->handle(index);
    const QPoint middle = handle->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, middle, handle->mapToGlobal(middle),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &press);
    const QPoint to = middle + QPoint(0, dy);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &release);
}

}  // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QString example_;

    // A main window at the default size with the example open and its previews shown.
    std::unique_ptr<MainWindow> start() {
        auto window = std::make_unique<MainWindow>();
        window->setUnattended(true);
        window->initialise(nullptr, example_.toStdString());
        window->resize(kDefaultSize);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
        if (!window->resultViewShown()) window->runCommand(ITM_VIEW_RESULT);
        QApplication::processEvents();
        return window;
    }

private slots:
    void initTestCase() {
        ProgressWindow::setAutoClose(true);
        // The example names its data file from the source tree.
        QVERIFY(QDir::setCurrent(MORVEX_SOURCE_DIR_PATH));
        example_ = QString(MORVEX_SOURCE_DIR_PATH) + "/examples/clients.fyk";
    }

    void everyColumnOfTheMainListsShowsItsContentWhole() {
        QtUiPort port;
        apptest::Person person(port);
        auto window = start();
        QVERIFY(window);
        // Types and formats after an analysis ("Chaîne variable", "aaaa-mm-jj HH:MM:SS"), a key
        // and two indexes with long names.
        DescriptionList* list = window->columnListView();
        QVERIFY(list->topLevelItemCount() >= 7);
        list->runCommand(ITM_COL_ANALYSE);
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        list->runCommand(ITM_COL_PRIMARYKEY);
        list->clearSelection();
        list->topLevelItem(1)->setSelected(true);
        list->topLevelItem(2)->setSelected(true);
        list->runCommand(ITM_COL_NEWINDEX);
        QApplication::processEvents();

        QStringList cut = cutColumns(list, "description");
        cut += cutColumns(window->keysWindow(), "clés");
        cut += cutColumns(window->resultPreviewView(), "aperçu");
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
        QVERIFY(window->resultPreviewView()->rowCount() > 0);
        // The last column runs to the right edge: no empty band beside it.
        const int last = list->columnCount() - 1;
        QCOMPARE(list->columnViewportPosition(last) + list->columnWidth(last),
                 list->viewport()->width());
    }

    void thePreviewSizesTheDragLeftComeBackAtTheNextStart() {
        QtUiPort port;
        apptest::Person person(port);
        QList<int> dragged;
        {
            auto window = start();
            QVERIFY(window);
            QSplitter* splitter = window->previewSplitter();
            const QList<int> before = splitter->sizes();
            QCOMPARE(before.size(), 3);
            QVERIFY2(before[2] > 150, qPrintable(QString::number(before[2])));  // rows in view
            dragHandle(splitter, 1, -80);  // the source preview taller
            dragHandle(splitter, 2, -40);  // the result preview taller
            dragged = splitter->sizes();
            QVERIFY(dragged[0] < before[0] - 60);
            QVERIFY(dragged[2] > before[2] + 20);
        }
        QVERIFY(PreviewSplitter::savedSizes().size() == 3);
        auto again = start();
        QVERIFY(again);
        const QList<int> restored = again->previewSplitter()->sizes();
        for (int i = 0; i < 3; ++i)
            QVERIFY2(qAbs(restored[i] - dragged[i]) <= 2,
                     qPrintable(QString("%1 : %2 / %3").arg(i).arg(restored[i]).arg(dragged[i])));
    }
};

QTEST_MAIN(MainLayoutTest)
#include "mainlayout_test.moc"
