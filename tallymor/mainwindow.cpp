#include "tallymor/mainwindow.h"

#include <QAction>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <algorithm>

#include "desktop/columnfit.h"
#include "calc/calc.h"
#include "foundation/replacefile.h"
#include "foundation/uiport.h"
#include "tallymor/aboutwindow.h"
#include "tallymor/helpwindow.h"
#include "tallymor/variableswindow.h"

namespace morvex {

const char* const TALLYMOR_STATUS_CAPTION = "Morvex Fylatek - Calculatrice Tallymor";

namespace {

constexpr int kTopBand = 50;        // formula field, button and result field
constexpr int kErrorsHeight = 100;  // the messages group when shown

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Places a list inside its group: 10 pixels left and right, 20 at the top, 10 at the bottom.
void PlaceInGroup(QWidget* list, int groupWidth, int groupHeight) {
    list->setGeometry(10, 20, std::max(0, groupWidth - 20), std::max(0, groupHeight - 30));
}

}  // namespace

MainWindow::MainWindow(CalculatorVariables* vars, QWidget* parent) : QDialog(parent), vars_(vars) {
    setWindowTitle("Morvex Tallymor");
    setObjectName("mainWindow");
    setSizeGripEnabled(false);

    menuBar_ = new QMenuBar(this);
    buildMenus();

    formula_ = new QLineEdit("sin(1)^2+cos(1)^2", this);
    formula_->setObjectName("formula");
    formula_->setMaxLength(CALCULATION_MAX_FORMULA);

    calculate_ = new QPushButton("Calculer", this);
    calculate_->setObjectName("calculer");
    calculate_->setDefault(true);
    connect(calculate_, &QPushButton::clicked, this,
            [this] { Calculer(formula_->text().toStdString()); });

    result_ = new QLineEdit("0.0", this);
    result_->setObjectName("result");
    result_->setReadOnly(true);
    // Bold, at the desktop's own size, like the fields around it.
    QFont resultFont = result_->font();
    resultFont.setBold(true);
    result_->setFont(resultFont);

    errorsGroup_ = new QGroupBox("Erreurs", this);
    errorsGroup_->setObjectName("errorsGroup");
    messages_ = new QTreeWidget(errorsGroup_);
    messages_->setObjectName("messages");
    messages_->setRootIsDecorated(false);
    messages_->setHeaderLabels({"Etat", "Message"});
    keepColumnsFitted(messages_);  // "SYNTAX_ERROR" whole, the message to the right edge

    historyGroup_ = new QGroupBox("Historique", this);
    historyGroup_->setObjectName("historyGroup");
    history_ = new QTreeWidget(historyGroup_);
    history_->setObjectName("history");
    history_->setRootIsDecorated(false);
    history_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    history_->setHeaderLabels({"Formule", "Valeur"});
    keepColumnsFitted(history_);  // the formulas whole, the values to the right edge
    history_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    history_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(history_, &QTreeWidget::customContextMenuRequested, this,
            &MainWindow::onHistoryContextMenu);
    connect(history_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        history_->setCurrentItem(item);
        onCommand(IDM_RAPPELER);
    });

    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    auto* caption = new QLabel(TALLYMOR_STATUS_CAPTION, statusBar_);
    caption->setObjectName("statusCaption");
    statusBar_->addWidget(caption, 1);

    resize(560, 460);
    setMinimumSize(380, 300);
    doLayout();
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& text, int id) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
    return action;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar_->addMenu("Fichier");
    addCommand(file, "Ouvrir un fichier de calculs", IDM_OUVRIR_CALCULS);
    addCommand(file, "Enregistrer sous...", IDM_ENREGISTRER_SOUS);
    file->addSeparator();
    addCommand(file, "Quitter", IDM_QUITTER);
    QMenu* view = menuBar_->addMenu("Affichage");
    errorsAction_ = addCommand(view, "Afficher les erreurs", IDM_AFFICHER_ERREURS);
    errorsAction_->setCheckable(true);
    errorsAction_->setChecked(true);  // the command sets the mark from the group's state
    addCommand(view, "Afficher les variables", IDM_AFFICHER_VARIABLES);
    QMenu* help = menuBar_->addMenu("?");
    addCommand(help, "Aide", IDM_AIDE);
    addCommand(help, "A propos de...", IDM_A_PROPOS);
}

void MainWindow::onHistoryContextMenu(const QPoint& pos) {
    QMenu menu(this);
    addCommand(&menu, "Supprimer", IDM_SUPPRIMER);
    addCommand(&menu, "Rappeler dans la zone de calcul", IDM_RAPPELER);
    menu.exec(history_->viewport()->mapToGlobal(pos));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    doLayout();
}

void MainWindow::doLayout() {
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    // The client area lies below the menu bar; the status bar sits at its bottom.
    const int top = menuHeight;
    const int w = width();
    const int h = height() - menuHeight;
    const int statusHeight = statusBar_->sizeHint().height();
    statusBar_->setGeometry(0, height() - statusHeight, w, statusHeight);

    const int resultWidth = std::min(220, w / 3);
    const int buttonWidth = 90;
    const int formulaWidth = std::max(40, w - 20 - resultWidth - buttonWidth - 20);
    formula_->setGeometry(10, top + 12, formulaWidth, 26);
    calculate_->setGeometry(10 + formulaWidth + 10, top + 11, buttonWidth, 28);
    result_->setGeometry(w - 10 - resultWidth, top + 10, resultWidth, 30);

    const int errorsHeight = errorsShown_ ? kErrorsHeight : 0;
    errorsGroup_->setVisible(errorsShown_);
    errorsGroup_->setGeometry(10, top + kTopBand, w - 20, errorsHeight);
    PlaceInGroup(messages_, w - 20, errorsHeight);

    const int historyTop = kTopBand + errorsHeight + 10;
    const int historyHeight = std::max(0, h - 30 - historyTop);
    historyGroup_->setGeometry(10, top + historyTop, w - 20, historyHeight);
    PlaceInGroup(history_, w - 20, historyHeight);
}

void MainWindow::addMessages(const CalculationResult& result, bool compilation) {
    for (const CalculationMessage& msg : result.messages) {
        if (msg.compilation != compilation) continue;
        auto* item = new QTreeWidgetItem(messages_);
        item->setText(0, CALC_MessageKindName(msg.kind));
        item->setText(1, Q(CALCULATION_MessageText(msg)));
        if (compilation) {
            // The characters from the position minus 2 to the position minus 1: the last
            // message's place stays selected.
            const int start = std::max(0, msg.position - 2);
            const int end = std::max(0, msg.position - 1);
            if (end > start)
                formula_->setSelection(start, end - start);
            else
                formula_->setCursorPosition(std::min(start, int(formula_->text().size())));
        }
    }
}

void MainWindow::Calculer(const std::string& formula) {
    if (formula.empty()) return;
    CalculationResult result;
    CALCULATION_Run(vars_, formula.c_str(), &result);
    messages_->clear();
    addMessages(result, true);
    if (result.status == CALCULATION_OK || result.status == CALCULATION_RUNTIME_ERROR)
        addMessages(result, false);
    result_->setText(Q(result.resultText));
    if (result.status != CALCULATION_OK) return;
    if (result.variableRefused)
        uiPort().messageBox(CALCULATION_OVERFLOW_CAPTION, CALCULATION_OVERFLOW_TEXT, UiButtons::Ok,
                            UiIcon::Warning);
    auto* item = new QTreeWidgetItem(history_, {Q(formula), Q(result.value)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    history_->scrollToItem(item);
    if (variables_) variables_->refresh();
}

bool MainWindow::openCalculationFile(const std::string& path, std::string* error) {
    std::vector<std::string> formulas;
    const bool ok = CALCULATION_ReadFile(path.c_str(), &formulas, error) == 0;
    for (const std::string& formula : formulas) Calculer(formula);
    return ok;
}

bool MainWindow::saveCalculationFile(const std::string& path, std::string* error) {
    // Written beside, then renamed: a failed save leaves the previous file whole.
    const std::vector<std::string> formulas = historyFormulas();
    return writeFileReplacing(
        path,
        [&formulas](const std::string& temporary) {
            return CALCULATION_WriteFile(temporary.c_str(), formulas) == 0;
        },
        error);
}

std::vector<std::string> MainWindow::historyFormulas() const {
    std::vector<std::string> formulas;
    for (int i = 0; i < history_->topLevelItemCount(); ++i)
        formulas.push_back(history_->topLevelItem(i)->text(0).toStdString());
    return formulas;
}

void MainWindow::onCommand(int id) {
    switch (id) {
        case IDM_OUVRIR_CALCULS: {
            auto path = uiPort().promptFile("Choisir le fichier de calcul...", "",
                                            "Fichier de calculs (*.txt)", false);
            std::string error;
            if (path && !openCalculationFile(*path, &error))
                uiPort().messageBox(
                    "Tallymor",
                    "Impossible de lire le fichier " + *path + (error.empty() ? "" : "\n" + error),
                    UiButtons::Ok, UiIcon::Error);
            break;
        }
        case IDM_ENREGISTRER_SOUS: {
            auto path = uiPort().promptFile("Enregistrer le fichier sous ...", "",
                                            "Fichier de calcul (*.txt)", true);
            std::string error;
            if (path && !saveCalculationFile(*path, &error))
                uiPort().messageBox("Tallymor",
                                    "Impossible d'écrire le fichier " + *path + "\n" + error,
                                    UiButtons::Ok, UiIcon::Error);
            break;
        }
        case IDM_QUITTER:
            accept();
            break;
        case IDM_AFFICHER_ERREURS:
            errorsShown_ = !errorsShown_;
            errorsAction_->setChecked(errorsShown_);
            doLayout();
            break;
        case IDM_AFFICHER_VARIABLES:
            if (!variables_) {
                variables_ = new VariablesWindow(vars_, this);
                variables_->setAttribute(Qt::WA_DeleteOnClose);
            }
            variables_->refresh();
            variables_->show();
            variables_->raise();
            break;
        case IDM_AIDE: {
            auto* help = new HelpWindow(this);
            help->setAttribute(Qt::WA_DeleteOnClose);
            help->show();
            break;
        }
        case IDM_A_PROPOS: {
            std::string engineLine;
            if (CALCULATION_EngineVersionLine(CALC_GetVersionInfos(), &engineLine) != 0) {
                uiPort().messageBox("ERREUR", "Erreur de récupération infos de version",
                                    UiButtons::Ok, UiIcon::Error);
                break;
            }
            auto* about = new AboutWindow(engineLine, this);
            about->setAttribute(Qt::WA_DeleteOnClose);
            about->open();
            break;
        }
        case IDM_SUPPRIMER:
            qDeleteAll(history_->selectedItems());
            break;
        case IDM_RAPPELER: {
            // The focused row when it is selected, else the topmost selected row.
            QTreeWidgetItem* item = history_->currentItem();
            if (!item || !item->isSelected()) {
                item = nullptr;
                for (int i = 0; i < history_->topLevelItemCount() && !item; ++i)
                    if (history_->topLevelItem(i)->isSelected()) item = history_->topLevelItem(i);
            }
            if (item) formula_->setText(item->text(0));
            break;
        }
        default:
            break;
    }
}

}  // namespace morvex
