// The wizard through its real windows (offscreen), a local server and a scripted person.
#include "setup/setupwizard.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>

#include "desktop/columnfit.h"
#include "foundation/testing/tempdir.h"
#include "setup/tests/localserver.h"
#include "setup/welcomepage.h"

namespace fs = std::filesystem;
using morvex::UiAnswer;
using morvex::testing::LocalServer;
using morvex::testing::TempDir;

// A person who answers from a script and remembers the questions.
struct ScriptedPerson {
    std::deque<UiAnswer> answers;        // next answers; No once exhausted
    std::vector<std::string> questions;  // "caption|text"

    SetupAsker asker() {
        return [this](QWidget*, const std::string& caption, const std::string& text,
                      morvex::UiButtons, morvex::UiIcon) {
            questions.push_back(caption + "|" + text);
            if (answers.empty()) return UiAnswer::No;
            const UiAnswer a = answers.front();
            answers.pop_front();
            return a;
        };
    }
};

class SetupWizardTest : public QObject {
    Q_OBJECT

private slots:
    void startsOnTheWelcomePage();
    void nextShowsTheUpdatePageWithItsListAndFinishButton();
    void downloadsTheListedFilesAndShowsEachRowsOutcome();
    void closingDuringAStalledDownloadDoesNotHang();
};

void SetupWizardTest::startsOnTheWelcomePage() {
    SetupWizardOptions options;
    options.startWorker = false;
    SetupWizard wizard(options);
    wizard.show();
    QCOMPARE(wizard.windowTitle(), QStringLiteral("MorvexSoft Online Setup"));
    auto* welcome = qobject_cast<WelcomePage*>(wizard.currentPage());
    QVERIFY(welcome);
    QCOMPARE(welcome->windowTitle(), QStringLiteral("Bienvenue"));
    QCOMPARE(welcome->titleLabel()->text(), QStringLiteral("Bienvenue!"));
    QCOMPARE(welcome->textLabel()->text(),
             QStringLiteral("Bienvenue dans l'installation de Morvex Fylatek 2014 Ce programme va "
                            "vous permettre d'effectuer l'installation de Morvex Fylatek via "
                            "Internet. Vérifiez que votre connexion est bien activée."));
    QCOMPARE(wizard.nextButton()->text(), QStringLiteral("Suivant >>"));
    QCOMPARE(wizard.quitButton()->text(), QStringLiteral("Quitter"));
    QVERIFY(wizard.nextButton()->isVisible());
    // The two buttons stand apart.
    QVERIFY(wizard.quitButton()->geometry().left() - wizard.nextButton()->geometry().right() > 6);
    // Pages are placed right of the 150-pixel picture.
    QVERIFY(welcome->mapTo(&wizard, QPoint(0, 0)).x() >= 150);
}

void SetupWizardTest::nextShowsTheUpdatePageWithItsListAndFinishButton() {
    SetupWizardOptions options;
    options.startWorker = false;
    SetupWizard wizard(options);
    wizard.show();
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);

    UpdatePage* page = wizard.updatePage();
    QVERIFY(page);
    QCOMPARE(page->windowTitle(), QStringLiteral("Liste des mises à jour"));
    // The page has its heading, as the welcome page has its own.
    auto* heading = page->findChild<QLabel*>("heading");
    QVERIFY(heading && heading->isVisible());
    QCOMPARE(heading->text(), QStringLiteral("Liste des mises à jour"));
    QVERIFY(heading->font().bold());
    QCOMPARE(wizard.quitButton()->text(), QStringLiteral("Terminer"));
    QVERIFY(!wizard.nextButton()->isVisible());
    QCOMPARE(page->statusLabel()->text(), QStringLiteral("Prêt"));
    QTreeWidget* list = page->list();
    const QStringList headers = {"Application/Extension", "Statut", "Version locale",
                                 "Dernière version", "Fichier"};
    QCOMPARE(list->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(list->headerItem()->text(c), headers[c]);
        // Titles whole: "Dernière version" is not clipped.
        QVERIFY2(list->columnWidth(c) >= morvex::columnContentWidth(list, c),
                 qPrintable(headers[c]));
    }
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);

    QTest::mouseClick(wizard.quitButton(), Qt::LeftButton);
    QVERIFY(!wizard.isVisible());
}

void SetupWizardTest::downloadsTheListedFilesAndShowsEachRowsOutcome() {
    TempDir root("setup_wiz_root");
    TempDir target("setup_wiz_target");
    fs::create_directories(root.file("MorvexFylatek"));
    fs::create_directories(root.file("a/b"));
    root.write("a/b/tool.zip", "zip");
    root.write("readme.txt", "read me");
    auto server = LocalServer::serveDirectory(root.path());
    QVERIFY(server);
    const std::string base = server->url();
    root.write("MorvexFylatek/liveupdate.txt",
               base + "/a/b/tool.zip\r\n" + base + "/missing.bin\r\n" + base + "/readme.txt\r\n");
    ScriptedPerson person;
    person.answers = {UiAnswer::Yes, UiAnswer::No};
    SetupWizardOptions options;
    options.job.server = base;
    options.job.directory = target.path();
    options.job.connectTimeoutSeconds = 5;
    options.job.stallTimeoutSeconds = 5;
    options.asker = person.asker();
    SetupWizard wizard(options);
    wizard.show();
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    UpdatePage* page = wizard.updatePage();
    QVERIFY(page);

    QTRY_VERIFY_WITH_TIMEOUT(page->finished(), 20000);

    QTreeWidget* list = page->list();
    QCOMPARE(list->topLevelItemCount(), 3);
    const char* names[] = {"tool.zip", "missing.bin", "readme.txt"};
    const char* statuses[] = {"Terminé.", "ERREUR", "Terminé."};
    for (int r = 0; r < 3; ++r) {
        QTreeWidgetItem* item = list->topLevelItem(r);
        QCOMPARE(item->text(COL_NAME), QString::fromUtf8(names[r]));
        QCOMPARE(item->text(COL_STATUS), QString::fromUtf8(statuses[r]));
        QCOMPARE(item->text(COL_LOCAL_VERSION), QString());
        QCOMPARE(item->text(COL_LATEST_VERSION), QString());
        QCOMPARE(item->checkState(COL_NAME), Qt::Checked);
    }
    QCOMPARE(list->topLevelItem(2)->text(COL_URL), QString::fromStdString(base + "/readme.txt"));
    // Every state whole ("Terminé.", "ERREUR") at the window's default size.
    QApplication::processEvents();
    for (int c = 0; c < COL_URL; ++c)
        QVERIFY2(list->columnWidth(c) >= morvex::columnContentWidth(list, c),
                 qPrintable(QString::number(c)));
    QCOMPARE(page->statusLabel()->text(), QStringLiteral("Terminé"));
    QCOMPARE(page->progressBar()->maximum(), 3);
    QCOMPARE(page->progressBar()->value(), 3);
    // A file missing: the failure is told and no installation is offered.
    QCOMPARE(person.questions.size(), size_t{2});
    QCOMPARE(person.questions[0], std::string("MorvexSoft LiveUpdate|Télécharger les fichiers ?"));
    QCOMPARE(person.questions[1],
             std::string("Morvex Online Setup|1 fichier(s) sur 3 n'ont pas pu être téléchargés : "
                         "l'installation n'est pas lancée.\nmissing.bin : refusé par le serveur : "
                         "HTTP/1.0 404 File not found"));
    QCOMPARE(page->result().end, LIVEUPDATE_END::DownloadFailed);
    QVERIFY(fs::exists(target.file("tool.zip")));
    QVERIFY(!fs::exists(target.file("missing.bin")));
}

void SetupWizardTest::closingDuringAStalledDownloadDoesNotHang() {
    morvex::testing::SilentServer silent;
    TempDir target("setup_wiz_stall");
    SetupWizardOptions options;
    options.job.server = silent.url();
    options.job.directory = target.path();
    auto* wizard = new SetupWizard(options);
    wizard->show();
    wizard->showNextPage();
    UpdatePage* page = wizard->updatePage();
    QTRY_COMPARE_WITH_TIMEOUT(
        page->statusLabel()->text(),
        QStringLiteral("Connexion au serveur pour récupérer le fichier de description..."), 5000);
    const auto start = std::chrono::steady_clock::now();
    delete wizard;
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(5));
}

QTEST_MAIN(SetupWizardTest)
#include "setupwizard_test.moc"
