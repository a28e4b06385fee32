// The main window of morvex ("Importation de fichiers plats"): the open descriptions (one tab
// each), the current one's column list and previews, the contextual help panel, the menus, tool
// bar and status bar from which every command starts, drag and drop, and the start-up and exit
// sequences that run inside it.
//
// Owned by the user-interface thread; it works on gcontexte (appcore/application.h), whose
// openFiles list owns the open descriptions. Worker threads never call it directly: the Qt UI
// port queues their reports.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/uiport.h"

struct FileDesc;
struct MSSQL_PARAMS;
class QAction;
class QLabel;
class QTabBar;
class QToolBar;
class QToolButton;

namespace morvex {

class ColumnDetailPanel;
class DescriptionList;
class HelpPanel;
class PanelSeparator;
class PkIndexesWindow;
class PreviewSplitter;
class ProfilePanel;
class ResultPreview;
class SourcePreview;
class SplashWindow;

// Command numbers of the main window.
enum MainCommand {
    ITM_FILE_NEW = 1044,
    ITM_FILE_OPEN = 1045,
    ITM_FILE_IMPORTTEXT = 1046,
    ITM_FILE_MIGRATE = 1047,
    ITM_FILE_SAVE = 1048,
    ITM_FILE_SAVEAS = 1049,
    ITM_FILE_CLOSEFORMAT = 1050,
    ITM_FILE_ANALYSE = 1051,
    ITM_FILE_PROPERTIES = 1052,
    ITM_FILE_QUIT = 1053,
    ITM_EDIT_UP = 1054,
    ITM_EDIT_DOWN = 1055,
    ITM_VIEW_RESULT = 1056,
    ITM_VIEW_HELP = 1057,
    ITM_DATA_EXAMPLE = 1058,
    ITM_DATA_SPLITVIEW = 1059,
    ITM_DATA_STATS = 1060,
    ITM_DATA_SQLITE = 1061,
    ITM_DATA_SQLITEMEMORY = 1062,
    ITM_DATA_QUERY = 1063,
    ITM_DATA_MSSQL = 1064,
    ITM_TOOLS_GENERATION = 1065,
    ITM_TOOLS_GENOPTIONS = 1066,
    ITM_TOOLS_OPENGENDIR = 1067,
    ITM_TOOLS_OPENTEMPLATEDIR = 1068,
    ITM_TOOLS_OPENFORMATDIR = 1069,
    ITM_TOOLS_OPENTOOLSDIR = 1070,
    ITM_TOOLS_OPTIONS = 1071,
    ITM_DICO_SHOW = 1072,
    ITM_DICO_SAVE = 1073,
    ITM_HELP_HELP = 1074,
    ITM_HELP_WEBSITE = 1075,
    ITM_HELP_DOWNLOAD = 1076,
    ITM_HELP_DEBUGWINDOW = 1077,
    ITM_HELP_DEBUGSAVEBINARY = 1078,
    ITM_HELP_SHOWLOG = 1079,
    ITM_HELP_ABOUT = 1080,
    ITM_DATA_POSTGRESQL = 1081,
};

// The home page of the program (help download, latest version, web site entry).
QString homePage();
// The user manual shipped with the program, or an empty text when it cannot be found.
QString manualPath();

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Unattended start (screenshots, start-up timing): no first-run dialogs.
    void setUnattended(bool unattended) { unattended_ = unattended; }
    // The start-up sequence that runs in the window (initFrmDlgMain): context and settings, log
    // file, SQLite library, the first description "Nouveau", then the command line. `splash`
    // (may be nullptr) shows the steps. Call once, before showing the window.
    void initialise(SplashWindow* splash, const std::string& commandLine);
    // Opens every ".fyk" word of a command line in order, stopping at the first failure.
    void openCommandLine(const std::string& commandLine, SplashWindow* splash = nullptr);

    // Runs one command of the command table, then refreshes the title and indicators.
    void runCommand(int command);

    // Adds a tab for `desc`, appends it to openFiles and makes it current.
    void IHM_OpenFormat(FileDesc* desc);
    // Save as for the current description; true when a file name was confirmed.
    bool TBR_SaveFormat();
    // Closes one open description, asking to save it when modified: 0 closed, -1 cancelled, 1
    // when it has no tab.
    int TBR_CloseFormat(FileDesc* desc);
    // Sets the caption of `desc`'s tab to its project name.
    void TBR_FormatUpdated(FileDesc* desc);
    // Title, visibility of the description list, indexes window and status bar.
    void UpdateVisualIndicators();
    // Column list, source preview (example file) and result preview of the current description.
    void RaffraichirFileDescView();
    void RaffraichirVueResultat();
    // Loads the source preview from `path` (nullptr: the current description's example file).
    void RaffraichirVueApercuFichier(const char* path, bool showEmpty = false);
    // One part (0 to 3) of the status bar.
    void SetStatusBarText(const QString& text, int part);
    QString statusBarText(int part) const;
    // A refresh request of the UI port.
    void refreshView(UiRefresh what);
    // Lets go of `desc` without destroying it (its tab and its place in openFiles), selecting
    // another tab as a close does.
    void detachFormat(FileDesc* desc);
    // Reads a description file and opens it; the failure message otherwise. True when opened.
    bool openDescriptionFile(const std::string& path);
    // The files dropped on the window: only the first is handled.
    void handleDroppedFiles(const QStringList& files);
    // Exit sequence: closes every description (asking to save), saves the settings, writes the
    // statistics and the memory report. 0 when the program may end, -1 when cancelled.
    int On_Close();

    // Opens the SQLite query tool on `database` ("": the current description's, else the last
    // one), or hands the path to the opener hook when one is set (tests record it).
    void openQueryTool(const std::string& database);
    void setQueryToolOpener(std::function<void(const std::string&)> opener);

    // Parts of the window (tests, screenshots, and the later editor windows).
    HelpPanel* helpPanel() const { return help_; }
    QTabBar* tabBar() const { return tabs_; }
    QAction* commandAction(int command) const;
    bool resultViewShown() const { return resultShown_; }
    bool helpPanelShown() const { return helpShown_; }
    QWidget* descriptionList() const;
    QWidget* sourcePreview() const;
    QWidget* resultPreview() const;
    QToolBar* mainToolBar() const { return toolBar_; }
    // The description editor's list and detail panel, and the two previews.
    DescriptionList* columnListView() const { return descList_; }
    ColumnDetailPanel* columnDetail() const { return detail_; }
    SourcePreview* sourcePreviewView() const { return sourceView_; }
    ResultPreview* resultPreviewView() const { return resultView_; }
    PkIndexesWindow* keysWindow() const { return keys_; }
    // The profile of the selected column, beside the column list.
    ProfilePanel* profilePanel() const { return profile_; }
    // The splitter between the column list and the previews.
    PreviewSplitter* previewSplitter() const { return splitter_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void layoutChildren();  // On_Resize
    void onTabSelected(int index);
    void showTabMenu(const QPoint& at);
    void refreshColumnList();
    bool saveAs(FileDesc* desc);
    bool saveDescription(FileDesc* desc);
    int tabOf(const FileDesc* desc) const;
    FileDesc* descriptionOfTab(int index) const;
    void removeTab(FileDesc* desc);
    void openDirectory(const char* directory);
    void toggleResultView();
    void toggleHelpPanel();
    bool runFileCommand(int command);
    void runOtherCommand(int command);
    void commandNew();
    void commandOpen();
    void commandMigrate();
    void commandChangeExample();
    void commandSqlServerScript();
    void commandSendToSQLite(FileDesc* desc, bool inMemory);
    void commandHelp();
    void commandDebugBinary();

    std::map<int, QAction*> actions_;
    QWidget* central_;
    QToolBar* toolBar_;
    QTabBar* tabs_;
    HelpPanel* help_;
    PanelSeparator* separator_;
    QWidget* areas_[3];  // description list, source preview, result preview
    QLabel* statusParts_[4];
    DescriptionList* descList_ = nullptr;
    ColumnDetailPanel* detail_ = nullptr;
    SourcePreview* sourceView_ = nullptr;
    ResultPreview* resultView_ = nullptr;
    PkIndexesWindow* keys_ = nullptr;
    ProfilePanel* profile_ = nullptr;
    PreviewSplitter* splitter_ = nullptr;
    std::vector<QToolButton*> textButtons_;  // the tool bar's buttons that show their text
    int toolBarFullWidth_ = 0;               // the tool bar's width with those texts
    void createEditorWidgets();
    bool unattended_ = false;    // no person to answer the first run's dialogs
    bool resultShown_ = false;   // result view flag (setting ShowResultView)
    bool helpShown_ = true;      // help panel flag (not saved)
    bool updatingTabs_ = false;  // the tabs are changed by the program, not the person
    bool initialised_ = false;   // initialise() ran: the context is this window's
    void* sqliteLibrary_ = nullptr;
    std::function<void(const std::string&)> queryToolOpener_;
    // The SQL Server generation parameters, kept for the whole run ("Options de génération").
    std::unique_ptr<MSSQL_PARAMS> mssqlParams_;
};

}  // namespace morvex
