// morvexsetup: installs or updates Morvex Fylatek from the update server.
//   morvexsetup [--dir DIR]                 the wizard
//   morvexsetup --yes [--dir DIR]           the same procedure without windows, always saying yes
//   morvexsetup --screenshots DIR           draws both pages into DIR and exits
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "desktop/pictures.h"
#include "desktop/qtmessages.h"
#include "desktop/translations.h"
#include "foundation/version.h"
#include "setup/core/unattended.h"
#include "setup/setupwizard.h"
#include "setup/updatepage.h"

namespace {

int usage() {
    std::fprintf(stderr, "Usage : morvexsetup [--yes] [--dir DOSSIER] | --screenshots DOSSIER\n");
    return 2;
}

// Draws the two pages of the wizard into `dir` without reaching the network.
int drawScreenshots(const QString& dir) {
    QDir().mkpath(dir);
    SetupWizardOptions options;
    options.job.server = LIVEUPDATE_ServerAddress();
    options.startWorker = false;
    SetupWizard wizard(options);
    wizard.show();
    bool ok = wizard.grab().save(dir + QStringLiteral("/morvexsetup-page1.png"));
    wizard.showNextPage();
    // The update page part-way through, as its worker reports: three files, one failed, one
    // being downloaded.
    if (UpdatePage* page = wizard.updatePage()) {
        const QString server = QString::fromStdString(LIVEUPDATE_ServerAddress());
        const char* const files[] = {"morvex.zip", "tallymor.zip", "install.cmd"};
        const char* const states[] = {"Terminé.", "ERREUR", "En cours..."};
        emit page->progressRangeChanged(3);
        for (int row = 0; row < 3; ++row) {
            const QString name = QString::fromUtf8(files[row]);
            emit page->rowAdded(row, name, server + "/MorvexFylatek/" + name);
            emit page->rowStatusChanged(row, QString::fromUtf8(states[row]));
            if (row < 2) emit page->rowAttempted(row);
        }
        emit page->progressChanged(2);
        emit page->statusChanged(server + "/MorvexFylatek/install.cmd");
        QApplication::processEvents();
        QApplication::processEvents();
    }
    ok = wizard.grab().save(dir + QStringLiteral("/morvexsetup-page2.png")) && ok;
    // The question the update page asks, as the program shows it.
    ok = morvex::drawMessageBox(dir + QStringLiteral("/morvexsetup-question.png"),
                                QStringLiteral("MorvexSoft LiveUpdate"),
                                QStringLiteral("Télécharger les fichiers ?"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) &&
         ok;
    return ok ? 0 : 1;
}

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : morvexsetup [--yes] [--dir DOSSIER]\n"
    "  ou : morvexsetup --screenshots DOSSIER\n"
    "Installe ou met à jour Morvex Fylatek depuis le serveur de mise à jour : lit le manifeste\n"
    "liveupdate.txt, télécharge les fichiers qu'il liste puis lance le script d'installation.\n"
    "\n"
    "Options :\n"
    "      --yes                  la même procédure sans fenêtre, en répondant oui à chaque\n"
    "                             question\n"
    "      --dir DOSSIER          dossier d'installation (par défaut le dossier courant)\n"
    "      --screenshots DOSSIER  dessine les pages de l'assistant dans DOSSIER et s'arrête\n"
    "      --help                 affiche cette aide et s'arrête\n"
    "      --version              affiche la version et s'arrête\n";

}  // namespace

int main(int argc, char** argv) {
    if (morvex::answerVersionOrHelp(argc, argv, "morvexsetup", kHelp)) return 0;
    bool yes = false;
    std::string directory = ".";
    const char* screenshots = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--yes") == 0) {
            yes = true;
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            directory = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
            screenshots = argv[++i];
        } else {
            return usage();
        }
    }
    if (yes) return LIVEUPDATE_RunUnattended(directory, nullptr);

    QApplication app(argc, argv);
    // Qt's own messages join the trace, marked as Qt's; its standard dialogs speak French.
    morvex::routeQtMessagesToTrace();
    morvex::installQtFrenchTranslations(&app);
    if (screenshots) return drawScreenshots(QString::fromLocal8Bit(screenshots));
    SetupWizardOptions options;
    options.job.server = LIVEUPDATE_ServerAddress();
    options.job.directory = directory;
    SetupWizard wizard(options);
    wizard.show();
    return app.exec();
}
