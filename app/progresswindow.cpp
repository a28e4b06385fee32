#include "app/progresswindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <system_error>

#include "desktop/columnfit.h"
#include "app/qtuiport.h"
#include "foundation/trace.h"

namespace morvex {

namespace {
bool gAutoClose = false;
// Plain progress reaches the window at most this often (milliseconds).
constexpr qint64 kProgressInterval = 50;
}  // namespace

void ProgressWindow::setAutoClose(bool autoClose) { gAutoClose = autoClose; }

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Traitement en cours...");
    setObjectName("progressWindow");
    status_ = new QLabel("Prêt", this);
    status_->setObjectName("statusLine");
    status_->setWordWrap(true);
    stopButton_ = new QPushButton("Arrêter traitement", this);
    stopButton_->setEnabled(false);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    list_ = new QTreeWidget(this);
    list_->setHeaderLabels({"Tâche", "Etat"});
    keepColumnsFitted(list_);  // the task's name whole, its state to the right edge
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    closeButton_ = new QPushButton("Fermer", this);

    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(stopButton_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(bar_);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
    resize(500, 260);

    connect(stopButton_, &QPushButton::clicked, this, &ProgressWindow::requestStop);
    connect(closeButton_, &QPushButton::clicked, this, [this] { close(); });
    sinceDelivery_.start();
}

ProgressWindow::~ProgressWindow() {
    if (worker_.joinable()) {
        TASK_RequestStop(task_);
        worker_.join();
    }
    if (task_) task_->eventCallback = nullptr;
}

int ProgressWindow::runTasks(TASKSLIST* tasks) {
    if (!start(tasks)) return 1;
    execDialog(this);
    // Whatever ended the dialog, the worker must be done before the caller frees the list.
    if (worker_.joinable()) {
        TASK_RequestStop(task_);
        worker_.join();
    }
    running_ = false;
    return 0;
}

bool ProgressWindow::start(TASKSLIST* tasks) {
    int count = tasks ? LDCG_Count(tasks) : 0;
    trace("\n[ProgressWindow::start] Loading %i task(s)", count);
    if (!tasks || !tasks->first || worker_.joinable()) return false;
    TASK* task = static_cast<TASK*>(tasks->first->lParam1);
    if (!task || !task->worker) return false;
    trace("\n[ProgressWindow::start] Adding task : %s", task->name ? task->name : "");
    task_ = task;
    task_->eventCallback = &ProgressWindow::TaskEventCallback;
    task_->runnerData = this;
    row_ = new QTreeWidgetItem(list_, {QString::fromUtf8(task->name ? task->name : ""),
                                       "En attente"});
    running_ = true;
    try {
        worker_ = std::thread([this] {
            task_->worker(task_);
            QMetaObject::invokeMethod(this, [this] { onWorkerEnded(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        running_ = false;
        trace("\n[ProgressWindow::start] Impossible de démarrer la tâche");
        return false;
    }
    setState("Exécution");
    stopButton_->setEnabled(true);
    return true;
}

void ProgressWindow::requestStop() {
    if (!running_.load() || !task_) return;
    trace("\n[ProgressWindow::requestStop] Arrêt demandé");
    TASK_RequestStop(task_);
    stopButton_->setEnabled(false);
}

bool ProgressWindow::waitForWorker(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (running_.load() || worker_.joinable()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void ProgressWindow::TaskEventCallback(TASK* task, int event, int range, int position,
                                       const char* message) {
    auto* self = task ? static_cast<ProgressWindow*>(task->runnerData) : nullptr;
    if (!self) return;
    const bool terminal = event == TASK_EVENT_FINISHED || event == TASK_EVENT_INTERRUPTED ||
                          event == TASK_EVENT_NOT_STARTED;
    std::lock_guard<std::mutex> guard(self->lock_);
    Pending& p = self->pending_;
    p.progress = true;
    p.range = range;
    p.position = position;
    if (message) {
        p.hasMessage = true;
        p.message = message;
    }
    if (terminal) p.states.push_back(event);
    if (self->posted_) return;
    self->posted_ = true;
    QMetaObject::invokeMethod(self, [self] { self->scheduleDelivery(); }, Qt::QueuedConnection);
}

void ProgressWindow::scheduleDelivery() {
    // Plain progress reaches the bar at most once per interval; the rest waits for the timer.
    const qint64 elapsed = sinceDelivery_.elapsed();
    if (elapsed >= kProgressInterval) {
        deliver();
    } else {
        QTimer::singleShot(static_cast<int>(kProgressInterval - elapsed), this,
                           [this] { deliver(); });
    }
}

void ProgressWindow::deliver() {
    Pending p;
    {
        std::lock_guard<std::mutex> guard(lock_);
        p = std::move(pending_);
        pending_ = Pending{};
        posted_ = false;
    }
    sinceDelivery_.restart();
    if (p.hasMessage) WriteMessage(QString::fromUtf8(p.message.c_str()));
    if (p.progress) {
        bar_->setRange(0, p.range > 0 ? p.range : 0);
        bar_->setValue(p.range > 0 ? std::min(p.position, p.range) : 0);
        if (p.range <= 0) bar_->setRange(0, 100);
        ++progressUpdates_;
    }
    for (int event : p.states) {
        endEvent_ = event;
        if (event == TASK_EVENT_FINISHED) setState("Terminé");
        else if (event == TASK_EVENT_INTERRUPTED) setState("Tâche interrompue");
        else if (event == TASK_EVENT_NOT_STARTED) setState("Non démarrée");
    }
}

void ProgressWindow::onWorkerEnded() {
    if (worker_.joinable()) worker_.join();
    running_ = false;
    deliver();  // whatever the interval held back
    stopButton_->setEnabled(false);
    emit workerEnded();
    if (closeWhenDone_ || gAutoClose) done(QDialog::Accepted);
}

void ProgressWindow::WriteMessage(const QString& text) { status_->setText(text); }

void ProgressWindow::setState(const QString& state) {
    if (row_) row_->setText(1, state);
}

bool ProgressWindow::finishOrDefer() {
    if (!running_.load()) return true;
    closeWhenDone_ = true;
    requestStop();
    WriteMessage("Arrêt du traitement en cours...");
    return false;
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    if (finishOrDefer()) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

void ProgressWindow::reject() {
    if (finishOrDefer()) QDialog::reject();
}

QString ProgressWindow::statusLine() const { return status_->text(); }

QString ProgressWindow::taskState(int row) const {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    return item ? item->text(1) : QString();
}

int ProgressWindow::rowCount() const { return list_->topLevelItemCount(); }

int ProgressWindow::progressValue() const { return bar_->value(); }

int ProgressWindow::progressMaximum() const { return bar_->maximum(); }

}  // namespace morvex
