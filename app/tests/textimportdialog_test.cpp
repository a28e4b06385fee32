// The text description import dialog over the bundled layouts: pasted fixed-width lines with
// and without the ZRT rules, rows pasted from a spreadsheet, a layout that cannot be read.
#include "app/textimportdialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "appcore/application.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"

using namespace morvex;

namespace {

std::string source(const std::string& relative) {
    return std::string(MORVEX_SOURCE_DIR_PATH) + "/" + relative;
}

// "code type width/format" of every column, in order.
QStringList columns(FileDesc* desc) {
    QStringList out;
    for (int n = 1; n <= static_cast<int>(desc->columns.size()); ++n) {
        ColumnDesc* c = FILEDESC_SearchColumnByPos(desc, n);
        const TypeCible& t = c->typeCible;
        QString format;
        switch (t.type) {
            case DATATYPE_INTEGER: format = QString::number(t.fmtEntier.taille); break;
            case DATATYPE_DECIMAL:
                format = QString("%1,%2").arg(t.fmtDecimal.partieEntiere).arg(
                    t.fmtDecimal.partieDecimale);
                break;
            case DATATYPE_DATE: format = t.fmtDate; break;
            case DATATYPE_FIXEDCHAR: format = QString::number(t.fmtChaineFixe.taille); break;
            case DATATYPE_VARIABLECHAR: format = QString::number(t.fmtChaineVar.tailleMax); break;
            default: break;
        }
        out << QString("%1 %2 %3/%4%5")
                   .arg(c->code)
                   .arg(t.type)
                   .arg(c->WidthInChars)
                   .arg(format)
                   .arg(c->IgnoreColumn ? " ignorée" : "");
    }
    return out;
}

}  // namespace

class TextImportDialogTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;

    // The pasted lines of the fixed-width example.
    const QString fixedText = "CLI_NOM   VARCHAR   30   \n"
                              "MONTANT   DECIMAL   10,2 \n"
                              "DTCRE     DECIMAL   8    \n"
                              "COETB     CHAR      5    \n"
                              "SOLDE     NUMERIC   12   \n";

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Import", nullptr, STRUCTFILE_FIXED, "\\r\\n", "");
        desc_->isModified = 0;
        gcontexte.currentFile = desc_;
    }
    void cleanup() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void pastedFixedWidthLinesGiveTheirColumnsWithTheZrtRules() {
        TextImportDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Charger une description textuelle"));
        QVERIFY(dialog.zrtBox()->isChecked());
        dialog.textArea()->setPlainText(fixedText);
        dialog.formatField()->setText(
            QString::fromStdString(source("examples/import/layout_fixed.fyk")));
        QTest::mouseClick(dialog.loadButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(columns(desc_), QStringList({
                                     "CLI_NOM 5 30/30",
                                     "MONTANT 1 14/10,2",   // P + S + 2
                                     "DTCRE 2 10/aaaammjj",  // a date
                                     "COETB 4 5/5 ignorée",
                                     "SOLDE 0 14/12",  // an integer, two wider as the last
                                 }));
        QCOMPARE(desc_->isModified, 1);
        QVERIFY(person_->messages.empty());
    }

    void withoutTheZrtRulesTheColumnsStayAsWritten() {
        TextImportDialog dialog;
        dialog.textArea()->setPlainText(fixedText);
        dialog.formatField()->setText(
            QString::fromStdString(source("examples/import/layout_fixed.fyk")));
        dialog.zrtBox()->setChecked(false);
        QVERIFY(dialog.charger());
        QCOMPARE(columns(desc_), QStringList({"CLI_NOM 5 30/30", "MONTANT 1 10/10,2",
                                              "DTCRE 1 8/8,0", "COETB 4 5/5", "SOLDE 1 12/12,0"}));
    }

    void rowsCopiedFromASpreadsheetWithTheBundledLayout() {
        TextImportDialog dialog;
        // The dialog proposes the layout of tab-separated rows under a header.
        QCOMPARE(QFileInfo(dialog.formatField()->text()).fileName(), QString("layout_tab.fyk"));
        dialog.zrtBox()->setChecked(false);
        dialog.textArea()->setPlainText("Nom\tLibellé\tType\tTaille\r\n"
                                        "CLI_NOM\tNom du client \tvarchar\t30\r\n"
                                        "CLI_ID\tIdentifiant\xC2\xA0" "du client\tINT\t9\r\n"
                                        "DTNAIS\tNé(e) le\tDATE\t10\r\n");
        QVERIFY(dialog.charger());
        QCOMPARE(columns(desc_), QStringList({"CLI_NOM 5 30/30", "CLI_ID 0 9/9",
                                              "DTNAIS 2 10/aaaammjj"}));
        QCOMPARE(FILEDESC_SearchColumnByPos(desc_, 2)->Description, "Identifiant du client");
    }

    void aLayoutThatCannotBeReadKeepsTheDialogAndTheText() {
        TextImportDialog dialog;
        dialog.textArea()->setPlainText(fixedText);
        dialog.formatField()->setText(QString::fromStdString(env_.dir().file("absent.fyk")));
        QVERIFY(!dialog.charger());
        QCOMPARE(static_cast<int>(desc_->columns.size()), 0);
        QCOMPARE(person_->messages.size(), size_t(1));
        QVERIFY(person_->messages[0].rfind(
                    "Chargement à partir d'une description|Erreur de chargement du fichier de "
                    "format pour la description.",
                    0) == 0);
        QCOMPARE(dialog.textArea()->toPlainText(), fixedText);

        // "..." puts the chosen layout in the field.
        person_->files = {source("examples/import/layout_fixed.fyk")};
        dialog.chooseFormat();
        QCOMPARE(person_->prompts.back().substr(0, 30), std::string("Ouvrir un fichier de format..."));
        QVERIFY(dialog.charger());
        QCOMPARE(static_cast<int>(desc_->columns.size()), 5);
    }

    void anOverLongLineIsToldAndStillImported() {
        TextImportDialog dialog;
        dialog.formatField()->setText(
            QString::fromStdString(source("examples/import/layout_fixed.fyk")));
        dialog.zrtBox()->setChecked(false);
        dialog.textArea()->setPlainText("LONG      VARCHAR   40   " + QString(3000, 'x'));
        QVERIFY(dialog.charger());
        QCOMPARE(person_->messages,
                 std::vector<std::string>(
                     {"Aperçu des résultats|Attention! Une ligne trop longue a été tronquée."}));
        QCOMPARE(columns(desc_), QStringList({"LONG 5 40/40"}));
    }
};

QTEST_MAIN(TextImportDialogTest)
#include "textimportdialog_test.moc"
