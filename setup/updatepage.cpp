#include "setup/updatepage.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <chrono>
#include <future>
#include <memory>

#include "desktop/columnfit.h"

namespace {

// Delay between the page's opening and the start of the worker.
constexpr int kStartDelayMs = 1000;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

}  // namespace

morvex::UiAnswer askWithMessageBox(QWidget* parent, const std::string& caption,
                                   const std::string& text, morvex::UiButtons buttons,
                                   morvex::UiIcon icon) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == morvex::UiIcon::Warning) boxIcon = QMessageBox::Warning;
    if (icon == morvex::UiIcon::Error) boxIcon = QMessageBox::Critical;
    if (icon == morvex::UiIcon::Question) boxIcon = QMessageBox::Question;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    if (buttons == morvex::UiButtons::OkCancel) set = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == morvex::UiButtons::YesNo) set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == morvex::UiButtons::YesNoCancel) {
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    QMessageBox box(boxIcon, fromUtf8(caption), fromUtf8(text), set, parent);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return morvex::UiAnswer::Yes;
        case QMessageBox::No:
            return morvex::UiAnswer::No;
        case QMessageBox::Cancel:
            return morvex::UiAnswer::Cancel;
        default:
            return morvex::UiAnswer::Ok;
    }
}

UpdatePage::UpdatePage(LIVEUPDATE_JOB job, SetupAsker asker, bool startWorker, QWidget* parent)
    : QWidget(parent), job_(std::move(job)), asker_(std::move(asker)) {
    setWindowTitle(QStringLiteral("Liste des mises à jour"));
    job_.stop = &stop_;
    if (!asker_) asker_ = askWithMessageBox;

    // The page's heading, drawn as the welcome page draws its own.
    auto* heading = new QLabel(QStringLiteral("Liste des mises à jour"), this);
    heading->setObjectName("heading");
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    heading->setFont(big);
    auto* intro = new QLabel(
        QStringLiteral("Voici les applications et extensions que vous pouvez mettre à jour."),
        this);
    intro->setWordWrap(true);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(5);
    list_->setHeaderLabels({QStringLiteral("Application/Extension"), QStringLiteral("Statut"),
                            QStringLiteral("Version locale"), QStringLiteral("Dernière version"),
                            QStringLiteral("Fichier")});
    list_->headerItem()->setTextAlignment(COL_STATUS, Qt::AlignCenter);
    // Titles and states whole ("Terminé.", "ERREUR"), the addresses to the right edge.
    morvex::keepColumnsFitted(list_);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);

    status_ = new QLabel(QStringLiteral("Prêt"), this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading);
    layout->addSpacing(12);
    layout->addWidget(intro);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addWidget(progress_);

    // The worker's reports arrive in this (the user-interface) thread.
    connect(this, &UpdatePage::statusChanged, status_, &QLabel::setText, Qt::QueuedConnection);
    connect(this, &UpdatePage::rowAdded, this, &UpdatePage::onRowAdded, Qt::QueuedConnection);
    connect(this, &UpdatePage::rowStatusChanged, this, &UpdatePage::onRowStatus,
            Qt::QueuedConnection);
    connect(this, &UpdatePage::rowAttempted, this, &UpdatePage::onRowAttempted,
            Qt::QueuedConnection);
    connect(
        this, &UpdatePage::progressRangeChanged, this,
        [this](int range) { progress_->setRange(0, range); }, Qt::QueuedConnection);
    connect(this, &UpdatePage::progressChanged, progress_, &QProgressBar::setValue,
            Qt::QueuedConnection);
    connect(
        this, &UpdatePage::busyChanged, this,
        [this](bool busy) {
            if (busy)
                setCursor(Qt::WaitCursor);
            else
                unsetCursor();
        },
        Qt::QueuedConnection);
    connect(
        this, &UpdatePage::workerFinished, this,
        [this](LIVEUPDATE_RESULT result) {
            result_ = result;
            finished_ = true;
            unsetCursor();
        },
        Qt::QueuedConnection);

    if (startWorker) QTimer::singleShot(kStartDelayMs, this, &UpdatePage::startWorker);
}

UpdatePage::~UpdatePage() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void UpdatePage::startWorker() {
    if (worker_.joinable()) return;
    worker_ = std::thread([this] { runWorker(); });
}

void UpdatePage::runWorker() {
    LIVEUPDATE_HOOKS hooks;
    hooks.status = [this](const std::string& text) { emit statusChanged(fromUtf8(text)); };
    hooks.addRow = [this](int row, const std::string& name, const std::string& url) {
        emit rowAdded(row, fromUtf8(name), fromUtf8(url));
    };
    hooks.rowStatus = [this](int row, const std::string& text) {
        emit rowStatusChanged(row, fromUtf8(text));
    };
    hooks.rowAttempted = [this](int row) { emit rowAttempted(row); };
    hooks.progressRange = [this](int range) { emit progressRangeChanged(range); };
    hooks.progress = [this](int position) { emit progressChanged(position); };
    hooks.busy = [this](bool busy) { emit busyChanged(busy); };
    hooks.ask = [this](const std::string& caption, const std::string& text,
                       morvex::UiButtons buttons,
                       morvex::UiIcon icon) { return askFromWorker(caption, text, buttons, icon); };
    const LIVEUPDATE_RESULT result = LIVEUPDATE_Run(job_, hooks);
    emit workerFinished(result);
}

morvex::UiAnswer UpdatePage::askFromWorker(const std::string& caption, const std::string& text,
                                           morvex::UiButtons buttons, morvex::UiIcon icon) {
    const morvex::UiAnswer refusal =
        buttons == morvex::UiButtons::Ok ? morvex::UiAnswer::Ok : morvex::UiAnswer::No;
    // The question is put in the user-interface thread; the worker waits for the answer, and
    // gives up (answering no) when the page goes away meanwhile.
    auto answer = std::make_shared<std::promise<morvex::UiAnswer>>();
    std::future<morvex::UiAnswer> pending = answer->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, answer, caption, text, buttons, icon] {
            answer->set_value(asker_(window(), caption, text, buttons, icon));
        },
        Qt::QueuedConnection);
    while (pending.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (stop_) return refusal;
    }
    try {
        return pending.get();
    } catch (const std::future_error&) {
        return refusal;  // the question was dropped with the page
    }
}

void UpdatePage::onRowAdded(int row, const QString& name, const QString& url) {
    if (row != list_->topLevelItemCount()) return;
    auto* item = new QTreeWidgetItem(list_);
    item->setText(COL_NAME, name);
    item->setText(COL_URL, url);
    item->setTextAlignment(COL_STATUS, Qt::AlignCenter);
    item->setCheckState(COL_NAME, Qt::Unchecked);
}

void UpdatePage::onRowStatus(int row, const QString& text) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setText(COL_STATUS, text);
}

void UpdatePage::onRowAttempted(int row) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row))
        item->setCheckState(COL_NAME, Qt::Checked);
    if (QTreeWidgetItem* next = list_->topLevelItem(row + 1)) list_->scrollToItem(next);
}
