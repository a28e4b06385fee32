#include "app/mainwindow.h"

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
#include "app/core/application.h"
#include "app/core/desceditor.h"
#include "app/core/fileassoc.h"
#include "app/core/mainframe.h"
#include "app/core/sqlitecommands.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
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
#include "output/sqlite3dll.h"
#include "output/sqlite4fyk.h"

namespace morvex {

namespace {

const char kCaption[] = "Morvex Fylatek";

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

// The descriptions of openFiles, in order (a copy: closing one changes the list).
std::vector<FileDesc*> openDescriptions() {
    std::vector<FileDesc*> all;
    if (!gcontexte.openFiles) return all;
    LDCG_IT* it = LDCG_IT_Create(gcontexte.openFiles);
    if (!it) return all;
    LDCG_IT_ReadInit(it);
    while (LDCG_IT_ReadHasNext(it)) all.push_back(static_cast<FileDesc*>(LDCG_IT_ReadNext(it)));
    LDCG_IT_Destroy(it);
    return all;
}

// A file shipped with the program: beside it, in its share folder, or in the source tree.
QString shippedFile(const QString& relative) {
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        dir + "/" + relative,
        dir + "/../share/morvex/" + relative,
        dir + "/../" + relative,
        QString(MORVEX_SOURCE_TREE) + "/" + relative,
    };
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
    return QString();
}

// What the first run adds once the settings are written: the two file types, then the Options
// sheet, before the main window shows.
void firstRun(void* window) {
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    const EXTENSION_ASSOC types[] = {
        {".tpl", "Morvex Fylatek Template", shippedFile("app/icons/template.svg").toStdString(),
         program + " %1", kCaption},
        {".fyk", "Morvex Fylatek Description File",
         shippedFile("app/icons/description.svg").toStdString(), program + " %1", kCaption},
    };
    for (const EXTENSION_ASSOC& type : types)
        enregistrerExtension(window, &type, FILEASSOC_SCOPE_USER);
    DoPropertySheetOptions(nullptr, &gcontexte);
}

}  // namespace

QString homePage() {
    return MORVEX_HOME_PAGE;
}

QString manualPath() {
    return shippedFile("docs/manual.html");
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("mainWindow");
    setWindowTitle("Importation de fichiers plats");
    setAcceptDrops(true);
    central_ = new QWidget(this);
    central_->installEventFilter(this);
    setCentralWidget(central_);

    tabs_ = new QTabBar(central_);
    tabs_->setObjectName("openFiles");
    tabs_->setAccessibleName("Fichiers ouverts");
    tabs_->setExpanding(false);
    tabs_->setDocumentMode(true);
    tabs_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tabs_, &QTabBar::currentChanged, this, &MainWindow::onTabSelected);
    connect(tabs_, &QTabBar::customContextMenuRequested, this, &MainWindow::showTabMenu);

    help_ = new HelpPanel(central_);
    connect(help_, &HelpPanel::commandRequested, this, &MainWindow::runCommand);
    createEditorWidgets();
    separator_ = new PanelSeparator(central_);
    connect(separator_, &PanelSeparator::moved, this, [this](int x) {
        const int w = central_->width();
        gcontexte.helpFrameWidth = std::clamp(w - x, 60, std::max(60, w - 200));
        layoutChildren();
    });

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    setGeometry(0, 0, 1000, 700);
    gcontexte.helpFrameWidth = gcontexte.helpFrameWidth > 0 ? gcontexte.helpFrameWidth : 190;
    gcontexte.helpFrameTop = gcontexte.helpFrameTop > 0 ? gcontexte.helpFrameTop : 30;
    layoutChildren();
}

void MainWindow::createEditorWidgets() {
    auto* editor = new QWidget(central_);
    editor->setObjectName("descriptionList");
    auto* layout = new QVBoxLayout(editor);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    descList_ = new DescriptionList(editor);
    descList_->setHelpPanel(help_);
    detail_ = new ColumnDetailPanel(editor);
    layout->addWidget(descList_, 1);
    layout->addWidget(detail_);
    sourceView_ = new SourcePreview(central_);
    sourceView_->setObjectName("sourcePreview");
    resultView_ = new ResultPreview(central_);
    resultView_->setObjectName("resultPreview");
    keys_ = new PkIndexesWindow;
    help_->setLowerWidget(keys_);
    auto changed = [this] {
        descList_->RaffraichirListe();
        RaffraichirVueResultat();
        UpdateVisualIndicators();
    };
    connect(descList_, &DescriptionList::descriptionChanged, this, changed);
    connect(detail_, &ColumnDetailPanel::descriptionChanged, this, changed);
    connect(descList_, &DescriptionList::editRequested, detail_, &ColumnDetailPanel::ChargerDetail);
    connect(descList_, &DescriptionList::columnHighlighted, resultView_,
            &ResultPreview::selectColumn);
    connect(descList_, &DescriptionList::keysChanged, keys_, &PkIndexesWindow::refresh);
    connect(keys_, &PkIndexesWindow::keysChanged, this, &MainWindow::UpdateVisualIndicators);
    areas_[0] = editor;
    areas_[1] = sourceView_;
    areas_[2] = resultView_;
    splitter_ = new PreviewSplitter(editor, sourceView_, resultView_, central_);
}

MainWindow::~MainWindow() {
    if (QtUiPort* port = qtUiPort(); port && port->mainWindow() == this)
        port->setMainWindow(nullptr);
    if (initialised_ && gcontexte.hwndMain == this) {
        APPLICATION_ReleaseContext(&gcontexte);
        gcontexte.hwndMain = nullptr;
    }
    // The query tool runs on the SQLite library: it goes first.
    delete queryToolWindow();
    if (sqliteLibrary_) SQLITE3_LibererDLL(sqliteLibrary_);
}

// ---- Start-up ----

void MainWindow::initialise(SplashWindow* splash, const std::string& commandLine) {
    auto step = [splash](int position, const char* status) {
        if (!splash) return;
        if (position >= 0) splash->setProgress(position);
        if (status) splash->setStatus(QString::fromUtf8(status));
    };
    if (splash) splash->setRange(0, 10);
    step(1, "Chargement des paramètres...");

    if (QtUiPort* port = qtUiPort()) port->setMainWindow(this);
    std::string early;  // what the settings traced before the log was open
    {
        TraceCapture capture;
        // Nobody is there to answer the first run's dialogs in the unattended modes.
        APPLICATION_SetFirstRunHook(unattended_ ? nullptr : &firstRun);
        // One main window per process: a context left by an earlier one is released first.
        if (gcontexte.openFiles) APPLICATION_ReleaseContext(&gcontexte);
        APPLICATION_InitContext(this, &gcontexte);
        APPLICATION_SetFirstRunHook(nullptr);
        early = capture.text();
    }
    initialised_ = true;
    gcontexte.hwndHelpFrame = help_;

    const std::string logPath = logFilePath(gcontexte);
    if (traceOpenFile(logPath.c_str())) {
        trace("\n[initFrmDlgMain] Le fichier de log principal est [%s]", logPath.c_str());
    } else {
        uiPort().messageBox("Morvex Fylatek : Erreur Grave",
                            "Impossible de rediriger la sortie standard vers le fichier de log",
                            UiButtons::Ok, UiIcon::Error);
    }
    traceText(early.c_str());

    step(-1, "Chargement de la DLL SQLite 3...");
    sqliteLibrary_ = SQLITE3_LoadDLL(this);
    commandAction(ITM_TOOLS_GENOPTIONS)->setEnabled(false);
    step(2, "Initialisation...");

    FILEDESC_Initialize();
    setWindowTitle(kCaption);
    step(3, nullptr);

    SetStatusBarText("Morvex Suite - File Importation", 0);
    setGeometry(0, 0, 1000, 700);
    layoutChildren();
    step(4, nullptr);

    FileDesc* first =
        FILEDESC_CreateFileDesc("Nouveau", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!first) {
        uiPort().messageBox("ERREUR", "Erreur d'initialisation du contexte de fichier",
                            UiButtons::Ok, UiIcon::Error);
    } else {
        IHM_OpenFormat(first);
    }
    help_->EcrireMessageInfo(1);
    step(5, "Chargement des fichiers de description...");

    openCommandLine(commandLine, splash);

    step(6, "Chargement du dictionnaire de données...");
    step(7, "Fin de l'initialisation");
    UpdateVisualIndicators();
    step(10, "Terminé.");
}

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

// ---- Actions, menus, tool bar, status bar ----

void MainWindow::createActions() {
    struct Entry {
        int command;
        const char* text;
        const char* iconText;  // tool bar text, nullptr: the menu text
        QKeySequence shortcut;
    };
    const Entry entries[] = {
        {ITM_FILE_NEW, "Nouveau", nullptr, QKeySequence::New},
        {ITM_FILE_OPEN, "Ouvrir une description", "Ouvrir", QKeySequence::Open},
        {ITM_FILE_IMPORTTEXT, "Charger une description de table ZRT", nullptr, {}},
        {ITM_FILE_MIGRATE, "Migrer un fichier v1 beta", nullptr, {}},
        {ITM_FILE_SAVE, "Enregistrer", nullptr, QKeySequence::Save},
        {ITM_FILE_SAVEAS, "Enregistrer la description sous...", nullptr, QKeySequence::SaveAs},
        {ITM_FILE_CLOSEFORMAT, "Fermer la description courante", nullptr, QKeySequence::Close},
        {ITM_FILE_ANALYSE, "Analyser un fichier de données délimité", nullptr, {}},
        {ITM_FILE_PROPERTIES, "Propriétés", nullptr, {}},
        {ITM_FILE_QUIT, "Quitter", nullptr, QKeySequence::Quit},
        {ITM_EDIT_UP, "Monter", nullptr, {}},
        {ITM_EDIT_DOWN, "Descendre", nullptr, {}},
        {ITM_VIEW_RESULT, "Aperçu du résultat", "Aperçu", {}},
        {ITM_VIEW_HELP, "Aide contextuelle", nullptr, {}},
        {ITM_DATA_EXAMPLE, "Changer de fichier de données exemple", nullptr, {}},
        {ITM_DATA_SPLITVIEW, "Consulter le fichier découpé complet", nullptr, {}},
        {ITM_DATA_STATS, "Statistiques du fichier de données", nullptr, {}},
        {ITM_DATA_SQLITE,
         "Envoyer les données dans une base SQLite",
         "Envoyer vers SQLite",
         {}},
        {ITM_DATA_SQLITEMEMORY,
         "Envoyer les données dans une base SQLite In Memory",
         nullptr,
         {}},
        {ITM_DATA_QUERY, "Requêter sur une base de données SQLite", "Requêteur SQLite", {}},
        {ITM_DATA_MSSQL,
         "Créer un script SQL pour l'envoi des données vers SQLServer",
         nullptr,
         {}},
        {ITM_TOOLS_GENERATION, "Processus de génération", "Générer", {}},
        {ITM_TOOLS_GENOPTIONS, "Options de génération", nullptr, {}},
        {ITM_TOOLS_OPENGENDIR,
         "Ouvrir le répertoire des fichiers générés",
         "Répertoire de génération",
         {}},
        {ITM_TOOLS_OPENTEMPLATEDIR, "Ouvrir le répertoire des modèles", nullptr, {}},
        {ITM_TOOLS_OPENFORMATDIR, "Ouvrir le répertoire des descriptions", nullptr, {}},
        {ITM_TOOLS_OPENTOOLSDIR, "Ouvrir le répertoire des outils", nullptr, {}},
        {ITM_TOOLS_OPTIONS, "Options", nullptr, {}},
        {ITM_DICO_SHOW, "Afficher", nullptr, {}},
        {ITM_DICO_SAVE, "Enregistrer", nullptr, {}},
        {ITM_HELP_HELP, "Aide", nullptr, QKeySequence::HelpContents},
        {ITM_HELP_WEBSITE, "Site web de Morvex Fylatek", nullptr, {}},
        {ITM_HELP_DOWNLOAD, "Télécharger la dernière version", nullptr, {}},
        {ITM_HELP_DEBUGWINDOW, "Afficher la fenêtre de déboggage", nullptr, {}},
        {ITM_HELP_DEBUGSAVEBINARY, "[Debug] Enregistrer Format Binaire", nullptr, {}},
        {ITM_HELP_SHOWLOG, "Afficher le fichier de log de l'application", nullptr, {}},
        {ITM_HELP_ABOUT, "A propos de...", nullptr, {}},
    };
    QStyle* s = style();
    const std::map<int, QStyle::StandardPixmap> icons = {
        {ITM_FILE_NEW, QStyle::SP_FileIcon},
        {ITM_FILE_OPEN, QStyle::SP_DialogOpenButton},
        {ITM_FILE_SAVE, QStyle::SP_DialogSaveButton},
        {ITM_FILE_PROPERTIES, QStyle::SP_FileDialogInfoView},
        {ITM_EDIT_UP, QStyle::SP_ArrowUp},
        {ITM_EDIT_DOWN, QStyle::SP_ArrowDown},
        {ITM_VIEW_RESULT, QStyle::SP_FileDialogContentsView},
        {ITM_VIEW_HELP, QStyle::SP_MessageBoxQuestion},
        {ITM_TOOLS_GENERATION, QStyle::SP_MediaPlay},
        {ITM_TOOLS_OPENGENDIR, QStyle::SP_DirOpenIcon},
        {ITM_DATA_SQLITE, QStyle::SP_DriveHDIcon},
        {ITM_DATA_QUERY, QStyle::SP_FileDialogDetailedView},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(QString::fromUtf8(e.text), this);
        if (e.iconText) action->setIconText(QString::fromUtf8(e.iconText));
        if (!e.shortcut.isEmpty()) action->setShortcut(e.shortcut);
        if (auto icon = icons.find(e.command); icon != icons.end())
            action->setIcon(s->standardIcon(icon->second));
        action->setData(e.command);
        int command = e.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        actions_[e.command] = action;
    }
    actions_[ITM_VIEW_RESULT]->setCheckable(true);
    actions_[ITM_VIEW_RESULT]->setChecked(resultShown_);
    actions_[ITM_VIEW_HELP]->setCheckable(true);
    actions_[ITM_VIEW_HELP]->setChecked(helpShown_);
}

QAction* MainWindow::commandAction(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::createMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<int> commands) {
        menu->setToolTipsVisible(true);
        for (int command : commands) {
            if (command == 0)
                menu->addSeparator();
            else
                menu->addAction(actions_[command]);
        }
    };
    add(menuBar()->addMenu("&Fichier"),
        {ITM_FILE_NEW, ITM_FILE_OPEN, ITM_FILE_IMPORTTEXT, ITM_FILE_MIGRATE, 0, ITM_FILE_SAVE,
         ITM_FILE_SAVEAS, ITM_FILE_CLOSEFORMAT, 0, ITM_FILE_ANALYSE, 0, ITM_FILE_PROPERTIES, 0,
         ITM_FILE_QUIT});
    add(menuBar()->addMenu("&Edition"), {ITM_EDIT_UP, ITM_EDIT_DOWN});
    add(menuBar()->addMenu("&Affichage"), {ITM_VIEW_RESULT, ITM_VIEW_HELP});
    add(menuBar()->addMenu("&Données"),
        {ITM_DATA_EXAMPLE, ITM_DATA_SPLITVIEW, ITM_DATA_STATS, 0, ITM_DATA_SQLITE,
         ITM_DATA_SQLITEMEMORY, ITM_DATA_QUERY, 0, ITM_DATA_MSSQL});
    add(menuBar()->addMenu("&Outils"),
        {ITM_TOOLS_GENERATION, ITM_TOOLS_GENOPTIONS, 0, ITM_TOOLS_OPENGENDIR,
         ITM_TOOLS_OPENTEMPLATEDIR, ITM_TOOLS_OPENFORMATDIR, ITM_TOOLS_OPENTOOLSDIR, 0,
         ITM_TOOLS_OPTIONS});
    add(menuBar()->addMenu("Di&ctionnaire"), {ITM_DICO_SHOW, ITM_DICO_SAVE});
    add(menuBar()->addMenu("&?"),
        {ITM_HELP_HELP, ITM_HELP_WEBSITE, ITM_HELP_DOWNLOAD, 0, ITM_HELP_DEBUGWINDOW,
         ITM_HELP_DEBUGSAVEBINARY, ITM_HELP_SHOWLOG, 0, ITM_HELP_ABOUT});
}

void MainWindow::createToolBar() {
    toolBar_ = new QToolBar(central_);
    toolBar_->setObjectName("mainToolBar");
    toolBar_->setIconSize(QSize(20, 20));
    struct Button {
        int command;  // 0: separator
        bool text;    // the button shows its text
    };
    const Button buttons[] = {
        {ITM_FILE_NEW, false},
        {ITM_FILE_OPEN, false},
        {ITM_FILE_SAVE, false},
        {0, false},
        {ITM_FILE_PROPERTIES, false},
        {0, false},
        {ITM_EDIT_UP, true},
        {ITM_EDIT_DOWN, true},
        {0, false},
        {ITM_VIEW_RESULT, true},
        {ITM_VIEW_HELP, false},
        {0, false},
        {ITM_TOOLS_GENERATION, true},
        {ITM_TOOLS_OPENGENDIR, true},
        {0, false},
        {ITM_DATA_SQLITE, true},
        {ITM_DATA_QUERY, true},
    };
    for (const Button& b : buttons) {
        if (b.command == 0) {
            toolBar_->addSeparator();
            continue;
        }
        auto* button = new QToolButton(toolBar_);
        button->setDefaultAction(actions_[b.command]);
        button->setToolButtonStyle(b.text ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        toolBar_->addWidget(button);
        if (b.text) textButtons_.push_back(button);
    }
    toolBarFullWidth_ = toolBar_->sizeHint().width();
}

void MainWindow::createStatusBar() {
    const int widths[] = {300, 200, 400, 0};
    for (int i = 0; i < 4; ++i) {
        statusParts_[i] = new QLabel(this);
        statusParts_[i]->setObjectName(QString("statusPart%1").arg(i));
        statusParts_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (widths[i] > 0) {
            statusParts_[i]->setFixedWidth(widths[i]);
            statusBar()->addWidget(statusParts_[i]);
        } else {
            statusBar()->addWidget(statusParts_[i], 1);
        }
    }
    statusParts_[0]->setText("Morvex Suite - File Importation");
}

void MainWindow::SetStatusBarText(const QString& text, int part) {
    if (part < 0 || part > 3) return;
    statusParts_[part]->setText(text);
}

QString MainWindow::statusBarText(int part) const {
    return part >= 0 && part <= 3 ? statusParts_[part]->text() : QString();
}

// ---- Layout ----

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == central_ && event->type() == QEvent::Resize) layoutChildren();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::layoutChildren() {
    const int w = central_->width();
    // The work area runs down to the window's bottom edge, under the status bar.
    const int h = central_->height() + (statusBar()->isVisible() ? statusBar()->height() : 20);
    const int p = helpShown_ ? gcontexte.helpFrameWidth : 0;
    // Narrower than the tool bar with its texts (a 1024-pixel screen): the buttons show their
    // icons alone, their names in their tool tips, rather than hiding behind the bar's arrow.
    for (QToolButton* button : textButtons_)
        button->setToolButtonStyle(w < toolBarFullWidth_ ? Qt::ToolButtonIconOnly
                                                         : Qt::ToolButtonTextBesideIcon);
    toolBar_->setGeometry(0, 0, w, 35);
    tabs_->setGeometry(0, 35, std::max(0, w - p), 25);
    help_->setVisible(helpShown_);
    separator_->setVisible(helpShown_);
    if (helpShown_) {
        help_->setGeometry(w - p + 5, 35, std::max(0, p - 10), std::max(0, h - 60));
        separator_->setGeometry(w - gcontexte.helpFrameWidth, gcontexte.helpFrameTop, 4,
                                std::max(0, h - 20 - gcontexte.helpFrameTop));
        separator_->raise();
    }
    // The column list and the two previews share the work area in a splitter.
    splitter_->setGeometry(0, 60, std::max(0, w - p), std::max(0, h - 85));
}

QWidget* MainWindow::descriptionList() const {
    return areas_[0];
}
QWidget* MainWindow::sourcePreview() const {
    return areas_[1];
}
QWidget* MainWindow::resultPreview() const {
    return areas_[2];
}

void MainWindow::toggleResultView() {
    resultShown_ = !resultShown_;
    actions_[ITM_VIEW_RESULT]->setChecked(resultShown_);
    splitter_->setPreviewsShown(resultShown_);
    layoutChildren();
}

void MainWindow::toggleHelpPanel() {
    helpShown_ = !helpShown_;
    actions_[ITM_VIEW_HELP]->setChecked(helpShown_);
    layoutChildren();
}

// ---- Open descriptions ----

int MainWindow::tabOf(const FileDesc* desc) const {
    for (int i = 0; i < tabs_->count(); ++i)
        if (descriptionOfTab(i) == desc) return i;
    return -1;
}

FileDesc* MainWindow::descriptionOfTab(int index) const {
    if (index < 0 || index >= tabs_->count()) return nullptr;
    return reinterpret_cast<FileDesc*>(tabs_->tabData(index).value<quintptr>());
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
    if (FILEDESC_SaveToFile(desc, desc->FileDescPath) == 0) return true;
    char message[1025];
    snprintf(message, sizeof message,
             "Erreur d'enregistrement du fichier '%s'. Le fichier est peut-être en lecture seule "
             "ou vous n'avez pas les droits suffisants",
             desc->FileDescPath ? desc->FileDescPath : "");
    uiPort().messageBox("Erreur d'enregistrement", message, UiButtons::Ok, UiIcon::Error);
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
            UiAnswer answer = uiPort().messageBox(
                "Remplacer le fichier", "Ce fichier existe déjà. Voulez-vous le remplacer ?",
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

// ---- Indicators and views ----

void MainWindow::UpdateVisualIndicators() {
    FileDesc* desc = gcontexte.currentFile;
    setWindowTitle(QString::fromStdString(mainWindowTitle(desc)));
    if (!desc) trace("\n UpdateVisualIndicators : Any file opened");
    const bool any = gcontexte.openFiles && LDCG_Count(gcontexte.openFiles) > 0;
    areas_[0]->setVisible(any);
    trace("\n Sending signal to indexes frame");
    keys_->refresh();
    SetStatusBarText(desc ? fromUtf8(desc->FileDescPath) : QString(), 3);
    // The SQL Server parameters work on the current description.
    commandAction(ITM_TOOLS_GENOPTIONS)->setEnabled(desc != nullptr);
}

void MainWindow::refreshColumnList() {
    descList_->RaffraichirListe();
}

void MainWindow::RaffraichirFileDescView() {
    refreshColumnList();
    RaffraichirVueApercuFichier(nullptr);
    RaffraichirVueResultat();
}

void MainWindow::RaffraichirVueResultat() {
    resultView_->refresh();
}

void MainWindow::RaffraichirVueApercuFichier(const char* path, bool showEmpty) {
    QString file;
    if (path)
        file = QString::fromUtf8(path);
    else if (!showEmpty && gcontexte.currentFile)
        file = fromUtf8(gcontexte.currentFile->ExampleFilePath);
    sourceView_->reload(file);
}

void MainWindow::refreshView(UiRefresh what) {
    switch (what) {
        case UiRefresh::ResultView:
            RaffraichirVueResultat();
            break;
        case UiRefresh::ColumnList:
            refreshColumnList();
            break;
        case UiRefresh::Title:
            TBR_FormatUpdated(gcontexte.currentFile);
            UpdateVisualIndicators();
            break;
        case UiRefresh::ProcessList:
            break;
        case UiRefresh::FilePreview:
            RaffraichirVueApercuFichier(nullptr);
            break;
    }
}

// ---- Commands ----

void MainWindow::runCommand(int command) {
    FileDesc* current = gcontexte.currentFile;
    QAction* action = commandAction(command);
    if (action && !action->isEnabled()) return;  // greyed: nothing happens
    switch (command) {
        case ITM_FILE_NEW:
            commandNew();
            break;
        case ITM_FILE_OPEN:
            commandOpen();
            break;
        case ITM_FILE_IMPORTTEXT:
            appelDlgTxtDesc(this);
            RaffraichirFileDescView();
            break;
        case ITM_FILE_MIGRATE:
            commandMigrate();
            break;
        case ITM_FILE_SAVE:
            if (!current) break;
            if (!current->FileDescPath) {
                TBR_SaveFormat();
            } else if (saveDescription(current)) {
                SetStatusBarText(fromUtf8(current->FileDescPath), 0);
            }
            break;
        case ITM_FILE_SAVEAS:
            TBR_SaveFormat();
            break;
        case ITM_FILE_CLOSEFORMAT:
            if (!current) break;
            if (TBR_CloseFormat(current) == 1) {
                uiPort().messageBox("Erreur", "Impossible de fermer le format", UiButtons::Ok,
                                    UiIcon::Error);
            } else {
                RaffraichirFileDescView();
                trace("\n ITM_FILE_CLOSEFORMAT : Finished");
            }
            break;
        case ITM_FILE_ANALYSE:
            if (FYK_DataFileReverseEngenering(this, nullptr, FILEANALYSE_DETECTED) == 0) {
                TBR_FormatUpdated(gcontexte.currentFile);
                help_->EcrireMessageInfo(0);
            }
            RaffraichirFileDescView();
            break;
        case ITM_FILE_PROPERTIES:
            if (!current) break;
            if (uiPort().editProjectProperties(current, false)) {
                TBR_FormatUpdated(current);
                RaffraichirFileDescView();
            }
            break;
        case ITM_FILE_QUIT:
            close();
            break;
        case ITM_VIEW_RESULT:
            toggleResultView();
            break;
        case ITM_VIEW_HELP:
            toggleHelpPanel();
            break;
        case ITM_DATA_EXAMPLE:
            commandChangeExample();
            break;
        case ITM_EDIT_UP:
            descList_->runCommand(ITM_COL_UP);
            break;
        case ITM_EDIT_DOWN:
            descList_->runCommand(ITM_COL_DOWN);
            break;
        case ITM_DATA_SPLITVIEW:
            if (current) appelDlgFicDecoupe(this);
            break;
        case ITM_DATA_STATS:
            if (current) FYK_LaunchDatafileComputeStats(this, current, current->ExampleFilePath);
            break;
        case ITM_DATA_SQLITE:
            if (current) commandSendToSQLite(current);
            break;
        case ITM_DATA_SQLITEMEMORY:
            if (current) FYK_SendDataToSQLite(this, current, ":memory:");
            break;
        case ITM_DATA_QUERY:
            openQueryTool(std::string());
            break;
        case ITM_DATA_MSSQL:
            commandSqlServerScript();
            break;
        case ITM_TOOLS_GENERATION:
            appelDlgGenerate(this, current);
            break;
        case ITM_TOOLS_GENOPTIONS:
            if (!current) break;
            if (!mssqlParams_) {
                mssqlParams_ = std::make_unique<MSSQL_PARAMS>();
                MSSQL_InitParams(mssqlParams_.get());
            }
            appelDlgPrmGenMSSQL(this, mssqlParams_.get());
            break;
        case ITM_TOOLS_OPENGENDIR:
            openDirectory(gcontexte.genTargetDirectory);
            break;
        case ITM_TOOLS_OPENTEMPLATEDIR:
            openDirectory(gcontexte.templateLibrary);
            break;
        case ITM_TOOLS_OPENFORMATDIR:
            openDirectory(gcontexte.formatLibrary);
            break;
        case ITM_TOOLS_OPENTOOLSDIR:
            openDirectory(gcontexte.toolsDirectory);
            break;
        case ITM_TOOLS_OPTIONS:
            DoPropertySheetOptions(this, &gcontexte);
            break;
        case ITM_DICO_SHOW:
            appelDlgDictionnaire(this);
            break;
        case ITM_DICO_SAVE:
            if (DICO_Current()) requestDictionarySave();
            break;
        case ITM_HELP_HELP:
            commandHelp();
            break;
        case ITM_HELP_WEBSITE:
            openWithDesktop(QUrl(homePage()));
            break;
        case ITM_HELP_DOWNLOAD:
            if (uiPort().messageBox("Téléchargement",
                                    "Télécharger la dernière version de l'application ?",
                                    UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
                openWithDesktop(QUrl(homePage() + "MorvexFylatek/MorvexFylatek.rar"));
            break;
        case ITM_HELP_DEBUGWINDOW: {
            int failed = TestRegExp();
            SetStatusBarText(
                QString("Auto-test de la reconnaissance des types : %1 échec(s), détail dans le "
                        "fichier de log")
                    .arg(failed),
                0);
            break;
        }
        case ITM_HELP_DEBUGSAVEBINARY:
            commandDebugBinary();
            break;
        case ITM_HELP_SHOWLOG:
            openWithDesktop(QUrl::fromLocalFile(QString::fromStdString(logFilePath(gcontexte))));
            break;
        case ITM_HELP_ABOUT: {
            AboutDialog about(this);
            execDialog(&about);
            break;
        }
        default:
            break;
    }
    UpdateVisualIndicators();
}

void MainWindow::commandNew() {
    help_->EcrireMessageInfo(2);
    FileDesc* desc =
        FILEDESC_CreateFileDesc("Nouveau", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!desc) return;
    if (!uiPort().editProjectProperties(desc, true)) {
        FILEDESC_CloseFileDesc(desc);
        return;
    }
    IHM_OpenFormat(desc);
    desc->isModified = 1;
    RaffraichirFileDescView();
    help_->EcrireMessageInfo(0);
}

void MainWindow::commandOpen() {
    std::optional<std::string> chosen =
        uiPort().promptFile("Ouvrir un fichier de format...", gcontexte.formatLibrary,
                            "Fichiers format Fylatek (*.fyk)|*.fyk", false);
    if (chosen && !chosen->empty()) openDescriptionFile(*chosen);
}

void MainWindow::commandMigrate() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    std::optional<std::string> chosen = uiPort().promptFile(
        "Ouvrir un fichier de format...", "", "Fichiers format v1 beta (*.for)|*.for", false);
    if (!chosen || chosen->empty()) return;
    if (ChargerFormat(desc, chosen->c_str()) != 0) {
        uiPort().messageBox(kCaption,
                            "Le fichier '" + *chosen +
                                "' ne peut pas être lu comme un fichier "
                                "de format v1 beta.",
                            UiButtons::Ok, UiIcon::Warning);
    }
    refreshColumnList();
    RaffraichirVueApercuFichier(nullptr);
}

void MainWindow::commandChangeExample() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    std::optional<std::string> chosen = uiPort().promptFile(
        "Importation de fichiers plats", "*.txt", "Fichiers texte (*.txt)|*.txt", false);
    if (!chosen || chosen->empty()) return;
    free(desc->ExampleFilePath);
    desc->ExampleFilePath = strdup(chosen->c_str());
    desc->isModified = 1;
    if (!resultShown_) toggleResultView();
    RaffraichirVueApercuFichier(nullptr);
    RaffraichirVueResultat();
}

void MainWindow::commandSendToSQLite(FileDesc* desc) {
    QtUiPort* port = qtUiPort();
    const int runs = port ? port->taskRuns() : 0;
    FYK_SendDataToSQLiteWithFilePrompt(this, desc);
    // Only a load that ran to its end offers its rows.
    if (!port || port->taskRuns() == runs || port->lastTaskEnd() != TASK_EVENT_FINISHED ||
        !desc->DatabaseFilePath || !desc->DatabaseFilePath[0])
        return;
    const std::string database = desc->DatabaseFilePath;
    if (uiPort().messageBox("Requêteur SQLite",
                            "Les données ont été envoyées dans la base '" + database +
                                "'.\nVoulez-vous les consulter dans le requêteur SQLite ?",
                            UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
        openQueryTool(database);
}

void MainWindow::openQueryTool(const std::string& database) {
    if (queryToolOpener_)
        queryToolOpener_(database);
    else
        appelDlgRequeteur(this, gcontexte.currentFile, database);
}

void MainWindow::commandSqlServerScript() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    std::string proposed = suggestedFileName(desc, ".sql");
    if (gcontexte.formatLibrary[0])
        proposed = std::string(gcontexte.formatLibrary) + "/" + proposed;
    std::optional<std::string> chosen =
        uiPort().promptFile("Enregistrer le fichier SQL sous ...", proposed,
                            "Fichier de script SQL (*.sql)|*.sql", true);
    if (!chosen || chosen->empty()) return;
    int rows = MSSQL_SendDataToSQLServer(desc, desc->ExampleFilePath, chosen->c_str(), 0);
    if (rows == -4) {
        // The core has already told the person that the table has no name.
        return;
    }
    if (rows == -2) {
        uiPort().messageBox(kCaption, "Impossible de créer le script '" + *chosen + "'.",
                            UiButtons::Ok, UiIcon::Error);
    } else if (rows < 0) {
        uiPort().messageBox(kCaption,
                            "Le fichier de données exemple de la description ne peut pas être "
                            "lu : le script est vide.",
                            UiButtons::Ok, UiIcon::Warning);
    }
}

void MainWindow::commandHelp() {
    const QString manual = manualPath();
    if (!manual.isEmpty() && openWithDesktop(QUrl::fromLocalFile(manual))) return;
    if (uiPort().messageBox("Fichier d'aide non trouvé",
                            "Impossible de trouver le fichier d'aide. Voulez-vous le télécharger?",
                            UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
        openWithDesktop(QUrl(homePage() + "MorvexFylatek/MorvexFylatek.chm"));
}

void MainWindow::commandDebugBinary() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    trace("\n[ITM_HELP_DEBUGSAVEBINARY] : Enregistrement du format...");
    char formatPath[APPLICATION_DIRECTORY_MAX + 64];
    char paddingPath[APPLICATION_DIRECTORY_MAX + 64];
    FILEDESC_DebugFormatBinPath(gcontexte.logsDirectory, formatPath, sizeof formatPath);
    FILEDESC_DebugPaddingPath(gcontexte.logsDirectory, paddingPath, sizeof paddingPath);
    int failed = EnregistrerFormat(desc, formatPath);
    failed |= DEBUG_SavePadding(desc, paddingPath);
    trace(failed ? "\n[ITM_HELP_DEBUGSAVEBINARY] : -> Erreur"
                 : "\n[ITM_HELP_DEBUGSAVEBINARY] : -> OK");
    SetStatusBarText(fromUtf8(formatPath), 0);
}

void MainWindow::openDirectory(const char* directory) {
    if (!directory || !directory[0]) {
        uiPort().messageBox(kCaption,
                            "Ce répertoire n'est pas encore défini : renseignez-le dans Outils > "
                            "Options.",
                            UiButtons::Ok, UiIcon::Info);
        return;
    }
    openWithDesktop(QUrl::fromLocalFile(fromUtf8(directory)));
}

void MainWindow::showTabMenu(const QPoint& at) {
    int index = tabs_->tabAt(at);
    if (index >= 0 && index != tabs_->currentIndex()) tabs_->setCurrentIndex(index);
    QMenu menu(this);
    menu.addAction(actions_[ITM_FILE_SAVE]);
    menu.addAction(actions_[ITM_FILE_PROPERTIES]);
    menu.addSeparator();
    QAction* close = menu.addAction("Fermer le fichier");
    connect(close, &QAction::triggered, this, [this] { runCommand(ITM_FILE_CLOSEFORMAT); });
    menu.exec(tabs_->mapToGlobal(at));
}

// ---- Drag and drop ----

void MainWindow::setQueryToolOpener(std::function<void(const std::string&)> opener) {
    queryToolOpener_ = std::move(opener);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    event->acceptProposedAction();
    handleDroppedFiles(files);
}

void MainWindow::handleDroppedFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    std::string path = files.first().toStdString();
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    trace("\nchaine=[%s]", path.c_str());
    const std::string ext = lowerExtension(path);
    if (ext == ".fyk") {
        openDescriptionFile(path);
        UpdateVisualIndicators();
    } else if (ext == ".db") {
        openQueryTool(path);  // the dropped file wins over the description's database
    } else {
        if (FYK_DataFileReverseEngenering(this, path.c_str(), FILEANALYSE_DETECTED) == 0) {
            TBR_FormatUpdated(gcontexte.currentFile);
            help_->EcrireMessageInfo(0);
        }
        RaffraichirFileDescView();
        UpdateVisualIndicators();
    }
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
