// The main window's descriptions: open, tabs, save, save as and close.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/aboutdialog.h"
#include "app/columndetailpanel.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "appcore/fileassoc.h"
#include "appcore/filetargets.h"
#include "appcore/mainframe.h"
#include "appcore/sqlitecommands.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/mainwindow_detail.h"
#include "app/mssqlparamswindow.h"
#include "app/optionsdialog.h"
#include "app/panelseparator.h"
#include "app/pkindexeswindow.h"
#include "app/previewsplitter.h"
#include "app/qtuiport.h"
#include "app/querytoolwindow.h"
#include "app/resultpreview.h"
#include "app/sourcepreview.h"
#include "app/splashwindow.h"
#include "app/splitfileview.h"
#include "app/textimportdialog.h"
#include "datadic/dico.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "filedesc/typerecog.h"
#include "foundation/allocmem.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"
#include "foundation/task.h"
#include "foundation/trace.h"
#include "mssql/mssql.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace morvex {

using namespace mainwindow_detail;

void MainWindow::openCommandLine(const std::string& commandLine, SplashWindow* splash) {
    trace("\n[initFrmDlgMain] lpCmdLine=[%s]", commandLine.c_str());
    for (const std::string& word : splitCommandLine(commandLine)) {
        trace("\n[initFrmDlgMain] argument=[%s]", word.c_str());
        const std::string ext = lowerExtension(word);
        if (ext != ".fyk") {
            trace("\n[%s] ext=[%s] n'est pas un fichier de format", word.c_str(), ext.c_str());
            continue;
        }
        if (splash) splash->setStatus(QString::fromStdString(word));
        if (!openDescriptionFile(word)) break;
    }
}

void MainWindow::IHM_OpenFormat(FileDesc* desc) {
    if (!desc || !gcontexte.openFiles) return;
    updatingTabs_ = true;
    int index = tabs_->addTab(fromUtf8(desc->ProjectName));
    tabs_->setTabData(index, QVariant::fromValue(reinterpret_cast<quintptr>(desc)));
    tabs_->setTabToolTip(index, fromUtf8(desc->FileDescPath));
    LDCG_Add(gcontexte.openFiles, desc, nullptr);
    gcontexte.currentFile = desc;
    tabs_->setCurrentIndex(index);
    updatingTabs_ = false;
}

void MainWindow::removeTab(FileDesc* desc) {
    int index = tabOf(desc);
    if (index < 0) return;
    updatingTabs_ = true;
    tabs_->removeTab(index);
    int next = index > 0 ? index - 1 : 0;
    if (tabs_->count() > 0) tabs_->setCurrentIndex(next);
    gcontexte.currentFile = descriptionOfTab(tabs_->count() > 0 ? next : -1);
    updatingTabs_ = false;
    trace("\n[TBR_CloseFormat] gcontexte.currentFile = %x",
          static_cast<unsigned>(reinterpret_cast<uintptr_t>(gcontexte.currentFile)));
}

void MainWindow::detachFormat(FileDesc* desc) {
    if (!desc || tabOf(desc) < 0) return;
    removeTab(desc);
    LDCG_Remove(gcontexte.openFiles, desc, 0);
    if (LDCG_Count(gcontexte.openFiles) == 0) gcontexte.currentFile = nullptr;
    RaffraichirFileDescView();
}

void MainWindow::onTabSelected(int index) {
    if (updatingTabs_ || index < 0) return;
    gcontexte.currentFile = descriptionOfTab(index);
    RaffraichirFileDescView();
    UpdateVisualIndicators();
}

void MainWindow::TBR_FormatUpdated(FileDesc* desc) {
    int index = tabOf(desc);
    if (index < 0) return;
    tabs_->setTabText(index, fromUtf8(desc->ProjectName));
    tabs_->setTabToolTip(index, fromUtf8(desc->FileDescPath));
}

bool MainWindow::saveDescription(FileDesc* desc) {
    // Written beside, then renamed: a failed save leaves the previous file whole.
    std::string reason;
    if (desc->FileDescPath && writeFileReplacing(
                                  desc->FileDescPath,
                                  [desc](const std::string& temporary) {
                                      return FILEDESC_SaveToFile(desc, temporary.c_str()) == 0;
                                  },
                                  &reason))
        return true;
    char message[1025];
    snprintf(message, sizeof message,
             "Erreur d'enregistrement du fichier '%s'. Le fichier est peut-être en lecture seule "
             "ou vous n'avez pas les droits suffisants",
             desc->FileDescPath ? desc->FileDescPath : "");
    uiPort().messageBox("Erreur d'enregistrement", std::string(message) + "\n" + reason,
                        UiButtons::Ok, UiIcon::Error);
    return false;
}

bool MainWindow::TBR_SaveFormat() {
    return saveAs(gcontexte.currentFile);
}

bool MainWindow::saveAs(FileDesc* desc) {
    std::string proposed = suggestedFileName(desc);
    if (gcontexte.formatLibrary[0])
        proposed = std::string(gcontexte.formatLibrary) + "/" + proposed;
    for (;;) {
        std::optional<std::string> chosen =
            uiPort().promptFile("Enregistrer le fichier sous ...", proposed,
                                "Fichier format Fylatek (*.fyk)|*.fyk", true);
        if (!chosen || chosen->empty()) return false;
        std::error_code ec;
        if (std::filesystem::exists(*chosen, ec)) {
            trace("\nFile exists : %s", chosen->c_str());
            // The desktop's save dialog has already asked.
            UiAnswer answer =
                uiPort().promptAsksBeforeReplacing()
                    ? UiAnswer::Yes
                    : uiPort().messageBox("Remplacer le fichier",
                                          "Ce fichier existe déjà. Voulez-vous le remplacer ?",
                                          UiButtons::YesNoCancel, UiIcon::Question);
            if (answer == UiAnswer::No) {
                proposed = *chosen;
                continue;
            }
            if (answer != UiAnswer::Yes) return false;
        } else {
            trace("\nFile does NOT exists : %s", chosen->c_str());
        }
        if (!desc) return true;
        FILEDESC_SetFileName(desc, chosen->c_str());
        if (saveDescription(desc)) SetStatusBarText(QString::fromStdString(*chosen), 0);
        TBR_FormatUpdated(desc);
        return true;
    }
}

int MainWindow::TBR_CloseFormat(FileDesc* desc) {
    if (!desc || tabOf(desc) < 0) return 1;
    if (desc->isModified) {
        char question[1400];
        if (desc->FileDescPath)
            snprintf(question, sizeof question,
                     "Le fichier '%s' a été modifié, Voulez-vous l'enregistrer ?",
                     desc->FileDescPath);
        else
            snprintf(question, sizeof question,
                     "La description courante [%s] a été modifiée, voulez-vous l'enregistrer ?",
                     desc->ProjectName);
        UiAnswer answer =
            uiPort().messageBox(kCaption, question, UiButtons::YesNoCancel, UiIcon::Question);
        if (answer == UiAnswer::Cancel) return -1;
        if (answer == UiAnswer::Yes) {
            if (desc->FileDescPath) {
                saveDescription(desc);  // a failure is told and the close goes on
            } else if (!saveAs(desc)) {
                return -1;
            }
        }
    }
    removeTab(desc);
    LDCG_Remove(gcontexte.openFiles, desc, 0);
    FILEDESC_CloseFileDesc(desc);
    if (LDCG_Count(gcontexte.openFiles) == 0) gcontexte.currentFile = nullptr;
    return 0;
}

bool MainWindow::openDescriptionFile(const std::string& path) {
    std::string error;
    FileDesc* desc = FILEDESC_OpenFileDesc(path.c_str(), &error);
    if (!desc) {
        uiPort().messageBox("Ouverture du fichier",
                            error.empty() ? "Impossible d'ouvrir le fichier " + path : error,
                            UiButtons::Ok, UiIcon::Error);
        return false;
    }
    IHM_OpenFormat(desc);
    RaffraichirFileDescView();
    SetStatusBarText(QString::fromStdString(path), 0);
    help_->EcrireMessageInfo(0);
    return true;
}

// ---- Exit ----
int MainWindow::On_Close() {
    for (FileDesc* desc : openDescriptions()) {
        if (TBR_CloseFormat(desc) == -1) {
            trace("\nOn_Close : Annulation de la fermeture du format");
            RaffraichirFileDescView();
            UpdateVisualIndicators();
            return -1;
        }
    }
    APPLICATION_UpdateRegister(this, &gcontexte);
    LDCG_ShowGlobalStats();
    DYNSTRING_ShowGlobalStats();
    mem_verifierMemoire(memoryReportPath(gcontexte).c_str());
    return 0;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!initialised_) {
        event->accept();
        return;
    }
    if (On_Close() == -1) {
        trace("\nWM_CLOSE : Annulation de la fermeture");
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace morvex
