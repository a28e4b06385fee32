#include "app/mssqlparamswindow.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "appcore/application.h"
#include "appcore/processlist.h"
#include "app/qtuiport.h"
#include "app/windowplacement.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "mssql/mssql.h"

namespace morvex {

namespace {

constexpr const char* kError = "Erreur";
constexpr const char* kCannotOpen = "Impossible d'ouvrir le fichier";

// The fields of the window, in the order of the record.
struct FieldSpec {
    const char* label;
    size_t offset;     // of its slot in the record
    int slotSize;      // bytes of the slot, terminator included
    int browse;        // its "..." command, 0 for none
    const char* filter;  // the filter of its file dialog
};
const FieldSpec kFields[6] = {
    {"Base de donnée : ", offsetof(MSSQL_PARAMS, nomBase), MSSQL_NAME_SLOT, 0, nullptr},
    {"Table : ", offsetof(MSSQL_PARAMS, nomTable), MSSQL_NAME_SLOT, 0, nullptr},
    {"Fichier de données : ", offsetof(MSSQL_PARAMS, fichierDonnees), MSSQL_PATH_SLOT,
     ITM_PRM_BROWSEDATA, "Fichiers de données (*.txt)|*.txt"},
    {"Fichier de format : ", offsetof(MSSQL_PARAMS, fichierFormat), MSSQL_PATH_SLOT,
     ITM_PRM_BROWSEFORMAT, "Fichiers de format BCP (*.fmt)|*.fmt"},
    {"Script d'import bulk c. :", offsetof(MSSQL_PARAMS, scriptBCP), MSSQL_PATH_SLOT,
     ITM_PRM_BROWSEBCP, "Fichier de script SQL (*.sql)|*.sql"},
    {"Script MAJ table : ", offsetof(MSSQL_PARAMS, scriptMAJ), MSSQL_PATH_SLOT, ITM_PRM_BROWSEMAJ,
     "Fichier de script SQL (*.sql)|*.sql"},
};

char* slotOf(MSSQL_PARAMS* params, int n) {
    return reinterpret_cast<char*>(params) + kFields[n].offset;
}

// Copies `text` into a slot of `size` bytes, cut at a character boundary.
void setSlot(char* slot, int size, const QString& text) {
    QByteArray bytes = text.toUtf8();
    int n = std::min<int>(bytes.size(), size - 1);
    if (n < bytes.size())
        while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
    memcpy(slot, bytes.constData(), n);
    memset(slot + n, 0, size - n);
}

// The project name as a file name: the characters a file name cannot hold become blanks.
std::string fileNameOf(const char* name) {
    std::string out = name ? name : "";
    for (char& c : out)
        if (strchr("/\\!*:;?", c)) c = ' ';
    return out;
}

}  // namespace

MssqlParamsWindow::MssqlParamsWindow(MSSQL_PARAMS* params, FileDesc* desc, QWidget* parent)
    : QDialog(parent), params_(params), desc_(desc) {
    setObjectName("mssqlParamsWindow");
    setWindowTitle("Paramètres de génération pour MS SQL Server");
    auto* layout = new QVBoxLayout(this);

    menu_ = new QMenuBar(this);
    auto add = [this](QMenu* menu, int command, const char* text) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    };
    QMenu* file = menu_->addMenu("&Fichier");
    add(file, ITM_PRM_OPEN, "Ouvrir un fichier de paramètres");
    add(file, ITM_PRM_SAVEAS, "Enregistrer sous...");
    QMenu* generate = menu_->addMenu("&Générer");
    add(generate, ITM_PRM_GENFORMAT, "Générer le fichier de format");
    add(generate, ITM_PRM_GENBCP, "Générer le script SQL de chargement BULK COPY");
    add(generate, ITM_PRM_GENMAJ, "Générer le script SQL de MAJ de la table");
    generate->addSeparator();
    add(generate, ITM_PRM_GENTEMPLATE, "Générer à partir d'un template");
    layout->setMenuBar(menu_);

    auto* grid = new QGridLayout;
    for (int n = 0; n < 6; ++n) {
        grid->addWidget(new QLabel(QString::fromUtf8(kFields[n].label), this), n, 0);
        fields_[n] = new QLineEdit(this);
        fields_[n]->setMaxLength(kFields[n].slotSize - 2);  // 63 or 259 characters typed
        grid->addWidget(fields_[n], n, 1);
        if (const int command = kFields[n].browse) {
            auto* button = new QPushButton("...", this);
            button->setFixedWidth(32);
            connect(button, &QPushButton::clicked, this, [this, command] { runCommand(command); });
            grid->addWidget(button, n, 2);
        }
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    note_ = new QLabel(this);
    note_->setWordWrap(true);
    layout->addWidget(note_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    generate_ = new QPushButton("Générer", this);
    generate_->setDefault(true);
    auto* cancel = new QPushButton("Annuler", this);
    buttons->addWidget(generate_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(generate_, &QPushButton::clicked, this, [this] { runCommand(ITM_PRM_GENERATE); });
    connect(cancel, &QPushButton::clicked, this, [this] { runCommand(ITM_PRM_CANCEL); });

    const QString folder = QString::fromUtf8(gcontexte.genTargetDirectory);
    if (!folder.isEmpty())
        note_->setText(QString("Les fichiers nommés sans dossier sont écrits dans %1.").arg(folder));
    placeOnParent(this, parent, QSize(620, 330));
    LoadInformations();
}

void MssqlParamsWindow::LoadInformations() {
    for (int n = 0; n < 6; ++n) {
        const char* slot = slotOf(params_, n);
        fields_[n]->setText(
            QString::fromUtf8(slot, static_cast<int>(strnlen(slot, kFields[n].slotSize))));
    }
}

void MssqlParamsWindow::SaveInformations() {
    for (int n = 0; n < 6; ++n) setSlot(slotOf(params_, n), kFields[n].slotSize, fields_[n]->text());
}

QString MssqlParamsWindow::noteText() const {
    return note_->text();
}

std::string MssqlParamsWindow::targetPath(const char* path) const {
    const std::string typed = path ? path : "";
    if (typed.empty() || typed.find('/') != std::string::npos || !gcontexte.genTargetDirectory[0])
        return typed;
    QDir().mkpath(QString::fromUtf8(gcontexte.genTargetDirectory));
    return std::string(gcontexte.genTargetDirectory) + "/" + typed;
}

bool MssqlParamsWindow::runCommand(int command) {
    trace("\n[gererFrmDlgPrmGenMSSQL] commande %i", command);
    switch (command) {
        case ITM_PRM_OPEN:
            return openParameters();
        case ITM_PRM_SAVEAS:
            return saveParameters();
        case ITM_PRM_BROWSEDATA:
        case ITM_PRM_BROWSEFORMAT:
        case ITM_PRM_BROWSEBCP:
        case ITM_PRM_BROWSEMAJ:
            return browse(command - ITM_PRM_BROWSEDATA + 2);
        case ITM_PRM_GENFORMAT:
        case ITM_PRM_GENBCP:
        case ITM_PRM_GENMAJ:
            SaveInformations();  // what the person sees is what is written
            return generateOne(command);
        case ITM_PRM_GENTEMPLATE:
            return addTemplate();
        case ITM_PRM_GENERATE: {
            SaveInformations();
            bool ok = true;
            std::string written;  // the files, one a line
            for (int step : {ITM_PRM_GENFORMAT, ITM_PRM_GENBCP, ITM_PRM_GENMAJ}) {
                ok = generateOne(step) && ok;
                if (ok) written += "\n" + lastWritten_;
            }
            if (!ok) return false;  // the window stays, with what was typed
            uiPort().messageBox("Génération des fichiers", "Terminé\n\nFichiers écrits :" + written,
                                UiButtons::Ok, UiIcon::Info);
            accept();
            return true;
        }
        case ITM_PRM_CANCEL:
            reject();
            return true;
        default:
            return false;
    }
}

bool MssqlParamsWindow::generateOne(int command) {
    if (!desc_) return false;
    struct Step {
        int (*generate)(const MSSQL_PARAMS*, FileDesc*, MSSQL_TOLD*);
        size_t target;  // the slot of the file it writes
        const char* failure;
    };
    const Step step =
        command == ITM_PRM_GENFORMAT
            ? Step{MSSQL_GenererFichierFormat, offsetof(MSSQL_PARAMS, fichierFormat),
                   "Erreur lors de la génération du fichier de format."}
        : command == ITM_PRM_GENBCP
            ? Step{MSSQL_GenererFichierBCP, offsetof(MSSQL_PARAMS, scriptBCP),
                   "Erreur lors de la génération du script de BULK INSERT."}
            : Step{MSSQL_GenererScriptMAJ, offsetof(MSSQL_PARAMS, scriptMAJ),
                   "Erreur lors de la génération du script de mise à jour."};
    // The file goes where targetPath says; the scripts keep naming the others as typed.
    MSSQL_PARAMS written = *params_;
    char* slot = reinterpret_cast<char*>(&written) + step.target;
    const std::string path = targetPath(slot);
    if (path.size() >= MSSQL_PATH_SLOT) {
        uiPort().messageBox(kError, step.failure, UiButtons::Ok, UiIcon::Error);
        return false;
    }
    snprintf(slot, MSSQL_PATH_SLOT, "%s", path.c_str());
    MSSQL_TOLD told;
    const int failed = step.generate(&written, desc_, &told);
    for (const UiError& message : told) showError(message);
    if (failed != 0) {
        uiPort().messageBox(kError, step.failure, UiButtons::Ok, UiIcon::Error);
        return false;
    }
    lastWritten_ = path;
    note_->setText(QString("Fichier écrit : %1").arg(QString::fromStdString(path)));
    return true;
}

bool MssqlParamsWindow::browse(int n) {
    std::string proposed = targetPath(fields_[n]->text().toUtf8().constData());
    std::optional<std::string> chosen =
        uiPort().promptFile("Enregistrer le fichier sous ...", proposed, kFields[n].filter, true);
    if (!chosen || chosen->empty()) return false;
    setSlot(slotOf(params_, n), kFields[n].slotSize, QString::fromStdString(*chosen));
    const char* slot = slotOf(params_, n);
    fields_[n]->setText(QString::fromUtf8(slot));
    return true;
}

bool MssqlParamsWindow::openParameters() {
    std::optional<std::string> chosen =
        uiPort().promptFile("Ouvrir un fichier de paramètres...", gcontexte.templateLibrary,
                            "Fichiers paramètres MSSQL (*.prm)|*.prm", false);
    if (!chosen || chosen->empty()) return false;
    const bool read = ChargerParametres(params_, chosen->c_str()) == 0;
    if (!read) uiPort().messageBox(kError, kCannotOpen, UiButtons::Ok, UiIcon::Error);
    LoadInformations();
    return read;
}

bool MssqlParamsWindow::saveParameters() {
    std::string proposed =
        desc_ ? fileNameOf(desc_->ProjectName) + ".prm" : std::string("mesparam.prm");
    if (gcontexte.templateLibrary[0])
        proposed = std::string(gcontexte.templateLibrary) + "/" + proposed;
    std::optional<std::string> chosen = uiPort().promptFile(
        "Enregistrer le fichier sous ...", proposed, "Fichier paramètre MSSQL (*.prm)|*.prm", true);
    if (!chosen || chosen->empty()) return false;
    SaveInformations();
    if (EnregistrerParametres(params_, chosen->c_str()) != 0) {
        uiPort().messageBox(kError, kCannotOpen, UiButtons::Ok, UiIcon::Error);
        return false;
    }
    return true;
}

bool MssqlParamsWindow::addTemplate() {
    if (!desc_) return false;
    std::string proposed = "*.tpl";
    if (gcontexte.templateLibrary[0])
        proposed = std::string(gcontexte.templateLibrary) + "/" + proposed;
    std::optional<std::string> chosen =
        uiPort().promptFile("Tabulor", proposed, "Templates (*.tpl)|*.tpl", false);
    if (!chosen || chosen->empty()) return false;
    if (PROCESSLIST_AddTemplates(desc_, {*chosen}) != 1) return false;
    uiPort().refresh(UiRefresh::ProcessList);
    uiPort().refresh(UiRefresh::Title);
    note_->setText(QString("Template '%1' ajouté au processus de génération de '%2'.")
                       .arg(QString::fromStdString(*chosen), QString::fromUtf8(desc_->ProjectName)));
    return true;
}

void appelDlgPrmGenMSSQL(QWidget* owner, MSSQL_PARAMS* params) {
    if (!params) return;
    MssqlParamsWindow window(params, gcontexte.currentFile, owner);
    execDialog(&window);
}

}  // namespace morvex
