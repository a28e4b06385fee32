// Start-up of morvex: the first run (settings, file types, Options before the main window) and
// the real program started as a process (start-up time trace, screenshots).
#include <QDialog>
#include <QLineEdit>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "appcore/application.h"
#include "app/mainwindow.h"
#include "app/optionsdialog.h"
#include "app/tests/apptest.h"
#include "foundation/testing/files.h"
#include "foundation/registry.h"

using namespace morvex;

namespace {

using morvex::testing::readFile;

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunWritesTheSettingsRegistersBothTypesThenShowsOptionsBeforeTheMainWindow() {
        apptest::Environment env(/*firstRun=*/true);
        // The log of a first run goes to the user's state folder: keep it in ours.
        setenv("XDG_STATE_HOME", env.dir().path().c_str(), 1);
        // A fake xdg-mime that records its calls.
        mkdir(env.dir().file("bin").c_str(), 0755);
        std::string script = env.dir().write(
            "bin/xdg-mime", "#!/bin/sh\necho \"$@\" >> '" + env.dir().file("calls") + "'\n");
        chmod(script.c_str(), 0755);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QByteArray(env.dir().file("bin").c_str()) + ":" + oldPath);

        QtUiPort port;
        apptest::Person person(port);
        MainWindow window;
        bool mainShownDuringOptions = true;
        std::string formatsField;
        setDialogRunner([&](QDialog* dialog) {
            person.dialogs.push_back(dialog->windowTitle().toStdString());
            mainShownDuringOptions = window.isVisible();
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            if (options) formatsField = options->formatsField()->text().toStdString();
            dialog->accept();
            return int(QDialog::Accepted);
        });
        window.initialise(nullptr, "");
        qputenv("PATH", oldPath);
        unsetenv("XDG_STATE_HOME");

        QCOMPARE(person.dialogs, std::vector<std::string>{"Options"});
        QVERIFY(!mainShownDuringOptions);
        QCOMPARE(formatsField, std::string());
        auto key = SettingsKey::open(kSettingsKeyPath, REG_KEY_READ);
        QVERIFY(key != nullptr);
        QCOMPARE(key->valueNames().size(), size_t(20));
        QCOMPARE(key->get("Version").value_or(""), std::string("1.4"));
        QCOMPARE(key->get("PremiereUtilisation").value_or(""), std::string("1"));
        // Applying the sheet wrote the context as it stood before the settings were read...
        QCOMPARE(key->get("FileAnalyseMaxRows").value_or(""), std::string("0"));
        QCOMPARE(key->get("ScriptsDirectory").value_or("x"), std::string());
        // ...which reads back as the defaults.
        QCOMPARE(gcontexte.fileAnalyseMaxRows, 1000u);
        QCOMPARE(gcontexte.sqliteBatchSize, 1000u);

        const std::string calls = readFile(env.dir().file("calls"));
        const size_t tpl = calls.find("default morvex-fylatek.desktop application/x-morvex-fylatek-tpl");
        const size_t fyk = calls.find("default morvex-fylatek.desktop application/x-morvex-fylatek-fyk");
        QVERIFY(tpl != std::string::npos && fyk != std::string::npos && tpl < fyk);
        QVERIFY(QFileInfo::exists(
            QString::fromStdString(env.dir().file("data/applications/morvex-fylatek.desktop"))));
        QVERIFY(QFileInfo::exists(
            QString::fromStdString(env.dir().file("MorvexFylatek/MorvexFylatek.log"))));
        setDialogRunner({});
    }

    void theProgramStartsTracesItsStartUpTimeAndEnds() {
        apptest::Environment env;
        QProcess morvex;
        morvex.start(MORVEX_PATH, {"--exit-after-startup"});
        QVERIFY(morvex.waitForFinished(30000));
        QCOMPARE(morvex.exitCode(), 0);
        const std::string log = readFile(env.logFile());
        QVERIFY(log.find("\n[morvex] Démarrage en ") != std::string::npos);
        // Qt's French translation is in: the standard buttons read "Annuler", "Oui", "Non".
        const std::string translation = "\n[morvex] Traduction de Qt : [";
        const size_t at = log.find(translation);
        QVERIFY(at != std::string::npos);
        const std::string file = log.substr(at + translation.size(),
                                            log.find(']', at + translation.size()) -
                                                (at + translation.size()));
        QVERIFY2(QFileInfo(QString::fromStdString(file)).fileName() == "qtbase_fr.qm",
                 file.c_str());
        // What Qt said is in the log, marked as Qt's.
        QVERIFY(log.find("\n[Qt] Avertissement : ") != std::string::npos);
        QVERIFY(log.find("\nThis plugin") == std::string::npos);
        // The exit sequence ran: settings saved, memory report written.
        QVERIFY(QFileInfo::exists(QString::fromStdString(env.dir().file("MorvexFylatek.AllocMem.txt"))));
    }

    void screenshotsDrawEveryWindow() {
        apptest::Environment env;
        QProcess morvex;
        const QString dir = QString::fromStdString(env.dir().file("shots"));
        morvex.start(MORVEX_PATH, {"--screenshots", dir});
        QVERIFY(morvex.waitForFinished(60000));
        QCOMPARE(morvex.exitCode(), 0);
        for (const char* name : {"main", "splash", "options", "progress", "help"})
            QVERIFY2(QFileInfo(dir + "/morvex-" + name + ".png").size() > 1000, name);
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
