// The project properties: separator choice shown and written, end of line, structure.
#include "app/projectpropertiesdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <cstring>

#include "app/tests/apptest.h"
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
        QCOMPARE(QString(desc_->FieldDelimiterChars), QString("\t"));
        QCOMPARE(QString(desc_->EndOfLineChars), QString("\n"));
        QCOMPARE(desc_->FirstLineIsHeader, 1);
        QCOMPARE(desc_->BeginFromLine, 3);
        QCOMPARE(QString(desc_->TableName), QString("CLIENT"));
        QCOMPARE(desc_->isModified, 1);
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
};

QTEST_MAIN(ProjectPropertiesDialogTest)
#include "projectpropertiesdialog_test.moc"
