#include "app/splitfileview.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <optional>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "appcore/filetargets.h"
#include "app/resultpreview.h"
#include "app/windowplacement.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace morvex {

namespace {
constexpr int kPageRows = 200;
}

void SplitFileModel::setIndex(std::unique_ptr<SPLITINDEX> index, const QStringList& titles) {
    beginResetModel();
    index_ = std::move(index);
    titles_ = titles;
    pageFirst_ = -1;
    page_.clear();
    endResetModel();
}

void SplitFileModel::appendRows(const std::vector<int64_t>& ends) {
    if (!index_ || ends.empty()) return;
    const int first = SPLITINDEX_RowCount(index_.get());
    beginInsertRows({}, first, first + static_cast<int>(ends.size()) - 1);
    index_->ends.insert(index_->ends.end(), ends.begin(), ends.end());
    endInsertRows();
}

int SplitFileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : SPLITINDEX_RowCount(index_.get());
}

int SplitFileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant SplitFileModel::data(const QModelIndex& at, int role) const {
    if (role != Qt::DisplayRole || !index_ || !at.isValid()) return {};
    const int row = at.row();
    if (pageFirst_ < 0 || row < pageFirst_ || row >= pageFirst_ + static_cast<int>(page_.size())) {
        pageFirst_ = row - row % kPageRows;
        if (!SPLITINDEX_ReadRows(index_.get(), pageFirst_, kPageRows, page_) && page_.empty())
            pageFirst_ = -1;
    }
    if (pageFirst_ < 0) return {};
    const auto& cells = page_[static_cast<size_t>(row - pageFirst_)];
    if (at.column() >= static_cast<int>(cells.size())) return {};
    const std::string& cell = cells[static_cast<size_t>(at.column())];
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant SplitFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section < titles_.size() ? titles_[section] : QVariant();
    return section + 1;
}

SplitFileView::SplitFileView(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Aperçu de fichier découpé");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menus = new QMenuBar(this);
    QMenu* file = menus->addMenu("Fichier");
    QAction* exportAction = file->addAction("Exporter");
    exportAction->setData(1099);
    stop_ = file->addAction("Arrêter le chargement du fichier");
    stop_->setData(1100);
    QAction* close = file->addAction("Fermer");
    close->setData(1101);
    auto* tools = new QToolBar(this);
    QAction* stopButton = tools->addAction("Arrêter le chargement");
    connect(stop_, &QAction::enabledChanged, stopButton, &QAction::setEnabled);
    connect(stopButton, &QAction::triggered, this, &SplitFileView::stopLoading);
    connect(stop_, &QAction::triggered, this, &SplitFileView::stopLoading);
    connect(exportAction, &QAction::triggered, this, &SplitFileView::exportCommand);
    connect(close, &QAction::triggered, this, &QDialog::accept);

    list_ = new QTableView(this);
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(14);
    list_->setFont(font);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setShowGrid(true);
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(18);
    model_ = new SplitFileModel(this);
    list_->setModel(model_);
    connect(list_, &QTableView::clicked, this, [this](const QModelIndex& at) {
        parts_[1]->setText(QString("Ligne %1, Colonne %2").arg(at.row() + 1).arg(at.column()));
    });

    auto* status = new QStatusBar(this);
    const int widths[] = {200, 200, 400};
    for (int i = 0; i < 4; ++i) {
        parts_[i] = new QLabel(this);
        if (i < 3) parts_[i]->setFixedWidth(widths[i]);
        // The data file's path is cut rather than widen the window past the screen.
        if (i == 3) parts_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        status->addWidget(parts_[i], i == 3 ? 1 : 0);
    }
    layout->setMenuBar(menus);
    layout->addWidget(tools);
    layout->addWidget(list_, 1);
    layout->addWidget(status);
    placeOnParent(this, parent, QSize(900, 600));

    // Rows are indexed in the worker; the view takes them in at its own pace (queued).
    connect(this, &SplitFileView::rowsPending, this, &SplitFileView::takePendingRows,
            Qt::QueuedConnection);
    connect(this, &SplitFileView::finished, this, &SplitFileView::onFinished, Qt::QueuedConnection);

    stopFlag_ = false;
    FileDesc* desc = gcontexte.currentFile;
    const std::string path = desc && desc->ExampleFilePath ? desc->ExampleFilePath : "";
    const int nCarMax = static_cast<int>(gcontexte.nCarMaxReadWithoutNewLine);
    parts_[0]->setText("Chargement du fichier en cours...");
    parts_[3]->setText(QString::fromStdString(path));
    parts_[3]->setToolTip(parts_[3]->text());
    QStringList titles;
    for (ColumnDesc* c : DESCEDIT_Columns(desc)) titles << QString::fromUtf8(c->code);
    auto shown = std::make_unique<SPLITINDEX>();
    SPLITINDEX_Prepare(shown.get(), desc, path, nCarMax);
    model_->setIndex(std::move(shown), titles);
    const std::vector<ColumnDesc*> columns = DESCEDIT_Columns(desc);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        list_->setColumnWidth(i, LISTVIEW_ColumnWidth(desc, columns[i]));
    loading_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker_ = std::thread([this, desc, path, nCarMax] {
        SPLITINDEX built;
        size_t published = 0;
        auto publish = [&](int rows) {
            {
                std::lock_guard<std::mutex> lock(pendingLock_);
                pending_.insert(pending_.end(), built.ends.begin() + static_cast<long>(published),
                                built.ends.end());
                rowsRead_ = rows;
            }
            published = built.ends.size();
            if (!notified_.exchange(true)) emit rowsPending();
        };
        const SplitIndexResult result =
            SPLITINDEX_Build(&built, desc, path, nCarMax, &stopFlag_, publish);
        publish(SPLITINDEX_RowCount(&built));
        emit finished(result);
    });
}

SplitFileView::~SplitFileView() {
    stopFlag_ = true;
    waitForWorker();
}

void SplitFileView::waitForWorker() {
    if (worker_.joinable()) worker_.join();
    QApplication::sendPostedEvents(this);
}

void SplitFileView::takePendingRows() {
    notified_ = false;
    std::vector<int64_t> ends;
    int read = 0;
    {
        std::lock_guard<std::mutex> lock(pendingLock_);
        ends.swap(pending_);
        read = rowsRead_;
    }
    model_->appendRows(ends);
    if (loading_ && read > 0)
        parts_[2]->setText(QString("%1 ligne(s) lue(s)").arg(read - read % 100));
}

void SplitFileView::onFinished(int result) {
    takePendingRows();
    if (!loading_) return;
    loading_ = false;
    QApplication::restoreOverrideCursor();
    stop_->setEnabled(false);
    if (result == SPLITINDEX_NOREADER) {
        trace("\n[SplitFileView::onFinished] Erreur lors de la création de l'itérateur");
        parts_[0]->setText("Terminé.");
        parts_[2]->setText("0 ligne(s)");
        return;
    }
    const int rows = model_->rowCount();
    if (result == SPLITINDEX_STOPPED) {
        parts_[0]->setText("Terminé (chargement interrompu).");
        parts_[2]->setText(
            QString("%1 ligne(s) chargées (fichier partiellement chargé)").arg(rows));
    } else {
        parts_[0]->setText("Terminé.");
        parts_[2]->setText(QString("%1 ligne(s)").arg(rows));
    }
    LISTVIEW_AutoResizeColumns(list_);
}

void SplitFileView::stopLoading() {
    stopFlag_ = true;
    stop_->setEnabled(false);
}

QString SplitFileView::statusText(int part) const {
    return part >= 0 && part < 4 ? parts_[part]->text() : QString();
}

bool SplitFileView::exportTo(const QString& path) {
    const int total = model_->rowCount();
    std::string error = "Impossible d'écrire le fichier '" + path.toStdString() + "'.";
    const bool ok =
        model_->rowIndex() &&
        writeFileReplacing(
            path.toStdString(),
            [this, total](const std::string& temporary) {
                return SPLITINDEX_Export(model_->rowIndex(), temporary, [this, total](int rows) {
                    // Nothing is drawn while the rows are written: the text set once per
                    // thousand rows and after the last one gives the same picture.
                    if (rows % 1000 == 0 || rows == total)
                        parts_[0]->setText(QString("%1 ligne(s) exportée(s)").arg(rows));
                });
            },
            &error);
    if (!ok)
        uiPort().messageBox("Exportation", "Impossible d'ouvrir le fichier spécifié.\n" + error,
                            UiButtons::Ok, UiIcon::Error);
    return ok;
}

void SplitFileView::exportCommand() {
    FileDesc* desc = gcontexte.currentFile;
    // Never the data file the view reads, nor the description.
    EXPORT_GUARDS guards{desc, std::string()};
    const std::string proposed =
        EXPORT_ProposedPath(startFolder(gcontexte.formatLibrary, desc), ".csv", guards);
    std::optional<std::string> chosen =
        EXPORT_AskTarget("Exporter les données...",
                         "Fichier délimité par un point-virgule (CSV) (*.cvs)", proposed, guards);
    if (chosen) exportTo(QString::fromStdString(*chosen));
}

void appelDlgFicDecoupe(QWidget* parent) {
    SplitFileView view(parent);
    view.exec();
}

}  // namespace morvex
