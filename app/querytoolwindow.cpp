#include "app/querytoolwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <set>

#include "appcore/application.h"
#include "appcore/filetargets.h"
#include "app/pgloaddialog.h"
#include "app/qtuiport.h"
#include "app/sqleditor.h"
#include "app/windowplacement.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "sqlquery/resultgrid.h"
#include "sqlquery/sqlsyntax.h"

namespace morvex {

namespace {

const char kInitialQuery[] = "SELECT *\nFROM sqlite_master";
const char kSqlDocumentation[] = "https://www.sqlite.org/lang.html";
constexpr int kFirstColumnWidth = 70;
constexpr int kSchemaWidth = 230;  // the left pane's first width
constexpr int kNameRole = Qt::UserRole + 1;  // a tree item's table name, a history entry's text

QPointer<QueryToolWindow> gWindow;  // the open query tool

// Handles events while `busy` answers true, at most `timeoutMs`; whether it stopped answering.
template <typename Busy>
bool waitWhile(Busy busy, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (busy() && waited.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return !busy();
}
QString gDatabasePath;              // kept between openings of the window

}  // namespace

// ---- The rows ----

void QueryResultModel::clear() {
    beginResetModel();
    table_.clear();
    order_.clear();
    endResetModel();
}

void QueryResultModel::setOrder(std::vector<uint32_t> order) {
    if (!order.empty() && order.size() != static_cast<size_t>(table_.rowCount())) return;
    emit layoutAboutToBeChanged();
    order_ = std::move(order);
    emit layoutChanged();
}

int QueryResultModel::tableRow(int row) const {
    if (order_.empty() || row < 0 || static_cast<size_t>(row) >= order_.size()) return row;
    return static_cast<int>(order_[static_cast<size_t>(row)]);
}

void QueryResultModel::append(SQLQUERY_BATCH& batch) {
    const int columns = table_.columnCount();
    if (batch.columnsChanged && static_cast<int>(batch.columns.size()) > columns) {
        SQLQUERY_BATCH titles;
        titles.columns = std::move(batch.columns);
        titles.columnsChanged = true;
        beginInsertColumns({}, columns, static_cast<int>(titles.columns.size()) - 1);
        table_.append(titles);
        endInsertColumns();
    }
    batch.columnsChanged = false;
    int added = 0;
    for (const SQLQUERY_BLOCK& block : batch.blocks) added += static_cast<int>(block.rowCount());
    if (added == 0) return;
    if (!order_.empty()) setOrder({});  // rows that come after a sort are shown as received
    const int first = table_.rowCount();
    beginInsertRows({}, first, first + added - 1);
    table_.append(batch);
    endInsertRows();
}

int QueryResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int QueryResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.columnCount();
}

QVariant QueryResultModel::data(const QModelIndex& at, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::TextAlignmentRole) || !at.isValid()) return {};
    bool isNull = false;
    const std::string_view text = table_.value(tableRow(at.row()), at.column(), &isNull);
    if (role == Qt::TextAlignmentRole) {
        const bool right = !isNull && SQLQUERY_LooksNumeric(text);
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (isNull) return QString("NULL");
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant QueryResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // A first click on a title sorts ascending.
    if (role == Qt::InitialSortOrderRole) return static_cast<int>(Qt::AscendingOrder);
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= table_.columnCount()) return {};
    return QString::fromStdString(table_.columnTitle(section));
}

// ---- The window ----

QueryToolWindow::QueryToolWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("queryTool");
    setWindowTitle("Requêteur SQLite");
    setAttribute(Qt::WA_QuitOnClose, false);
    buildPanes();
    buildCommands();
    buildStatusBar();

    placeOnParent(this, parent, QSize(900, 640));
    outer_->setSizes({kSchemaWidth, width() - kSchemaWidth - 6});
    inner_->setSizes({200 - 36, height() - 200});
    setRunning(false);
}

// The editor, the result list, the tree of the database's objects and the history, in their
// splitters.
void QueryToolWindow::buildPanes() {
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPixelSize(15);
    editor_ = new SqlEditor;
    editor_->setObjectName("queryText");
    editor_->setToolTip("RIC_REQ_TEXT");
    editor_->setFont(fixed);
    editor_->setPlainText(kInitialQuery);
    model_ = new QueryResultModel(this);
    list_ = new QTableView;
    list_->setObjectName("queryResult");
    list_->setToolTip("LVW_REQ_RESULT");
    list_->setFont(fixed);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->setDefaultSectionSize(QFontMetrics(fixed).height() + 4);
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setDefaultSectionSize(kFirstColumnWidth);
    list_->horizontalHeader()->setSectionsClickable(true);
    list_->horizontalHeader()->setSortIndicatorShown(true);
    list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(list_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                if (!sortBy(column, order)) showSortIndicator();
            });
    auto* copy = new QAction("Copier", list_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { copySelection(); });
    list_->addAction(copy);

    // Left of the vertical separator the tables and views of the database above its history;
    // right of it the editor, the error line and the list.
    tree_ = new QTreeWidget;
    tree_->setObjectName("querySchema");
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({"Objet", "Type"});
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    // Names and types whole; a pane too narrow for them scrolls.
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { useTreeItem(item); });
    history_ = new QListWidget;
    history_->setObjectName("queryHistory");
    history_->setUniformItemSizes(true);
    connect(history_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { useHistoryEntry(history_->row(item)); });
    auto* historyPane = new QWidget;
    auto* historyLayout = new QVBoxLayout(historyPane);
    historyLayout->setContentsMargins(0, 0, 0, 0);
    historyLayout->setSpacing(2);
    historyLayout->addWidget(new QLabel("Historique des requêtes"));
    historyLayout->addWidget(history_);
    left_ = new QSplitter(Qt::Vertical);
    left_->setObjectName("queryLeftPane");
    left_->addWidget(tree_);
    left_->addWidget(historyPane);
    left_->setStretchFactor(0, 3);
    left_->setStretchFactor(1, 1);

    error_ = new QLabel;
    error_->setObjectName("queryError");
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->setStyleSheet("QLabel { color: #B00000; }");
    error_->hide();
    auto* editorPane = new QWidget;
    auto* editorLayout = new QVBoxLayout(editorPane);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->setSpacing(2);
    editorLayout->addWidget(editor_, 1);
    editorLayout->addWidget(error_);

    outer_ = new QSplitter(Qt::Horizontal);
    outer_->setObjectName("queryVerticalSeparator");
    outer_->setHandleWidth(6);
    outer_->addWidget(left_);
    inner_ = new QSplitter(Qt::Vertical);
    inner_->setObjectName("queryHorizontalSeparator");
    inner_->setHandleWidth(6);
    inner_->addWidget(editorPane);
    inner_->addWidget(list_);
    inner_->handle(1)->setToolTip("SEP_REQ_H");
    outer_->addWidget(inner_);
    outer_->setStretchFactor(1, 1);
    inner_->setStretchFactor(1, 1);
    outer_->setChildrenCollapsible(false);
    inner_->setChildrenCollapsible(false);
    setCentralWidget(outer_);
}

// The commands, on the tool bar and in the menus.
void QueryToolWindow::buildCommands() {
    struct Entry {
        int command;
        const char* text;
        const char* iconText;  // tool bar text; nullptr: not on the tool bar
        QStyle::StandardPixmap icon;
    };
    const Entry entries[] = {
        {ITM_REQ_OPEN, "Ouvrir une base SQLite", "Ouvrir une base SQLite",
         QStyle::SP_DialogOpenButton},
        {ITM_REQ_OPEN_PG, "Ouvrir une connexion PostgreSQL", "PostgreSQL",
         QStyle::SP_DriveNetIcon},
        {ITM_REQ_EXPORT, "Exporter les résultats", nullptr, QStyle::SP_DialogSaveButton},
        {ITM_REQ_QUIT, "Quitter", nullptr, QStyle::SP_DialogCloseButton},
        {ITM_REQ_EXECUTE, "Exécuter", "Exécuter", QStyle::SP_MediaPlay},
        {ITM_REQ_STOP, "Arrêter l'exécution", "Arrêter", QStyle::SP_MediaStop},
        {ITM_REQ_SQLDOC, "Documentation SQL sur le site de SQLite", nullptr,
         QStyle::SP_DialogHelpButton},
    };
    QToolBar* tools = addToolBar("Requêteur");
    tools->setObjectName("queryToolBar");
    tools->setMovable(false);
    tools->setIconSize(QSize(20, 20));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (const Entry& e : entries) {
        auto* action = new QAction(style()->standardIcon(e.icon), QString::fromUtf8(e.text), this);
        if (e.iconText) {
            action->setIconText(QString::fromUtf8(e.iconText));
            tools->addAction(action);
        }
        const int command = e.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        actions_[command] = action;
    }
    actions_[ITM_REQ_EXECUTE]->setShortcut(Qt::Key_F5);
    QMenu* file = menuBar()->addMenu("&Fichier");
    file->addAction(actions_[ITM_REQ_OPEN]);
    file->addAction(actions_[ITM_REQ_OPEN_PG]);
    file->addAction(actions_[ITM_REQ_EXPORT]);
    file->addSeparator();
    file->addAction(actions_[ITM_REQ_QUIT]);
    QMenu* query = menuBar()->addMenu("&Requête");
    query->addAction(actions_[ITM_REQ_EXECUTE]);
    query->addAction(actions_[ITM_REQ_STOP]);
    menuBar()->addMenu("&Aide")->addAction(actions_[ITM_REQ_SQLDOC]);
}

void QueryToolWindow::buildStatusBar() {
    // Five parts whose right edges are at 300, 500, 600 and 700 pixels, the last to the edge;
    // the version and time parts are a little wider so that their texts are never cut.
    statusBar()->setToolTip("STB_REQ_MAIN");
    const int widths[] = {300, 200, 80, 120, 0};
    for (int i = 0; i < 5; ++i) {
        parts_[i] = new QLabel;
        parts_[i]->setObjectName(QString("queryStatus%1").arg(i));
        parts_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (widths[i] > 0) {
            parts_[i]->setFixedWidth(widths[i]);
            statusBar()->addWidget(parts_[i]);
        } else {
            statusBar()->addWidget(parts_[i], 1);
        }
    }
    setStatus(SQLQUERY_STATUS_STATE, "Prêt");
    setStatus(SQLQUERY_STATUS_VERSION, QString::fromStdString(SQLQUERY_VersionText()));
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &QueryToolWindow::showElapsed);
}

QueryToolWindow::~QueryToolWindow() {
    stopSort();
    if (sorter_.joinable()) sorter_.join();
    if (worker_.joinable()) {
        interruptRun();
        worker_.join();
    }
}

QAction* QueryToolWindow::commandAction(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QString QueryToolWindow::statusText(int part) const {
    return part >= 0 && part < 5 ? parts_[part]->text() : QString();
}

void QueryToolWindow::setStatus(int part, const QString& text) {
    if (part >= 0 && part < 5) parts_[part]->setText(text);
}

void QueryToolWindow::setDatabasePath(const QString& path) {
    pgConnection_.clear();
    setStatus(SQLQUERY_STATUS_VERSION, QString::fromStdString(SQLQUERY_VersionText()));
    databasePath_ = path;
    gDatabasePath = path;
    setStatus(SQLQUERY_STATUS_PATH, path);
    parts_[SQLQUERY_STATUS_PATH]->setToolTip(path);
    schema_.clear();
    tree_->clear();
    history_->clear();
    refreshSchema();
    refreshHistory();
}

void QueryToolWindow::setRunning(bool running) {
    running = running || sorting();
    actions_[ITM_REQ_EXECUTE]->setEnabled(!running);
    actions_[ITM_REQ_STOP]->setEnabled(running);
    actions_[ITM_REQ_EXPORT]->setEnabled(!running);
    actions_[ITM_REQ_OPEN]->setEnabled(!running);
    actions_[ITM_REQ_OPEN_PG]->setEnabled(!running);
}

void QueryToolWindow::runCommand(int command) {
    QAction* action = commandAction(command);
    if (action && !action->isEnabled()) return;
    switch (command) {
        case ITM_REQ_OPEN:
            commandOpen();
            break;
        case ITM_REQ_OPEN_PG:
            commandOpenPostgresql();
            break;
        case ITM_REQ_EXPORT:
            commandExport();
            break;
        case ITM_REQ_QUIT:
            close();
            break;
        case ITM_REQ_EXECUTE:
            executerRequete();
            break;
        case ITM_REQ_STOP:
            stopQuery();
            break;
        case ITM_REQ_SQLDOC:
            openWithDesktop(QUrl(kSqlDocumentation));
            break;
        default:
            break;
    }
}

void QueryToolWindow::commandOpen() {
    QString start = QString::fromUtf8(gcontexte.databasesDirectory);
    std::optional<std::string> chosen =
        uiPort().promptFile("Ouvrir un fichier de base de données SQLite...", start.toStdString(),
                            "Fichiers de bases de données SQLite (*.db)|*.db", false);
    if (chosen && !chosen->empty()) setDatabasePath(QString::fromStdString(*chosen));
}

void QueryToolWindow::commandOpenPostgresql() {
    PgLoadDialog dialog(this, nullptr, PgLoadDialog::Purpose::Query);
    if (execDialog(&dialog) != QDialog::Accepted) return;
    const std::string shown = dialog.connectionWithoutPassword();
    PgLoadDialog::rememberConnection(shown);
    setPostgresqlConnection(dialog.connection(), shown);
}

void QueryToolWindow::setPostgresqlConnection(const std::string& conninfo,
                                              const std::string& shown) {
    databasePath_.clear();
    pgConnection_ = conninfo;
    const QString named = "PostgreSQL [" + QString::fromStdString(shown) + "]";
    setStatus(SQLQUERY_STATUS_PATH, named);
    parts_[SQLQUERY_STATUS_PATH]->setToolTip(named);
    setStatus(SQLQUERY_STATUS_VERSION, "PostgreSQL");
    schema_.clear();
    tree_->clear();
    history_->clear();
    refreshSchema();
}

void QueryToolWindow::interruptRun() {
    // Only the running query's own: a request left on the other would stop its next run.
    if (pgRun_)
        PGQUERY_Interrupt(pgRun_.get());
    else
        SQLQUERY_Interrupt(&run_);
}

std::string QueryToolWindow::selectAllText(const std::string& name) const {
    const auto on = pgSelects_.find(name);
    return onPostgresql() && on != pgSelects_.end() ? on->second : SQLQUERY_SelectAllText(name);
}

void QueryToolWindow::commandExport() {
    FileDesc* desc = gcontexte.currentFile;
    // Never the data file the rows may come from, nor the database they are read from.
    EXPORT_GUARDS guards{desc, databasePath_.toStdString()};
    const std::string proposed =
        EXPORT_ProposedPath(startFolder(gcontexte.formatLibrary, desc), ".csv", guards);
    std::optional<std::string> chosen = EXPORT_AskTarget(
        "Exporter les données...", "Fichier délimité par un point-virgule (CSV) (*.csv)|*.csv",
        proposed, guards);
    if (chosen) exportTo(QString::fromStdString(*chosen));
}

bool QueryToolWindow::exportTo(const QString& path) {
    // Nor while a sort may change the order the export follows.
    if (running() || sorting()) return false;
    // The rows are written by a worker while the window keeps drawing; nothing that changes
    // them can start meanwhile.
    setStatus(SQLQUERY_STATUS_STATE, "Exportation des résultats...");
    actions_[ITM_REQ_EXECUTE]->setEnabled(false);
    actions_[ITM_REQ_EXPORT]->setEnabled(false);
    actions_[ITM_REQ_OPEN]->setEnabled(false);
    exporting_ = true;
    std::atomic<bool> done{false};
    bool ok = false;
    std::string error;
    QEventLoop loop;
    std::thread writer([&] {
        ok = writeFileReplacing(
            path.toStdString(),
            [&](const std::string& temporary) {
                // In the order the grid shows.
                return model_->table().exportCsv(temporary, true, {}, &model_->order());
            },
            &error);
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done) loop.exec();
    writer.join();
    exporting_ = false;
    setRunning(false);
    if (!ok) {
        setStatus(SQLQUERY_STATUS_STATE, "Exportation impossible");
        uiPort().messageBox("Exportation", "Impossible d'ouvrir le fichier spécifié.\n" + error,
                            UiButtons::Ok, UiIcon::Error);
        return false;
    }
    setStatus(SQLQUERY_STATUS_STATE, QString("%1 ligne(s) exportée(s) dans %2")
                                         .arg(model_->rowCount())
                                         .arg(QDir::toNativeSeparators(path)));
    return true;
}

bool QueryToolWindow::executerRequete() {
    if (running() || sorting() || exporting_) return false;
    setStatus(SQLQUERY_STATUS_STATE, "Exécution de la requête en cours...");
    // The previous result stays until this run brings rows or succeeds.
    clearOnRows_ = true;
    error_->clear();
    error_->hide();
    elapsed_.start();
    setStatus(SQLQUERY_STATUS_TIME, QString::fromStdString(SQLQUERY_DurationText(0)));
    setStatus(SQLQUERY_STATUS_ROWS, QString());

    const std::string path = databasePath_.toStdString();
    if (!onPostgresql() && !SQLQUERY_DatabaseExists(path)) {
        trace("\nEchec de l'ouverture de la base");
        setStatus(SQLQUERY_STATUS_STATE, "Echec de l'ouverture de la base de données.");
        return false;
    }
    // The selection when there is one, else the whole text; a selection's line ends come back
    // as paragraph separators.
    QTextCursor cursor = editor_->textCursor();
    QString text = cursor.hasSelection() ? cursor.selectedText() : editor_->toPlainText();
    text.replace(QChar::ParagraphSeparator, '\n').replace(QChar::LineSeparator, '\n');
    trace("\n[executerRequete] cpMax=%i, cpMin=%i, sizeOfText=%i",
          static_cast<int>(cursor.selectionEnd()), static_cast<int>(cursor.selectionStart()),
          static_cast<int>(editor_->toPlainText().size()));
    const std::string query = text.toStdString();
    runText_ = query;
    runStart_ = cursor.hasSelection() ? cursor.selectionStart() : 0;

    sink_ = std::make_unique<SQLQUERY_ROWSINK>([this] {
        QMetaObject::invokeMethod(
            this, [this] { takeRows(); }, Qt::QueuedConnection);
    });
    setRunning(true);
    clock_->start();
    SQLQUERY_ROWSINK* sink = sink_.get();
    // On PostgreSQL the run's own record, whose outcome the end of the run reads from run_.
    pgRun_ = onPostgresql() ? std::make_unique<PGQUERY_RUN>() : nullptr;
    worker_ = std::thread([this, sink, path, query, pg = pgRun_.get(), conn = pgConnection_] {
        const int result = pg != nullptr ? PGQUERY_Execute(pg, conn.c_str(), query.c_str(), sink)
                                         : SQLQUERY_Execute(&run_, path.c_str(), query.c_str(), sink);
        if (pg != nullptr) {
            run_.error = pg->error;
            run_.errorOffset = pg->errorOffset;
            run_.interrupted = pg->interrupted;
        }
        sink->flush();
        QMetaObject::invokeMethod(
            this, [this, result] { onRunEnded(result); }, Qt::QueuedConnection);
    });
    return true;
}

void QueryToolWindow::takeRows() {
    if (!sink_) return;
    // Once the grid shows rows, a running query's next ones join it at most every
    // kAppendIntervalMs: each addition lays the view and its row titles out again, and the
    // blocks meanwhile wait in the sink.
    if (running() && !clearOnRows_ && model_->rowCount() > 0 && appended_.isValid() &&
        appended_.elapsed() < kAppendIntervalMs) {
        if (!takeLater_) {
            takeLater_ = true;
            QTimer::singleShot(static_cast<int>(kAppendIntervalMs - appended_.elapsed()), this,
                               [this] {
                                   takeLater_ = false;
                                   takeRows();
                               });
        }
        return;
    }
    appended_.start();
    SQLQUERY_BATCH batch;
    if (!sink_->take(batch)) return;
    if (clearOnRows_ && (batch.columnsChanged || !batch.blocks.empty())) {
        clearOnRows_ = false;
        model_->clear();
        columnsSized_ = 0;
        sortColumn_ = -1;
        showSortIndicator();
    }
    model_->append(batch);
    // New columns start 70 pixels wide; they are sized to their content at the end.
    for (; columnsSized_ < model_->columnCount(); ++columnsSized_)
        list_->setColumnWidth(columnsSized_, kFirstColumnWidth);
    for (int part = 0; part < 5; ++part)
        if (batch.hasStatus[part]) setStatus(part, QString::fromStdString(batch.status[part]));
}

void QueryToolWindow::stopQuery() {
    if (sorting()) {
        setStatus(SQLQUERY_STATUS_STATE, "Demande d'interruption du tri...");
        stopSort();
        return;
    }
    if (!running()) return;
    setStatus(SQLQUERY_STATUS_STATE, "Demande d'interruption de la requête...");
    interruptRun();
    actions_[ITM_REQ_STOP]->setEnabled(false);
}

void QueryToolWindow::onRunEnded(int result) {
    if (worker_.joinable()) worker_.join();
    clock_->stop();
    takeRows();
    if (clearOnRows_ && result == 0) {
        // A success without rows (a statement that returns none) empties the grid.
        model_->clear();
        columnsSized_ = 0;
        sortColumn_ = -1;
        showSortIndicator();
    }
    clearOnRows_ = false;
    if (result != 0 && !run_.error.empty()) showError(runText_, runStart_);
    showElapsed();
    setStatus(SQLQUERY_STATUS_ROWS, QString("%1 ligne(s)").arg(model_->rowCount()));
    if (run_.interrupted) {
        // The rows received so far stay; the state says why they stop there.
        sizeColumns();
        setStatus(SQLQUERY_STATUS_STATE, "La requête a été interrompue par l'utilisateur");
    } else if (result == 0) {
        setStatus(SQLQUERY_STATUS_STATE, "Redimensionnement des colonnes de résultat...");
        sizeColumns();
        setStatus(SQLQUERY_STATUS_STATE, "Terminé");
    }
    sink_.reset();
    setRunning(false);
    // A run may have created, changed or dropped tables, and it is in the history now.
    refreshSchema();
    refreshHistory();
    emit runEnded();
}

void QueryToolWindow::showError(const std::string& query, int queryStart) {
    int line = 0, column = 0;
    const int at = SQLQUERY_Utf16Offset(query, run_.errorOffset);
    if (at >= 0) {
        const int position = queryStart + at;
        const QTextBlock block = editor_->document()->findBlock(position);
        if (block.isValid()) {
            line = block.blockNumber() + 1;
            column = position - block.position() + 1;
        }
    }
    error_->setText(QString::fromStdString(SQLQUERY_ErrorText(run_.error, line, column)));
    error_->show();
}

QString QueryToolWindow::errorText() const {
    return error_->isHidden() ? QString() : error_->text();
}

// ---- The schema and the history ----

void QueryToolWindow::refreshSchema() {
    std::vector<SQLQUERY_SCHEMAOBJECT> objects;
    std::string error;
    const std::string path = databasePath_.toStdString();
    std::vector<std::string> selects;
    const bool read = onPostgresql()
                          ? PGQUERY_ReadSchema(pgConnection_, objects, selects, error)
                          : SQLQUERY_DatabaseExists(path) && path != ":memory:" &&
                                SQLQUERY_ReadSchema(path, objects, error);
    if (!read && onPostgresql()) setStatus(SQLQUERY_STATUS_STATE, QString::fromStdString(error));
    if (read) {
        pgSelects_.clear();
        for (size_t i = 0; i < selects.size(); ++i) pgSelects_[objects[i].name] = selects[i];
    }
    // A database that cannot be read now (locked by another connection) keeps its tree.
    if (!read && tree_->topLevelItemCount() > 0) return;
    if (objects == schema_ && tree_->topLevelItemCount() > 0) return;
    schema_ = std::move(objects);
    tree_->clear();
    const char* groups[] = {"Tables", "Vues", "Catalogue et historique"};
    QTreeWidgetItem* tops[3];
    for (int g = 0; g < 3; ++g) {
        tops[g] = new QTreeWidgetItem(tree_, {QString::fromUtf8(groups[g])});
        QFont bold = tops[g]->font(0);
        bold.setBold(true);
        tops[g]->setFont(0, bold);
    }
    QStringList names;
    for (const SQLQUERY_SCHEMAOBJECT& object : schema_) {
        const QString name = QString::fromStdString(object.name);
        auto* item = new QTreeWidgetItem(tops[object.group], {name});
        item->setData(0, kNameRole, name);
        item->setToolTip(0, QString::fromStdString(selectAllText(object.name)));
        names << name;
        for (const SQLQUERY_SCHEMACOLUMN& column : object.columns) {
            const QString columnName = QString::fromStdString(column.name);
            new QTreeWidgetItem(item, {columnName, QString::fromStdString(column.type)});
            names << columnName;
        }
    }
    tops[SQLQUERY_GROUP_TABLE]->setExpanded(true);
    // A database of a few tables shows their columns at once.
    if (tops[SQLQUERY_GROUP_TABLE]->childCount() <= 3) {
        for (int i = 0; i < tops[SQLQUERY_GROUP_TABLE]->childCount(); ++i)
            tops[SQLQUERY_GROUP_TABLE]->child(i)->setExpanded(true);
    }
    tops[SQLQUERY_GROUP_VIEW]->setExpanded(true);
    static_cast<SqlEditor*>(editor_)->setCompletionNames(names);
}

void QueryToolWindow::refreshHistory() {
    std::vector<SQLQUERY_HISTORYENTRY> entries;
    std::string error;
    const std::string path = databasePath_.toStdString();
    const bool read = !onPostgresql() && SQLQUERY_DatabaseExists(path) && path != ":memory:" &&
                      SQLQUERY_ReadHistory(path, SQLQUERY_HISTORY_MAX_ENTRIES, entries, error);
    if (!read && history_->count() > 0) return;
    history_->clear();
    for (const SQLQUERY_HISTORYENTRY& entry : entries) {
        QString query = QString::fromStdString(entry.query);
        QString shown = query.simplified();
        if (shown.size() > 200) shown = shown.left(200) + "…";
        auto* item = new QListWidgetItem(shown, history_);
        item->setData(kNameRole, query);
        item->setToolTip(QString::fromStdString(entry.timeStamp) + "\n" + query);
    }
}

void QueryToolWindow::useTreeItem(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const QVariant name = item->data(0, kNameRole);
    if (!name.isValid()) return;
    editor_->setPlainText(QString::fromStdString(selectAllText(name.toString().toStdString())));
}

void QueryToolWindow::useHistoryEntry(int row) {
    QListWidgetItem* item = history_->item(row);
    if (item != nullptr) editor_->setPlainText(item->data(kNameRole).toString());
}

// ---- Sort and copy ----

void QueryToolWindow::showSortIndicator() {
    QHeaderView* header = list_->horizontalHeader();
    const QSignalBlocker quiet(header);
    header->setSortIndicator(sortColumn_, sortOrder_);
}

bool QueryToolWindow::sortBy(int column, Qt::SortOrder order) {
    if (running() || sorting() || exporting_ || column < 0 || column >= model_->columnCount())
        return false;
    const SQLQUERY_TABLE& table = model_->table();
    const bool descending = order == Qt::DescendingOrder;
    if (table.rowCount() <= kSortInWorkerRows) {
        std::vector<uint32_t> sorted;
        SQLQUERY_SortOrder(table, column, descending, nullptr, sorted);
        onSortEnded(sortGeneration_, true, std::move(sorted), column, order);
        return true;
    }
    // A large result is sorted by a worker; the rows do not change meanwhile, since no run nor
    // export can start while it sorts.
    const unsigned generation = ++sortGeneration_;
    sortStop_ = std::make_shared<std::atomic<bool>>(false);
    auto stop = sortStop_;
    setStatus(SQLQUERY_STATUS_STATE, "Tri des résultats...");
    sorter_ = std::thread([this, &table, column, descending, order, generation, stop] {
        std::vector<uint32_t> sorted;
        const bool done = SQLQUERY_SortOrder(table, column, descending, stop.get(), sorted);
        QMetaObject::invokeMethod(
            this,
            [this, generation, done, sorted = std::move(sorted), column, order]() mutable {
                onSortEnded(generation, done, std::move(sorted), column, order);
            },
            Qt::QueuedConnection);
    });
    setRunning(false);
    return true;
}

void QueryToolWindow::onSortEnded(unsigned generation, bool done, std::vector<uint32_t> order,
                                  int column, Qt::SortOrder sortOrder) {
    if (generation != sortGeneration_) return;
    // A stop asked before the sorted rows are shown wins, even when the worker had just ended:
    // the person asked for the grid as it was.
    if (sortStop_ && sortStop_->load()) done = false;
    if (sorter_.joinable()) {
        sorter_.join();
        setStatus(SQLQUERY_STATUS_STATE, done ? "Tri terminé" : "Le tri a été interrompu");
    }
    sortStop_.reset();
    if (done) {
        model_->setOrder(std::move(order));
        sortColumn_ = column;
        sortOrder_ = sortOrder;
    }
    showSortIndicator();
    setRunning(running());
    emit sortEnded();
}

void QueryToolWindow::stopSort() {
    if (sortStop_) sortStop_->store(true);
}

bool QueryToolWindow::waitForSort(int timeoutMs) {
    return waitWhile([this] { return sorting(); }, timeoutMs);
}

QString QueryToolWindow::copySelection() {
    const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return {};
    std::set<int> viewRows, columns;
    for (const QModelIndex& index : selected) {
        viewRows.insert(index.row());
        columns.insert(index.column());
    }
    std::vector<int> rows;
    rows.reserve(viewRows.size());
    for (int row : viewRows) rows.push_back(model_->tableRow(row));
    const std::string text = SQLQUERY_TabText(model_->table(), rows, {columns.begin(), columns.end()});
    const QString copied = QString::fromStdString(text);
    QApplication::clipboard()->setText(copied);
    return copied;
}

void QueryToolWindow::showElapsed() {
    if (!elapsed_.isValid()) return;
    setStatus(SQLQUERY_STATUS_TIME,
              QString::fromStdString(SQLQUERY_DurationText(elapsed_.elapsed() / 1000)));
}

void QueryToolWindow::sizeColumns() {
    // Each column fits its content (the rows the view samples), and at least its title.
    QHeaderView* header = list_->horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int column = 0; column < model_->columnCount(); ++column) {
        list_->resizeColumnToContents(column);
        const QString title =
            model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const int least = metrics.horizontalAdvance(title) + 15;
        if (list_->columnWidth(column) < least) list_->setColumnWidth(column, least);
    }
}

bool QueryToolWindow::waitForRun(int timeoutMs) {
    return waitWhile([this] { return running(); }, timeoutMs);
}

void QueryToolWindow::closeEvent(QCloseEvent* event) {
    if (sorting()) {
        stopSort();
        sorter_.join();
    }
    if (running()) {
        interruptRun();
        worker_.join();
        sink_.reset();
    }
    event->accept();
}

QueryToolWindow* queryToolWindow() {
    return gWindow.data();
}

QueryToolWindow* appelDlgRequeteur(QWidget*, FileDesc* desc, const std::string& path) {
    QString chosen = QString::fromStdString(path);
    if (chosen.isEmpty() && desc && desc->DatabaseFilePath && desc->DatabaseFilePath[0])
        chosen = QString::fromUtf8(desc->DatabaseFilePath);
    if (chosen.isEmpty()) chosen = gDatabasePath;
    const bool opening = !gWindow;
    if (opening) {
        // A window of its own (no owner), destroyed when it is closed.
        gWindow = new QueryToolWindow;
        gWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    gWindow->setDatabasePath(chosen);
    gWindow->show();
    gWindow->raise();
    gWindow->activateWindow();
    if (opening) gWindow->executerRequete();
    return gWindow.data();
}

}  // namespace morvex
