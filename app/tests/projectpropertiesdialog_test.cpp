// The project properties: separator choice shown and written, end of line, structure, encoding
// and unquoting, and what an example file's first bytes pre-select.
#include "app/projectpropertiesdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <cstring>

#include "app/tests/apptest.h"
#include "filedesc/descdialect.h"
#include "filedesc/filedesc.h"

using namespace morvex;

class ProjectPropertiesDialogTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    FileDesc* desc_ = nullptr;

private slots:
    void init() {
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Clients", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", "#");
        desc_->isModified = 0;
    }
    void cleanup() { FILEDESC_CloseFileDesc(desc_); }

    void anUnusualSeparatorIsShownAsOtherWithItsText() {
        ProjectPropertiesDialog dialog(desc_, false);
        QCOMPARE(dialog.windowTitle(), QString("Propriétés du fichier de format"));
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        QCOMPARE(dialog.otherSeparatorField()->text(), QString("#"));
        QCOMPARE(dialog.nameField()->text(), QString("Clients"));
    }

    void theChosenSeparatorAndEndOfLineAreWrittenConverted() {
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.separatorButton(SEPARATOR_TAB)->setChecked(true);
        dialog.endOfLineField()->setCurrentText("\\n");
        dialog.headerBox()->setChecked(true);
        dialog.firstLineField()->setValue(3);
        dialog.tableField()->setText("CLIENT");
        dialog.accept();
        QCOMPARE(QString(desc_->FieldDelimiter), QString("\\t"));
        QCOMPARE(QString::fromStdString(FILEDESC_DelimiterBytes(*desc_)), QString("\t"));
        QCOMPARE(QString::fromStdString(FILEDESC_LineEndBytes(*desc_)), QString("\n"));
        QCOMPARE(desc_->FirstLineIsHeader, 1);
        QCOMPARE(desc_->BeginFromLine, 3);
        QCOMPARE(QString(desc_->TableName), QString("CLIENT"));
        QCOMPARE(desc_->isModified, 1);
    }

    void aNameWithALineEndOrATabIsRefusedAndNothingIsWritten() {
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.tableField()->setText("CLIENT\tS");
        dialog.separatorButton(SEPARATOR_TAB)->setChecked(true);
        QVERIFY(!dialog.apply());
        QVERIFY(dialog.refusalLabel()->text().contains("de la table"));
        QCOMPARE(QString(desc_->TableName), QString(""));
        QCOMPARE(QString(desc_->FieldDelimiter), QString("#"));
        QCOMPARE(desc_->isModified, 0);
        dialog.tableField()->setText("CLIENTS");
        QVERIFY(dialog.apply());
        QCOMPARE(QString(desc_->TableName), QString("CLIENTS"));
    }

    void fixedWidthEmptiesTheSeparatorAndTheWizardProposesMonProjet() {
        desc_->ProjectName[0] = '\0';
        ProjectPropertiesDialog dialog(desc_, true);
        QCOMPARE(dialog.windowTitle(), QString("Nouveau fichier de format"));
        QCOMPARE(dialog.nameField()->text(), QString("MonProjet"));
        dialog.fixedWidthButton()->setChecked(true);
        dialog.accept();
        QCOMPARE(desc_->TypeStructFile, int(STRUCTFILE_FIXED));
        QCOMPARE(QString(desc_->FieldDelimiter), QString());
        QCOMPARE(QString(desc_->ProjectName), QString("MonProjet"));
    }

    void theWizardPreselectsWhatItsExampleFileSaysAndThePersonHasTheLastWord() {
        const std::string csv = env_.dir().write(
            "villes.csv",
            "\"Ville\",\"Pays\",Habitants\n\"Paris\",\"France\",2100000\n"
            "\"Besançon, centre\",\"France\",117000\n\"Gand\",\"Belgique\",265000\n");
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(csv.c_str());
        ProjectPropertiesDialog dialog(desc_, true);
        QVERIFY(dialog.separatorButton(SEPARATOR_COMMA)->isChecked());
        QCOMPARE(dialog.endOfLineField()->currentText(), QString("\\n"));
        QCOMPARE(dialog.encodingField()->currentText(), QString("UTF-8"));
        QVERIFY(dialog.unquoteBox()->isChecked());
        QCOMPARE(dialog.quoteCharField()->text(), QString("\""));

        dialog.separatorButton(SEPARATOR_SEMICOLON)->setChecked(true);
        // Leaving the path unchanged does not read the file again over the person's choice.
        emit dialog.exampleField()->editingFinished();
        dialog.accept();
        QCOMPARE(QString(desc_->FieldDelimiter), QString(";"));
        QCOMPARE(QString::fromStdString(FILEDESC_LineEndBytes(*desc_)), QString("\n"));
        QCOMPARE(QString(desc_->Encoding), QString("UTF-8"));
        QCOMPARE(desc_->Unquote, 1);
        QCOMPARE(desc_->QuoteChar, '"');
    }

    void theSheetReadsATypedExampleOnceConfirmedAndWritesEncodingAndUnquoting() {
        ProjectPropertiesDialog dialog(desc_, false);
        QVERIFY(dialog.sizeHint().height() <= 700);  // room left on a 1024x768 screen
        QVERIFY(!dialog.quoteCharField()->isEnabled());
        // A path that cannot be read pre-selects nothing.
        dialog.exampleField()->setText(QString::fromStdString(env_.dir().file("absent.csv")));
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        QCOMPARE(dialog.encodingField()->currentText(), QString());
        // A readable one does, once confirmed.
        const std::string tsv = env_.dir().write("codes.tsv", "CODE\tLIBELLE\r\nA1\tUn\r\n");
        dialog.exampleField()->setText(QString::fromStdString(tsv));
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_TAB)->isChecked());
        QVERIFY(!dialog.unquoteBox()->isChecked());

        dialog.encodingField()->setCurrentText(" windows-1252");
        dialog.unquoteBox()->setChecked(true);
        QVERIFY(dialog.quoteCharField()->isEnabled());
        dialog.quoteCharField()->setText("'");
        dialog.apply();
        QCOMPARE(QString(desc_->Encoding), QString("WINDOWS-1252"));
        QCOMPARE(desc_->Unquote, 1);
        QCOMPARE(desc_->QuoteChar, '\'');
        dialog.unquoteBox()->setChecked(false);
        dialog.accept();
        QCOMPARE(desc_->Unquote, 0);
        QCOMPARE(desc_->QuoteChar, '\0');
    }

    // An input whose option is off cannot be typed into; the example file's field keeps its room
    // whatever the longest label, and the wizard fits a 1024x768 screen.
    void inputsAreUsableOnlyWithTheirOptionAndEachHasRoom() {
        ProjectPropertiesDialog dialog(desc_, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialog.fixedLineBox()->isChecked());
        QVERIFY(!dialog.lineLengthField()->isEnabled());
        dialog.fixedLineBox()->setChecked(true);
        QVERIFY(dialog.lineLengthField()->isEnabled());
        QVERIFY(dialog.otherSeparatorField()->isEnabled());  // "#": Autre
        dialog.separatorButton(SEPARATOR_COMMA)->setChecked(true);
        QVERIFY(!dialog.otherSeparatorField()->isEnabled());
        dialog.separatorButton(SEPARATOR_OTHER)->setChecked(true);
        QVERIFY(dialog.otherSeparatorField()->isEnabled());

        QVERIFY2(dialog.exampleField()->width() >= dialog.width() / 3,
                 qPrintable(QString::number(dialog.exampleField()->width())));
        QVERIFY2(dialog.nameField()->width() >= dialog.width() / 2,
                 qPrintable(QString::number(dialog.nameField()->width())));
        QVERIFY(dialog.frameGeometry().height() <= 768 - 40);
    }
};

QTEST_MAIN(ProjectPropertiesDialogTest)
#include "projectpropertiesdialog_test.moc"
