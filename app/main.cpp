// morvex: describe flat data files, inspect them and load them into databases.
//
//   morvex [files.fyk...]                 the program, opening the descriptions named
//   morvex --screenshots DIR [files...]   draws every window into DIR and exits
//   morvex --exit-after-startup [files]   starts without the splash delay, traces the start-up
//                                         time into the log and ends as a close would
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <malloc.h>
#include <string>
#include <vector>

#include "appcore/mainframe.h"
#include "desktop/pictures.h"
#include "desktop/qtmessages.h"
#include "desktop/translations.h"
#include "app/mainwindow.h"
#include "app/qtuiport.h"
#include "app/screenshots.h"
#include "app/splashwindow.h"
#include "foundation/datadir.h"
#include "foundation/trace.h"
#include "foundation/version.h"

namespace {

// The bundled example description that the screenshots open.
QString exampleDescription() {
    return QString::fromStdString(morvex::dataPath(std::string(DATADIR_EXAMPLES) + "/clients.fyk"));
}

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : morvex [DESCRIPTION.fyk]...\n"
    "  ou : morvex --screenshots DOSSIER [DESCRIPTION.fyk]...\n"
    "Importation de fichiers plats : décrire des fichiers de données plats (lignes de largeur\n"
    "fixe ou champs séparés par un caractère), les inspecter, les charger dans une base SQLite\n"
    "et générer scripts et documents par des templates. Ouvre les descriptions nommées.\n"
    "\n"
    "Options :\n"
    "      --screenshots DOSSIER   dessine chaque fenêtre dans DOSSIER et s'arrête\n"
    "      --exit-after-startup    démarre sans attendre, trace la durée du démarrage et\n"
    "                              s'arrête\n"
    "      --help                  affiche cette aide et s'arrête\n"
    "      --version               affiche la version et s'arrête\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts: no display is needed for them.
    if (morvex::answerVersionOrHelp(argc, argv, "morvex", kHelp)) return 0;
    // One malloc arena for every thread: a load's database thread then grows the heap by large
    // steps, not by one system call for each page of a large database (a quarter of its time).
    mallopt(M_ARENA_MAX, 1);
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName("morvex");
    // No display name: the desktop would add it to every window title, which already reads as
    // the program wants ("Morvex Fylatek 1.5.2 build 5697  - [clients]").
    // Qt's own messages join the log, marked as Qt's; its standard dialogs speak French.
    morvex::routeQtMessagesToTrace();
    const QString qtTranslation = morvex::installQtFrenchTranslations(&app);

    // Qt has taken its own options out of the arguments; ours remain.
    const QStringList arguments = QApplication::arguments();
    QString screenshotDir;
    bool screenshots = false;
    bool exitAfterStartup = false;
    std::vector<std::string> words;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--screenshots" && i + 1 < arguments.size()) {
            screenshots = true;
            screenshotDir = arguments[++i];
        } else if (arguments[i] == "--exit-after-startup") {
            exitAfterStartup = true;
        } else {
            words.push_back(arguments[i].toStdString());
        }
    }
    std::vector<const char*> argvWords = {"morvex"};
    for (const auto& w : words) argvWords.push_back(w.c_str());
    std::string commandLine =
        morvex::joinArguments(static_cast<int>(argvWords.size()), argvWords.data());
    if (screenshots && words.empty()) {
        const QString example = exampleDescription();
        commandLine = example.toStdString();
    }

    morvex::QtUiPort port;
    if (screenshots || exitAfterStartup) {
        // Nobody answers in these modes: messages go to the log, questions get their safe answer.
        port.setAnswerer([](const std::string& caption, const std::string&,
                            morvex::UiButtons buttons) {
            morvex::trace("\n[morvex] Message sans réponse possible : %s", caption.c_str());
            if (buttons == morvex::UiButtons::Ok) return morvex::UiAnswer::Ok;
            return buttons == morvex::UiButtons::YesNo ? morvex::UiAnswer::No
                                                        : morvex::UiAnswer::Cancel;
        });
    }
    morvex::SplashWindow* splash = nullptr;
    const bool quick = screenshots || exitAfterStartup;
    if (!quick) {
        splash = new morvex::SplashWindow;
        splash->show();
        QApplication::processEvents();
    }
    morvex::MainWindow window;
    window.setUnattended(quick);
    if (!quick) QThread::msleep(500);
    window.initialise(splash, commandLine);
    morvex::trace("\n[morvex] Traduction de Qt : [%s]", qtTranslation.toUtf8().constData());
    morvex::trace("\n[morvex] Manuel : [%s]", morvex::manualPath().toUtf8().constData());

    if (screenshots) {
        int status = morvex::takeScreenshots(window, screenshotDir);
        // The standard dialogs as the program shows them: a question, the file and folder
        // choosers.
        const QString shots = screenshotDir + "/morvex-";
        const QString examples = QFileInfo(exampleDescription()).absolutePath();
        bool ok = morvex::drawMessageBox(shots + "question.png", "Remplacer le fichier",
                                         "Ce fichier existe déjà. Voulez-vous le remplacer ?",
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                         QMessageBox::Question);
        ok &= morvex::drawFileDialog(shots + "open.png", "Ouvrir un fichier de format...",
                                     "Fichiers format Fylatek (*.fyk)", examples, false);
        ok &= morvex::drawFileDialog(shots + "save.png", "Enregistrer le fichier sous ...",
                                     "Fichier format Fylatek (*.fyk)", examples, true);
        ok &= morvex::drawFileDialog(shots + "folder.png", "Formats : ", QString(), examples,
                                     false, true);
        return ok ? status : 1;
    }

    window.showMaximized();
    if (splash) {
        splash->raise();
        splash->startFade();
    }
    if (exitAfterStartup) {
        QTimer::singleShot(0, &window, [&] {
            morvex::trace("\n[morvex] Démarrage en %lld ms", static_cast<long long>(clock.elapsed()));
            window.close();
        });
    }
    return app.exec();
}
