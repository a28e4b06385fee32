#include "tallymor/variableswindow.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/columnfit.h"

namespace morvex {

VariablesWindow::VariablesWindow(const CalculatorVariables* vars, QWidget* parent)
    : QDialog(parent), vars_(vars) {
    setWindowTitle("Liste des variables");
    setObjectName("variablesWindow");
    setModal(false);
    list_ = new QTreeWidget(this);
    list_->setObjectName("variables");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Nom", "Valeur"});
    keepColumnsFitted(list_);  // the names whole, the values to the right edge
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(list_);
    resize(340, 300);
    refresh();
}

void VariablesWindow::refresh() {
    list_->clear();
    if (!vars_) return;
    for (int i = 0; i < vars_->count; ++i) {
        const CalcVar& var = vars_->entries[i];
        new QTreeWidgetItem(list_, {QString::fromStdString(var.name ? var.name : ""),
                                    QString::fromStdString(CALCULATION_VariableText(var))});
    }
}

}  // namespace morvex
