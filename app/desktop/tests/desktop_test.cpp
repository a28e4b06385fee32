// What the desktop programs share about Qt: the French translation really reaches the standard
// buttons, Qt's messages land in the trace marked as Qt's, and fitted columns show their
// content whole.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "app/desktop/columnfit.h"
#include "app/desktop/qtmessages.h"
#include "app/desktop/translations.h"
#include "foundation/trace.h"

using namespace morvex;

namespace {

// The widest text of column `c` (title included) as the view draws it.
int contentWidth(QAbstractItemView& view, int c) {
    return columnContentWidth(&view, c);
}

// The widest value of column `c`, title left aside.
int valuesWidth(QAbstractItemView& view, int c) {
    return view.sizeHintForColumn(c);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!installQtFrenchTranslations(qApp).isEmpty()); }

    void standardButtonsAndFileDialogsSpeakFrench() {
        QMessageBox box(QMessageBox::Question, "Remplacer le fichier", "Remplacer ?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QString("Oui"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QString("Non"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QString("Annuler"));

        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'),
                 QString("Annuler"));

        // Qt's own file dialog (the one shown where no desktop portal answers).
        QFileDialog files(nullptr, "Ouvrir un fichier de format...");
        files.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(files.labelText(QFileDialog::Reject).remove('&'), QString("Annuler"));
        QVERIFY2(files.labelText(QFileDialog::LookIn).startsWith("Voir dans"),
                 qPrintable(files.labelText(QFileDialog::LookIn)));
    }

    void qtMessagesGoIntoTheTraceMarkedAsQts() {
        TraceCapture capture;
        trace("\n[programme] avant");
        QtMessageHandler previous = routeQtMessagesToTrace();
        qWarning("Le greffon ne sait pas faire %d", 3);
        qCritical("Plus rien");
        qInstallMessageHandler(previous);
        trace("\n[programme] après");
        QCOMPARE(QString::fromStdString(capture.text()),
                 QString("\n[programme] avant"
                         "\n[Qt] Avertissement : Le greffon ne sait pas faire 3"
                         "\n[Qt] Erreur : Plus rien"
                         "\n[programme] après"));
    }

    // Short and long values, a title wider than its values: each column as wide as what it
    // shows, the last one to the right edge.
    void fittedColumnsShowEveryValueWholeAndTheLastStretches() {
        QTreeWidget view;
        view.setHeaderLabels({"Num. col", "Code", "Description", "Longueur (car.)", "Type"});
        new QTreeWidgetItem(&view, {"1", "IX_CLIENTS_NOM_PRENOM", "Nom", "10", "Chaîne variable"});
        new QTreeWidgetItem(&view, {"12", "ID", "Identifiant du client dans la gestion", "1",
                                    "Date et Heure"});
        view.resize(900, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view);
        int used = 0;
        for (int c = 0; c < view.columnCount(); ++c) {
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
            used += view.columnWidth(c);
        }
        QCOMPARE(used, view.viewport()->width());  // the last one runs to the edge
    }

    // Too narrow for everything: the free-text column gives up room first, the others stay
    // whole.
    void theElasticColumnGivesUpRoomDownToItsTitle() {
        QTreeWidget view;
        view.setHeaderLabels({"Code", "Description", "Type", "Format"});
        new QTreeWidgetItem(&view, {"NAISSANCE", QString(80, 'x'), "Chaîne variable", "10 car."});
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view, 1);
        for (int c : {0, 2, 3})
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
        QVERIFY(view.columnWidth(1) < valuesWidth(view, 1));
        QVERIFY(view.columnWidth(1) >= view.header()->sectionSizeHint(1));
        int used = 0;
        for (int c = 0; c < view.columnCount(); ++c) used += view.columnWidth(c);
        QVERIFY(used <= view.viewport()->width());
    }

    // A last column wider than the view keeps what it shows: the view scrolls to it.
    void aLastColumnTooWideForTheViewKeepsItsContentWidth() {
        QTreeWidget view;
        view.setHeaderLabels({"Application/Extension", "Statut", "Fichier"});
        new QTreeWidgetItem(&view, {"install.cmd", "Terminé.",
                                    "https://morvex-fylatek.example.org/releases/" + QString(60, 'x')});
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view);
        for (int c = 0; c < view.columnCount(); ++c)
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
    }

    // Rows that arrive later (a status that grows from "En cours..." to "Terminé.") are fitted
    // without being asked.
    void keptColumnsFollowTheRowsThatChange() {
        QTableWidget table(1, 3);
        table.setHorizontalHeaderLabels({"Application/Extension", "Statut", "Fichier"});
        table.setItem(0, 0, new QTableWidgetItem("a.zip"));
        table.setItem(0, 1, new QTableWidgetItem("OK"));
        table.resize(700, 200);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        keepColumnsFitted(&table);
        table.item(0, 1)->setText("En cours de téléchargement, patientez...");
        QTRY_VERIFY(table.columnWidth(1) >= valuesWidth(table, 1));
        QVERIFY(table.columnWidth(1) > table.horizontalHeader()->sectionSizeHint(1));
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
