#include "app/querytoolwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <atomic>

#include "appcore/application.h"
#include "appcore/filetargets.h"
#include "app/qtuiport.h"
#include "app/windowplacement.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace morvex {

namespace {

const char kInitialQuery[] = "SELECT *\nFROM sqlite_master";
const char kSqlDocumentation[] = "https://www.sqlite.org/lang.html";
constexpr int kFirstColumnWidth = 70;

QPointer<QueryToolWindow> gWindow;  // the open query tool
QString gDatabasePath;              // kept between openings of the window

}  // namespace

// ---- The rows ----

void QueryResultModel::clear() {
    beginResetModel();
    table_.clear();
    endResetModel();
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
    for (const SQLQUERY_BLOCK& block : batch.blocks) added += static_cast<int>(block.starts.size());
    if (added == 0) return;
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
    if (role != Qt::DisplayRole || !at.isValid()) return {};
    bool isNull = false;
    const std::string_view text = table_.value(at.row(), at.column(), &isNull);
    if (isNull) return QString("NULL");
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant QueryResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPixelSize(15);

    editor_ = new QPlainTextEdit;
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

    // Left of the vertical separator an empty strip; right of it the editor above the list.
    outer_ = new QSplitter(Qt::Horizontal);
    outer_->setObjectName("queryVerticalSeparator");
    outer_->setHandleWidth(6);
    outer_->addWidget(new QWidget);
    inner_ = new QSplitter(Qt::Vertical);
    inner_->setObjectName("queryHorizontalSeparator");
    inner_->setHandleWidth(6);
    inner_->addWidget(editor_);
    inner_->addWidget(list_);
    inner_->handle(1)->setToolTip("SEP_REQ_H");
    outer_->addWidget(inner_);
    outer_->setStretchFactor(1, 1);
    inner_->setStretchFactor(1, 1);
    outer_->setChildrenCollapsible(false);
    inner_->setChildrenCollapsible(false);
    setCentralWidget(outer_);

    struct Entry {
        int command;
        const char* text;
        const char* iconText;  // tool bar text; nullptr: not on the tool bar
        QStyle::StandardPixmap icon;
    };
    const Entry entries[] = {
        {ITM_REQ_OPEN, "Ouvrir une base SQLite", "Ouvrir une base SQLite",
         QStyle::SP_DialogOpenButton},
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
    file->addAction(actions_[ITM_REQ_EXPORT]);
    file->addSeparator();
    file->addAction(actions_[ITM_REQ_QUIT]);
    QMenu* query = menuBar()->addMenu("&Requête");
    query->addAction(actions_[ITM_REQ_EXECUTE]);
    query->addAction(actions_[ITM_REQ_STOP]);
    menuBar()->addMenu("&Aide")->addAction(actions_[ITM_REQ_SQLDOC]);

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

    placeOnParent(this, parent, QSize(900, 640));
    outer_->setSizes({150, width() - 156});
    inner_->setSizes({200 - 36, height() - 200});
    setRunning(false);
}

QueryToolWindow::~QueryToolWindow() {
    if (worker_.joinable()) {
        SQLQUERY_Interrupt(&run_);
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
    databasePath_ = path;
    gDatabasePath = path;
    setStatus(SQLQUERY_STATUS_PATH, path);
    parts_[SQLQUERY_STATUS_PATH]->setToolTip(path);
}

void QueryToolWindow::setRunning(bool running) {
    actions_[ITM_REQ_EXECUTE]->setEnabled(!running);
    actions_[ITM_REQ_STOP]->setEnabled(running);
    actions_[ITM_REQ_EXPORT]->setEnabled(!running);
    actions_[ITM_REQ_OPEN]->setEnabled(!running);
}

void QueryToolWindow::runCommand(int command) {
    QAction* action = commandAction(command);
    if (action && !action->isEnabled()) return;
    switch (command) {
        case ITM_REQ_OPEN:
            commandOpen();
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
    if (running()) return false;
    // The rows are written by a worker while the window keeps drawing; nothing that changes
    // them can start meanwhile.
    setStatus(SQLQUERY_STATUS_STATE, "Exportation des résultats...");
    actions_[ITM_REQ_EXECUTE]->setEnabled(false);
    actions_[ITM_REQ_EXPORT]->setEnabled(false);
    actions_[ITM_REQ_OPEN]->setEnabled(false);
    std::atomic<bool> done{false};
    bool ok = false;
    std::string error;
    QEventLoop loop;
    std::thread writer([&] {
        ok = writeFileReplacing(
            path.toStdString(),
            [&](const std::string& temporary) {
                return model_->table().exportCsv(temporary, true);
            },
            &error);
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done) loop.exec();
    writer.join();
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
    if (running()) return false;
    setStatus(SQLQUERY_STATUS_STATE, "Exécution de la requête en cours...");
    model_->clear();
    columnsSized_ = 0;
    elapsed_.start();
    setStatus(SQLQUERY_STATUS_TIME, QString::fromStdString(SQLQUERY_DurationText(0)));
    setStatus(SQLQUERY_STATUS_ROWS, QString());

    const std::string path = databasePath_.toStdString();
    if (!SQLQUERY_DatabaseExists(path)) {
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

    sink_ = std::make_unique<SQLQUERY_ROWSINK>([this] {
        QMetaObject::invokeMethod(
            this, [this] { takeRows(); }, Qt::QueuedConnection);
    });
    setRunning(true);
    clock_->start();
    SQLQUERY_ROWSINK* sink = sink_.get();
    worker_ = std::thread([this, sink, path, query] {
        const int result = SQLQUERY_Execute(&run_, path.c_str(), query.c_str(), sink);
        sink->flush();
        QMetaObject::invokeMethod(
            this, [this, result] { onRunEnded(result); }, Qt::QueuedConnection);
    });
    return true;
}

void QueryToolWindow::takeRows() {
    if (!sink_) return;
    SQLQUERY_BATCH batch;
    if (!sink_->take(batch)) return;
    model_->append(batch);
    // New columns start 70 pixels wide; they are sized to their content at the end.
    for (; columnsSized_ < model_->columnCount(); ++columnsSized_)
        list_->setColumnWidth(columnsSized_, kFirstColumnWidth);
    for (int part = 0; part < 5; ++part)
        if (batch.hasStatus[part]) setStatus(part, QString::fromStdString(batch.status[part]));
}

void QueryToolWindow::stopQuery() {
    if (!running()) return;
    setStatus(SQLQUERY_STATUS_STATE, "Demande d'interruption de la requête...");
    SQLQUERY_Interrupt(&run_);
    actions_[ITM_REQ_STOP]->setEnabled(false);
}

void QueryToolWindow::onRunEnded(int result) {
    if (worker_.joinable()) worker_.join();
    clock_->stop();
    takeRows();
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
    emit runEnded();
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
    QElapsedTimer waited;
    waited.start();
    while (running() && waited.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return !running();
}

void QueryToolWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        SQLQUERY_Interrupt(&run_);
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
