// The split-file view ("Aperçu de fichier découpé", modal): the whole example file of the
// current description split into columns. A worker thread indexes the rows; the list reads the
// rows it shows from the file on demand. "Exporter" writes them as a semicolon-separated file.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "splitindex/splitindex.h"

class QAction;
class QLabel;
class QTableView;

namespace morvex {

// The rows indexed so far, read from the file a page at a time.
class SplitFileModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit SplitFileModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    // Shows `index` (the model takes it) with these column titles.
    void setIndex(std::unique_ptr<SPLITINDEX> index, const QStringList& titles);
    // Adds rows whose ends the indexing worker has found since the last call.
    void appendRows(const std::vector<int64_t>& ends);
    const SPLITINDEX* rowIndex() const { return index_.get(); }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::unique_ptr<SPLITINDEX> index_;
    QStringList titles_;
    mutable int pageFirst_ = -1;  // first row of the cached page
    mutable std::vector<std::vector<std::string>> page_;
};

class SplitFileView : public QDialog {
    Q_OBJECT

public:
    // Starts loading the current description's example file.
    explicit SplitFileView(QWidget* parent = nullptr);
    ~SplitFileView() override;

    // "Arrêter le chargement du fichier".
    void stopLoading();
    // Writes the rows to `path`; false (message shown) when the file cannot be created.
    bool exportTo(const QString& path);
    // Waits for the worker to end (tests, closing).
    void waitForWorker();
    bool loading() const { return loading_; }
    QString statusText(int part) const;
    QTableView* list() const { return list_; }
    SplitFileModel* model() const { return model_; }
    QAction* stopAction() const { return stop_; }

signals:
    // Worker to view (queued): rows are waiting in pending_; the worker has ended.
    void rowsPending();
    void finished(int result);

private:
    void takePendingRows();
    void onFinished(int result);
    void exportCommand();

    QTableView* list_;
    SplitFileModel* model_;
    QAction* stop_;
    QLabel* parts_[4];
    std::atomic<bool> stopFlag_{false};
    std::mutex pendingLock_;
    std::vector<int64_t> pending_;       // row ends found by the worker, not yet in the model
    int rowsRead_ = 0;                   // rows the worker had read at its last report
    std::atomic<bool> notified_{false};  // a rowsPending() is on its way
    std::thread worker_;
    bool loading_ = false;
};

// Opens the split-file view over `parent` and returns when it closes.
void appelDlgFicDecoupe(QWidget* parent);

}  // namespace morvex
