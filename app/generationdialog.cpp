#include "app/generationdialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "appcore/application.h"
#include "appcore/generationlog.h"
#include "appcore/processlist.h"
#include "desktop/columnfit.h"
#include "app/qtuiport.h"
#include "app/windowplacement.h"
#include "filedesc/filedesc.h"
#include "filedesc/process.h"
#include "foundation/appsettings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "template/template.h"

namespace morvex {

namespace {

enum { COL_TASK, COL_FORMAT, COL_TEMPLATE, COL_STATE, COL_MESSAGE };

const char kStatusPrefix[] = "Processing Task ";

// The folder of the templates offered: the settings' one, else the shipped templates.
std::string templatesFolder() {
    return templatesDirectoryOf(gcontexte);
}

}  // namespace

void GenerationDialog::RunCloser::operator()(GENERATIONRUN* run) const {
    GENERATION_DestroyRun(run);
}

GenerationDialog::GenerationDialog(FileDesc* desc, QWidget* parent) : QDialog(parent), desc_(desc) {
    setObjectName("generationDialog");
    setWindowTitle("Génération de code");
    status_ = new QLabel("Prêt");
    status_->setObjectName("generationStatus");
    stop_ = new QPushButton("Arrêter traitement");
    remove_ = new QPushButton("Supprimer");
    add_ = new QPushButton("Ajouter traitement");
    generate_ = new QPushButton("Générer");
    close_ = new QPushButton("Fermer");
    for (QPushButton* button : {stop_, remove_, add_, generate_, close_})
        button->setAutoDefault(false);
    bar_ = new QProgressBar;
    bar_->setRange(0, 1);
    bar_->setValue(0);
    list_ = new QTreeWidget;
    list_->setObjectName("generationTasks");
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({"Tâche", "Format", "Template", "Etat", "Message"});
    // Every column as wide as what it shows ("Tâche interrompue" whole); the template's path
    // gives up room when they do not all fit.
    keepColumnsFitted(list_, COL_TEMPLATE);
    // Grid lines between the cells; a selected row keeps the usual colours.
    list_->setStyleSheet(
        "QTreeWidget::item { border-right: 1px solid palette(mid); "
        "border-bottom: 1px solid palette(mid); }"
        "QTreeWidget::item:selected { background: palette(highlight); "
        "color: palette(highlighted-text); }");

    // The shipped templates, to pick from with a double click or "Ajouter".
    offered_ = new QTreeWidget;
    offered_->setObjectName("offeredTemplates");
    offered_->setRootIsDecorated(false);
    offered_->setHeaderLabels({"Modèles fournis"});
    offered_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const std::string& path : GENERATION_TemplatesIn(templatesFolder())) {
        auto* item = new QTreeWidgetItem(offered_);
        const QString file = QString::fromStdString(path);
        item->setText(0, QFileInfo(file).completeBaseName());
        item->setToolTip(0, file);
        item->setData(0, Qt::UserRole, file);
    }
    auto* pick = new QPushButton("Ajouter");
    pick->setAutoDefault(false);
    auto* offeredPane = new QWidget;
    auto* offeredLayout = new QVBoxLayout(offeredPane);
    offeredLayout->setContentsMargins(0, 0, 0, 0);
    offeredLayout->addWidget(offered_, 1);
    offeredLayout->addWidget(pick);

    messages_ = new QPlainTextEdit;
    messages_->setObjectName("generationMessages");
    messages_->setReadOnly(true);
    messages_->setPlaceholderText("Les messages de la tâche sélectionnée s'affichent ici.");
    auto* tasks = new QSplitter(Qt::Vertical);
    tasks->addWidget(list_);
    tasks->addWidget(messages_);
    tasks->setStretchFactor(0, 3);
    tasks->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(offeredPane);
    split->addWidget(tasks);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 4);

    openFolder_ = new QPushButton("Ouvrir le répertoire généré");
    openFolder_->setAutoDefault(false);
    openFolder_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stop_);
    buttons->addWidget(openFolder_);
    buttons->addStretch(1);
    buttons->addWidget(remove_);
    buttons->addWidget(add_);
    buttons->addWidget(generate_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(split, 1);
    layout->addWidget(bar_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &GenerationDialog::addTemplates);
    connect(pick, &QPushButton::clicked, this, [this] { addOfferedTemplates(); });
    connect(offered_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        addOfferedTemplates(offered_->indexOfTopLevelItem(item));
    });
    connect(remove_, &QPushButton::clicked, this, &GenerationDialog::removeSelected);
    connect(generate_, &QPushButton::clicked, this, [this] { generate(); });
    connect(stop_, &QPushButton::clicked, this, &GenerationDialog::stopGeneration);
    connect(close_, &QPushButton::clicked, this, &GenerationDialog::close);
    connect(openFolder_, &QPushButton::clicked, this, &GenerationDialog::openOutputFolder);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openGenerated(list_->indexOfTopLevelItem(item)); });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!running()) showMessagesOf(list_->indexOfTopLevelItem(item));
    });

    placeOnParent(this, parent, QSize(760, 440));
    setRunning(false);
    refreshList();
}

GenerationDialog::~GenerationDialog() {
    endRun();
}

QString GenerationDialog::rowMessage(int row) const {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    return item ? item->toolTip(COL_MESSAGE) : QString();
}

QString GenerationDialog::messagesText() const {
    return messages_->toPlainText();
}

QString GenerationDialog::statusLine() const {
    return status_->text();
}

QString GenerationDialog::rowState(int row) const {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    return item ? item->text(COL_STATE) : QString();
}

void GenerationDialog::refreshList() {
    list_->clear();
    for (const PROCESSLIST_ROW& row : PROCESSLIST_Rows(desc_)) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(COL_TASK, QString::fromUtf8(row.task.c_str()));
        item->setText(COL_FORMAT, QString::fromUtf8(row.format.c_str()));
        item->setText(COL_TEMPLATE, QString::fromUtf8(row.templatePath.c_str()));
        item->setToolTip(COL_TEMPLATE, item->text(COL_TEMPLATE));
        item->setText(COL_STATE, "Prêt");
    }
}

void GenerationDialog::addOfferedTemplates(int row) {
    if (running()) return;
    std::vector<std::string> chosen;
    if (QTreeWidgetItem* item = offered_->topLevelItem(row)) {
        chosen.push_back(item->data(0, Qt::UserRole).toString().toStdString());
    } else {
        for (QTreeWidgetItem* selected : offered_->selectedItems())
            chosen.push_back(selected->data(0, Qt::UserRole).toString().toStdString());
    }
    if (chosen.empty()) return;
    if (!desc_) {
        addTemplates();  // tells that no description is open
        return;
    }
    PROCESSLIST_AddTemplates(desc_, chosen);
    refreshList();
    uiPort().refresh(UiRefresh::Title);
}

void GenerationDialog::setRunning(bool running) {
    generate_->setEnabled(!running);
    stop_->setEnabled(running);
    // The worker reads the process list: it stays as it is until the run ends.
    add_->setEnabled(!running);
    remove_->setEnabled(!running);
}

void GenerationDialog::addTemplates() {
    if (running()) return;
    if (!desc_) {
        uiPort().messageBox("Information",
                            "Vous ne pouvez pas créer de nouveau traitement car aucun fichier de "
                            "format n'est actuellement ouvert.",
                            UiButtons::Ok, UiIcon::Info);
        return;
    }
    QtUiPort* port = qtUiPort();
    if (!port) return;
    const std::vector<std::string> chosen = port->promptFiles(
        "Ouvrir un template...", templatesFolder(), "Fylatek Templates (*.tpl)|*.tpl");
    if (chosen.empty()) return;
    PROCESSLIST_AddTemplates(desc_, chosen);
    refreshList();
    uiPort().refresh(UiRefresh::Title);
}

void GenerationDialog::removeSelected() {
    if (running() || !desc_) return;
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows.push_back(list_->indexOfTopLevelItem(item));
    if (rows.empty()) return;
    if (PROCESSLIST_RemoveRows(desc_, rows) != 0)
        uiPort().messageBox("Erreur", "Impossible de supprimer la tâche.", UiButtons::Ok,
                            UiIcon::Error);
    refreshList();
    uiPort().refresh(UiRefresh::Title);
}

bool GenerationDialog::generate() {
    if (running() || !desc_) return false;
    // The settings' folder, else one beside the description; a missing one is made once the
    // person agrees.
    const std::string root = GENERATION_OutputRoot(gcontexte.genTargetDirectory, desc_);
    if (!QFileInfo(QString::fromStdString(root)).isDir()) {
        if (uiPort().messageBox("Génération de code",
                                "Le répertoire des fichiers générés '" + root +
                                    "' n'existe pas. Voulez-vous le créer ?",
                                UiButtons::YesNo, UiIcon::Question) != UiAnswer::Yes)
            return false;
        if (!QDir().mkpath(QString::fromStdString(root))) {
            uiPort().messageBox("Génération de code",
                                "Impossible de créer le répertoire '" + root + "'.", UiButtons::Ok,
                                UiIcon::Error);
            return false;
        }
    }
    run_.reset(GENERATION_CreateRun(desc_, desc_->processes, root.c_str()));
    task_ = run_ ? TASK_Create("Génération de code", LaunchProcessing, run_.get()) : nullptr;
    if (!task_) {
        run_.reset();
        status_->setText("Impossible de préparer la génération.");
        return false;
    }
    task_->eventCallback = &GenerationDialog::taskEvent;
    task_->runnerData = this;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setText(COL_STATE, "Prêt");
        list_->topLevelItem(i)->setText(COL_MESSAGE, QString());
        list_->topLevelItem(i)->setToolTip(COL_MESSAGE, QString());
    }
    // What the engine sends to the message panel is kept task by task for this window too.
    log_.clear();
    messages_->clear();
    outputFolder_.clear();
    openFolder_->setEnabled(false);
    if (QtUiPort* port = qtUiPort())
        port->setPanelListener([this](UiPanel request, unsigned colour, const std::string& text) {
            onPanel(request, colour, text);
        });
    bar_->setRange(0, std::max(1, list_->topLevelItemCount()));
    bar_->setValue(0);
    setRunning(true);
    TASK* task = task_;
    worker_ = std::thread([this, task] {
        task->worker(task);
        QMetaObject::invokeMethod(
            this, [this] { onRunEnded(); }, Qt::QueuedConnection);
    });
    return true;
}

void GenerationDialog::taskEvent(TASK* task, int event, int range, int position,
                                 const char* message) {
    auto* dialog = static_cast<GenerationDialog*>(task->runnerData);
    const QString text = QString::fromUtf8(message ? message : "");
    QMetaObject::invokeMethod(
        dialog,
        [dialog, event, range, position, text] {
            dialog->onTaskEvent(event, range, position, text);
        },
        Qt::QueuedConnection);
}

void GenerationDialog::onTaskEvent(int event, int range, int position, const QString& message) {
    if (event == TASK_EVENT_PROGRESS) {
        bar_->setRange(0, std::max(1, range));
        bar_->setValue(position);
        if (message.startsWith(kStatusPrefix)) {
            // The task `position` starts: its row is marked and shown.
            status_->setText(message);
            log_.startTask(position);
            if (QTreeWidgetItem* item = list_->topLevelItem(position)) {
                list_->setCurrentItem(item);
                list_->scrollToItem(item);
            }
        } else if (position > 0) {
            // The task `position - 1` has ended with this state.
            if (QTreeWidgetItem* item = list_->topLevelItem(position - 1))
                item->setText(COL_STATE, message);
        }
    } else if (!message.isEmpty()) {
        status_->setText(message);
    }
}

void GenerationDialog::stopGeneration() {
    if (!running() || !task_) return;
    status_->setText("Arrêt de la génération demandé...");
    TASK_RequestStop(task_);
    stop_->setEnabled(false);
}

void GenerationDialog::onPanel(UiPanel request, unsigned colour, const std::string& text) {
    log_.panel(request, colour, text);
}

void GenerationDialog::onRunEnded() {
    if (!worker_.joinable()) return;
    worker_.join();
    if (QtUiPort* port = qtUiPort()) port->setPanelListener({});
    // The reports queued before this call are shown; the states the run kept are the last word.
    if (run_) {
        QStringList written;
        QStringList failed;
        for (int i = 0; i < run_->stateCount && i < list_->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list_->topLevelItem(i);
            item->setText(COL_STATE, QString::fromUtf8(GENERATION_StateText(run_->states[i])));
            const QString errors = QString::fromStdString(log_.errors(i));
            item->setText(COL_MESSAGE, errors.section('\n', 0, 0));
            item->setToolTip(COL_MESSAGE, errors);
            if (!errors.isEmpty())
                failed << QString("%1 : %2").arg(QFileInfo(item->text(COL_TEMPLATE)).fileName(),
                                                 errors);
            if (run_->states[i] == GENTASK_DONE && !log_.file(i).empty())
                written << QString::fromStdString(log_.file(i));
        }
        trace("\n[LaunchProcessing] %i tâche(s), %i en erreur%s", run_->stateCount,
              run_->failedCount, run_->stopped ? ", arrêtée" : "");
        if (!run_->stopped) status_->setText("Terminé.");
        // What the run wrote, and what went wrong, in this window.
        outputFolder_ = QString::fromUtf8(run_->outputDirectory);
        QString summary =
            QString("%1 fichier(s) écrit(s) dans %2").arg(written.size()).arg(outputFolder_);
        summary += written.isEmpty() ? "." : " :\n" + written.join('\n');
        if (!failed.isEmpty())
            summary +=
                QString("\n\n%1 modèle(s) en erreur :\n").arg(failed.size()) + failed.join('\n');
        messages_->setPlainText(summary);
        openFolder_->setEnabled(QFileInfo(outputFolder_).isDir());
    }
    TASK_Destroy(task_);
    task_ = nullptr;
    run_.reset();
    setRunning(false);
    emit runEnded();
}

void GenerationDialog::showMessagesOf(int row) {
    if (row < 0) return;
    const std::string text = log_.messages(row);
    if (!text.empty()) messages_->setPlainText(QString::fromStdString(text));
}

void GenerationDialog::openOutputFolder() {
    if (!outputFolder_.isEmpty()) openWithDesktop(QUrl::fromLocalFile(outputFolder_));
}

void GenerationDialog::endRun() {
    if (!worker_.joinable()) return;
    if (QtUiPort* port = qtUiPort()) port->setPanelListener({});
    TASK_RequestStop(task_);
    worker_.join();
    TASK_Destroy(task_);
    task_ = nullptr;
    run_.reset();
}

bool GenerationDialog::waitForRun(int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (running() && waited.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return !running();
}

void GenerationDialog::openGenerated(int row) {
    PROCESSTASK* task = PROCESSLIST_Task(desc_, row);
    if (running() || !task || !task->outputPath || !task->outputPath[0]) return;
    const std::string path = task->outputPath;
    if (uiPort().messageBox("Template factory",
                            "Voulez-vous ouvrir la document généré ?\nFichier:" + path,
                            UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
        openWithDesktop(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void GenerationDialog::closeEvent(QCloseEvent* event) {
    // The run stops between two instructions; the file being written is closed.
    endRun();
    QDialog::closeEvent(event);
}

void GenerationDialog::reject() {
    endRun();
    QDialog::reject();
}

void appelDlgGenerate(QWidget* owner, FileDesc* desc) {
    GenerationDialog dialog(desc, owner);
    execDialog(&dialog);
}

}  // namespace morvex
