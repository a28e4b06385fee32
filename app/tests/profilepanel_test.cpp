// The profile panel over the bundled example: the figures the core computes, one chart per
// column, a description edited while the worker reads, no example file.
#include "app/profilepanel.h"

#include <QLabel>
#include <QTest>
#include <string>

#include "app/tests/apptest.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "filedesc/filedesc.h"
#include "profile/profilereport.h"

using namespace morvex;

class ProfilePanelTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    FileDesc* desc_ = nullptr;

private slots:
    void init() {
        port_ = new QtUiPort;
        FILEDESC_Initialize();
        std::string error;
        desc_ = FILEDESC_OpenFileDesc(MORVEX_SOURCE_DIR_PATH "/examples/clients.fyk", &error);
        QVERIFY2(desc_ != nullptr, error.c_str());
        gcontexte.currentFile = desc_;
    }

    void cleanup() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete port_;
    }

    void showsTheCoreFiguresOfEveryColumnWithAChart() {
        FileProfile expected;
        QVERIFY(PROFILE_Compute(nullptr, desc_, desc_->ExampleFilePath, &expected));
        desc_->isModified = 1;
        ProfilePanel panel;
        panel.resize(270, 500);
        panel.refresh();
        QTRY_VERIFY_WITH_TIMEOUT(panel.profile() != nullptr, 10000);
        QCOMPARE(desc_->isModified, 1);  // the worker's copy leaves the description as it was
        QCOMPARE(panel.profile()->rows, expected.rows);
        QCOMPARE(panel.profile()->columns.size(), expected.columns.size());
        QVERIFY2(panel.factsText().startsWith("Choisissez une colonne"), qPrintable(panel.factsText()));
        for (const ColumnProfile& c : expected.columns) {
            panel.showColumn(QString::fromStdString(c.name));
            const QString facts = panel.factsText();
            QVERIFY2(facts.contains(QString::fromStdString(c.name)), qPrintable(facts));
            QVERIFY2(facts.contains(QString::fromStdString(PROFILE_DistinctText(c)).toHtmlEscaped()),
                     qPrintable(facts));
            if (!c.minimum.empty())
                QVERIFY2(facts.contains(QString::fromStdString(c.minimum).toHtmlEscaped()),
                         qPrintable(facts));
            QVERIFY2(panel.chart()->isVisibleTo(&panel), c.name.c_str());
            QVERIFY2(panel.chart()->barCount() > 0, c.name.c_str());
        }
        // The dates as dates, the balances as numbers with their scale.
        panel.showColumn("NAISSANCE");
        QVERIFY(panel.factsText().contains("1958-02-02"));
        panel.showColumn("SOLDE");
        QVERIFY(panel.factsText().contains("-15.00"));
        QVERIFY(panel.factsText().contains("12000.75"));
    }

    void aDescriptionEditedMeanwhileLeavesTheProfileOfWhatWasRead() {
        ProfilePanel panel;
        panel.refresh();
        // The person deletes the first column while the worker reads.
        std::vector<ColumnDesc*> columns = DESCEDIT_Columns(desc_);
        const std::string first = columns.front()->code;
        const size_t count = columns.size();
        DESCEDIT_DeleteColumns(desc_, {columns.front()});
        QTRY_VERIFY_WITH_TIMEOUT(panel.profile() != nullptr, 10000);
        QCOMPARE(panel.profile()->columns.size(), count);
        QCOMPARE(panel.profile()->columns.front().name, first);
        // Asked again, it profiles the description as it is now.
        panel.refresh();
        QTRY_VERIFY_WITH_TIMEOUT(panel.profile() != nullptr, 10000);
        QCOMPARE(panel.profile()->columns.size(), count - 1);
    }

    void withoutAnExampleFileSaysSo() {
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = nullptr;
        ProfilePanel panel;
        panel.refresh();
        QVERIFY(!panel.busy());
        QVERIFY(panel.profile() == nullptr);
        bool said = false;
        for (QLabel* label : panel.findChildren<QLabel*>())
            said |= label->text().contains("Aucun fichier exemple.");
        QVERIFY(said);
    }
};

QTEST_MAIN(ProfilePanelTest)
#include "profilepanel_test.moc"
