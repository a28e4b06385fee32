// The main window: its panels and their wiring, start-up, the status bar and the refreshes.
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
#include <QHBoxLayout>
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
#include "appcore/mainframe.h"
#include "appcore/sqlitecommands.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
#include "app/mainwindow_detail.h"
#include "app/mssqlparamswindow.h"
#include "foundation/datadir.h"
#include "app/optionsdialog.h"
#include "app/panelseparator.h"
#include "app/pkindexeswindow.h"
#include "app/previewsplitter.h"
#include "app/profilepanel.h"
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

namespace mainwindow_detail {

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

// A file shipped with the program (foundation/datadir.h), or "" when it is missing.
QString shippedFile(const QString& relative) {
    return QString::fromStdString(dataPath(relative.toStdString()));
}

// What the first run adds once the settings are written: the two file types, then the Options
// sheet, before the main window shows.
void firstRun(void* window) {
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    const EXTENSION_ASSOC types[] = {
        {".tpl", "Morvex Fylatek Template", shippedFile("icons/template.svg").toStdString(),
         program + " %1", kCaption},
        {".fyk", "Morvex Fylatek Description File",
         shippedFile("icons/description.svg").toStdString(), program + " %1", kCaption},
    };
    // An installed program's types came with its package; only a build tree registers them.
    if (!fileAssocInstalledWithProgram())
        for (const EXTENSION_ASSOC& type : types)
            enregistrerExtension(window, &type, FILEASSOC_SCOPE_USER);
    DoPropertySheetOptions(nullptr, &gcontexte);
}

}  // namespace mainwindow_detail

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
    // The selected column's profile stands beside the column list.
    profile_ = new ProfilePanel(editor);
    profile_->setFixedWidth(270);
    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(2);
    listRow->addWidget(descList_, 1);
    listRow->addWidget(profile_);
    layout->addLayout(listRow, 1);
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
    connect(descList_, &DescriptionList::columnHighlighted, profile_, [this](int row) {
        const std::vector<ColumnDesc*> columns = DESCEDIT_Columns(gcontexte.currentFile);
        if (row >= 0 && row < static_cast<int>(columns.size()))
            profile_->showColumn(QString::fromUtf8(columns[static_cast<size_t>(row)]->code));
    });
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
    // The previews as the person left them (shown at the first start).
    if (resultShown_ != (gcontexte.showResultView != 0)) {
        resultShown_ = gcontexte.showResultView != 0;
        actions_[ITM_VIEW_RESULT]->setChecked(resultShown_);
        splitter_->setPreviewsShown(resultShown_);
    }

    std::string logWarning;
    const std::string logPath = traceOpenLog(logFilePath(gcontexte), &logWarning);
    if (!logWarning.empty()) trace("\n[initFrmDlgMain] %s", logWarning.c_str());
    if (!logPath.empty()) {
        trace("\n[initFrmDlgMain] Le fichier de log principal est [%s]", logPath.c_str());
    } else {
        uiPort().messageBox("Morvex Fylatek : Erreur Grave",
                            "Impossible de rediriger la sortie standard vers le fichier de log",
                            UiButtons::Ok, UiIcon::Error);
    }
    traceText(early.c_str());

    step(-1, "Chargement de la DLL SQLite 3...");
    UiError loadError;
    sqliteLibrary_ = SQLITE3_LoadDLL(this, SQLITE3_DEFAULT_LIBRARY, &loadError);
    showError(loadError);
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

QAction* MainWindow::commandAction(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
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
    APPLICATION_SaveShowResultView(&gcontexte, resultShown_ ? 1 : 0);  // read at the next start
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
    profile_->refresh();
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
            // After an analysis (or a dictionary or template change) the columns and their types
            // are new: so is their profile.
            refreshColumnList();
            profile_->refresh();
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

// ---- Drag and drop ----
void MainWindow::setQueryToolOpener(std::function<void(const std::string&)> opener) {
    queryToolOpener_ = std::move(opener);
}

}  // namespace morvex
