// The contextual help panel: topics, runs and their colours, and links to commands and files.
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolBar>
#include <QAction>

#include "app/helppanel.h"
#include "app/tests/apptest.h"

using namespace morvex;

class HelpPanelTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;

    // The character format at the start of the first occurrence of `text`.
    static QTextCharFormat formatOf(HelpPanel& panel, const QString& text) {
        QTextCursor found = panel.textArea()->document()->find(text);
        QTextCursor at(panel.textArea()->document());
        at.setPosition(found.selectionStart() + 1);
        return at.charFormat();
    }

private slots:
    void theLinksOfTheWelcomeTopicStartNewAndTheAnalysis() {
        HelpPanel panel;
        QSignalSpy commands(&panel, &HelpPanel::commandRequested);
        panel.EcrireMessageInfo(1);
        QVERIFY(panel.plainText().startsWith("Bienvenue dans Morvex Fylatek!\n\nFylatek vous "
                                             "permet de définir des formats"));
        const QList<QUrl> links = panel.links();
        QCOMPARE(links.size(), 3);
        for (const QUrl& link : links) panel.activateLink(link);
        QCOMPARE(commands.size(), 3);
        QCOMPARE(commands[0][0].toInt(), 1044);
        QCOMPARE(commands[1][0].toInt(), 1044);
        QCOMPARE(commands[2][0].toInt(), 1051);
    }

    void topicsThreeAndNineLeaveThePanelEmpty() {
        HelpPanel panel;
        for (int topic : {3, 9}) {
            panel.EcrireMessageInfo(1);
            panel.EcrireMessageInfo(topic);
            QVERIFY(panel.plainText().isEmpty());
        }
    }

    void topicsTwoAndZeroStartWithTheirTitlesInTheTitleColour() {
        HelpPanel panel;
        panel.EcrireMessageInfo(2);
        QVERIFY(panel.plainText().startsWith("Fenêtre de création d'un nouveau fichier de format."));
        QCOMPARE(formatOf(panel, "Fenêtre").foreground().color(), QColor(0, 0, 100));
        QVERIFY(formatOf(panel, "Fenêtre").fontWeight() == QFont::Bold);
        QCOMPARE(formatOf(panel, "Nom du projet : ").foreground().color(), QColor(72, 0, 100));
        QVERIFY(panel.plainText().contains("Fylatek prendra alors les premières lignes comme "
                                           "exemple."));
        panel.EcrireMessageInfo(0);
        QVERIFY(panel.plainText().startsWith("Saisie des colonnes\nPour ajouter une description"));
    }

    void requestsAppendRunsInTheirColoursAtTheEnd() {
        HelpPanel panel;
        panel.request(UiPanel::Normal, 0, "normal ");
        panel.request(UiPanel::BoldColour, 0x0000FF, "erreur ");  // red as 0x00BBGGRR
        panel.request(UiPanel::BoldColour, 0x14DC14, "ok");
        QCOMPARE(panel.plainText(), QString("normal erreur ok"));
        QCOMPARE(formatOf(panel, "erreur").foreground().color(), QColor(255, 0, 0));
        QVERIFY(formatOf(panel, "erreur").fontWeight() == QFont::Bold);
        QCOMPARE(formatOf(panel, "ok").foreground().color(), QColor(0x14, 0xDC, 0x14));
        QVERIFY(formatOf(panel, "normal").fontWeight() != QFont::Bold);
        panel.request(UiPanel::Clear, 0, "");
        QVERIFY(panel.plainText().isEmpty());
        panel.request(UiPanel::HelpTopic, 1, "");
        QVERIFY(panel.plainText().startsWith("Bienvenue"));
    }

    void twoGeneratedFilesLeaveTwoLinksThatOpenThoseFiles() {
        apptest::Person person(*new QtUiPort(this));
        HelpPanel panel;
        {
            // The writer's texts go away: the panel keeps its own copies.
            std::string first = env_.dir().write("gen/a.sql", "a");
            std::string second = env_.dir().write("b.sql", "b");
            panel.request(UiPanel::Normal, 0, "OK ");
            panel.request(UiPanel::Link, 0xFF0000, first);
            panel.request(UiPanel::Normal, 0, "\nOK ");
            panel.request(UiPanel::Link, 0xFF0000, second);
        }
        const QList<QUrl> links = panel.links();
        QCOMPARE(links.size(), 2);
        for (const QUrl& link : links) panel.activateLink(link);
        QCOMPARE(person.opened.size(), size_t(2));
        QCOMPARE(person.opened[0].toLocalFile(), QString::fromStdString(env_.dir().file("gen/a.sql")));
        QCOMPARE(person.opened[1].toLocalFile(), QString::fromStdString(env_.dir().file("b.sql")));
        QCOMPARE(formatOf(panel, "b.sql").foreground().color(), QColor(0, 0, 255));
        // After a clear the old links lead nowhere.
        panel.clear();
        panel.activateLink(links[0]);
        QCOMPARE(person.opened.size(), size_t(2));
    }

    void theToolBarPassesItsCommandsOn() {
        HelpPanel panel;
        QSignalSpy commands(&panel, &HelpPanel::commandRequested);
        const auto actions = panel.toolBar()->actions();
        QCOMPARE(actions.size(), 3);
        actions[2]->trigger();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0][0].toInt(), 1057);
    }

    void theLayoutFollowsTheSize() {
        HelpPanel panel;
        panel.resize(200, 600);
        panel.show();
        QCOMPARE(panel.textArea()->geometry(), QRect(0, 45, 200, 355));
        QCOMPARE(panel.lowerArea()->geometry().top(), 402);
        QCOMPARE(panel.lowerArea()->geometry().bottom(), 599);
    }
};

QTEST_MAIN(HelpPanelTest)
#include "helppanel_test.moc"
