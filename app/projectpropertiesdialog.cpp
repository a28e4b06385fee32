#include "app/projectpropertiesdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <cstdlib>
#include <cstring>

#include "app/cutpreviewgrid.h"
#include "app/windowplacement.h"
#include "datafile/detect.h"
#include "filedesc/filedesc.h"
#include "filedesc/names.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"

namespace morvex {

namespace {

// Copies at most `max` bytes of text into a fixed field, cut on a character boundary.
void copyField(char* field, int max, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    morvex::utf8CopyCut(field, max + 1, std::string_view(bytes.constData(), bytes.size()));
}

QString textOf(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

QLineEdit* lineEdit(const char* text, int max) {
    auto* field = new QLineEdit(textOf(text));
    field->setMaxLength(max);
    return field;
}

}  // namespace

ProjectPropertiesDialog::ProjectPropertiesDialog(FileDesc* desc, bool creating, QWidget* parent)
    : QDialog(parent), desc_(desc) {
    setObjectName("projectPropertiesDialog");
    setWindowTitle(creating ? "Nouveau fichier de format" : "Propriétés du fichier de format");
    QString project = textOf(desc ? desc->ProjectName : nullptr);
    if (project.isEmpty()) project = "MonProjet";
    name_ = new QLineEdit(project);
    name_->setMaxLength(FILEDESC_PROJECTNAME_MAX);
    description_ = new QPlainTextEdit(textOf(desc ? desc->Description : nullptr));
    description_->setMaximumHeight(60);
    database_ = lineEdit(desc ? desc->DatabaseName : nullptr, 63);
    schema_ = lineEdit(desc ? desc->SchemaName : nullptr, 63);
    table_ = lineEdit(desc ? desc->TableName : nullptr, 63);
    example_ = new QLineEdit(textOf(desc ? desc->ExampleFilePath : nullptr));
    auto* browse = new QPushButton("Parcourir...");
    connect(browse, &QPushButton::clicked, this, [this] {
        auto chosen = uiPort().promptFile("Importation de fichiers plats", "*.txt",
                                          "Tous les fichiers (*.*)|*.*", false);
        if (!chosen) return;
        example_->setText(QString::fromStdString(*chosen));
        readExampleShape();
    });
    // A typed path is read once it is confirmed, and only when it names another file: leaving
    // the field must not undo what the person changed since.
    connect(example_, &QLineEdit::editingFinished, this, [this] {
        if (example_->text() != shapeReadFrom_) readExampleShape();
    });
    auto* exampleRow = new QHBoxLayout;
    exampleRow->addWidget(example_, 1);
    exampleRow->addWidget(browse);

    endOfLine_ = new QComboBox;
    endOfLine_->setEditable(true);
    endOfLine_->addItems({"\\r\\n", "\\n", "\\r", "#0x0D#0x0A", "Aucun"});
    const QString eol = textOf(desc ? desc->EndOfLine : nullptr);
    if (!eol.isEmpty() && endOfLine_->findText(eol) < 0) endOfLine_->addItem(eol);
    endOfLine_->setCurrentText(eol.isEmpty() ? "\\r\\n" : eol);

    encoding_ = new QComboBox;
    encoding_->setEditable(true);
    encoding_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& name : DESCEDIT_OfferedEncodings())
        encoding_->addItem(QString::fromStdString(name));
    encoding_->setItemData(0, "Aucun : les octets du fichier sont pris tels quels",
                           Qt::ToolTipRole);
    encoding_->lineEdit()->setMaxLength(FILEDESC_ENCODING_MAX);
    encoding_->setCurrentText(textOf(desc ? desc->Encoding : nullptr));

    delimited_ = new QRadioButton("Champs séparés par un caractère");
    fixed_ = new QRadioButton("Champs de taille fixe");
    (desc && desc->TypeStructFile == STRUCTFILE_FIXED ? fixed_ : delimited_)->setChecked(true);
    const char* names[] = {"Point-virgule (;)", "Tabulation", "Virgule (,)", "Espace",
                           "Tilde (~)",         "Pipe (|)",   "Autre :"};
    auto* separatorBox = new QGroupBox("Séparateur");
    auto* separatorGrid = new QGridLayout(separatorBox);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 7; ++i) {
        separators_[i] = new QRadioButton(QString::fromUtf8(names[i]));
        group->addButton(separators_[i]);
        separatorGrid->addWidget(separators_[i], i / 3, i % 3);
    }
    other_ = new QLineEdit;
    other_->setMaxLength(FILEDESC_DELIMITER_MAX);
    separatorGrid->addWidget(other_, 2, 1, 1, 2);
    // The typed separator counts only with "Autre :": the field is usable only then.
    connect(separators_[SEPARATOR_OTHER], &QRadioButton::toggled, other_, &QWidget::setEnabled);
    DescEditSeparator choice = desc ? DESCEDIT_SeparatorChoice(desc) : SEPARATOR_SEMICOLON;
    separators_[choice]->setChecked(true);
    other_->setEnabled(choice == SEPARATOR_OTHER);
    if (choice == SEPARATOR_OTHER) other_->setText(textOf(desc->FieldDelimiter));

    unquote_ = new QCheckBox("Retirer les caractères de protection des valeurs");
    unquote_->setChecked(desc && desc->Unquote);
    quoteChar_ =
        new QLineEdit(QString(QChar::fromLatin1(desc && desc->QuoteChar ? desc->QuoteChar : '"')));
    quoteChar_->setMaxLength(1);
    quoteChar_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[!-~]"), quoteChar_));
    quoteChar_->setFixedWidth(quoteChar_->fontMetrics().horizontalAdvance("MM") + 16);
    auto* quoteLabel = new QLabel("Caractère de protection :");
    quoteLabel->setBuddy(quoteChar_);
    quoteChar_->setEnabled(unquote_->isChecked());
    quoteLabel->setEnabled(unquote_->isChecked());
    connect(unquote_, &QCheckBox::toggled, quoteChar_, &QWidget::setEnabled);
    connect(unquote_, &QCheckBox::toggled, quoteLabel, &QWidget::setEnabled);
    auto* quoteRow = new QHBoxLayout;
    quoteRow->addWidget(unquote_);
    quoteRow->addSpacing(12);
    quoteRow->addWidget(quoteLabel);
    quoteRow->addWidget(quoteChar_);
    quoteRow->addStretch(1);

    header_ = new QCheckBox("La première ligne contient le nom des champs");
    header_->setChecked(desc && desc->FirstLineIsHeader);
    fixedLine_ = new QCheckBox("Lignes de longueur fixe, taille : ");
    lineLength_ = new QSpinBox;
    lineLength_->setRange(0, 1000000);
    fixedLine_->setChecked(desc && desc->LenFixedLine > 0);
    lineLength_->setValue(desc ? desc->LenFixedLine : 0);
    // The length counts only when the box is ticked: the field is usable only then.
    lineLength_->setEnabled(fixedLine_->isChecked());
    connect(fixedLine_, &QCheckBox::toggled, lineLength_, &QWidget::setEnabled);
    auto* lineRow = new QHBoxLayout;
    lineRow->addWidget(fixedLine_);
    lineRow->addWidget(lineLength_);
    lineRow->addStretch(1);
    // The padding of fixed-width texts: usable only for a fixed-width file.
    trim_ = new QCheckBox("Ôter les blancs de remplissage des textes (champs de taille fixe)");
    trim_->setChecked(desc && desc->TrimPadding);
    trim_->setEnabled(fixed_->isChecked());
    connect(fixed_, &QRadioButton::toggled, trim_, &QWidget::setEnabled);
    firstLine_ = new QSpinBox;
    firstLine_->setRange(1, 1000000000);
    firstLine_->setValue(desc && desc->BeginFromLine > 0 ? desc->BeginFromLine : 1);
    // A row of its own: its long label must not widen the label column of the fields above.
    auto* firstLineRow = new QHBoxLayout;
    auto* firstLineLabel = new QLabel("Commencer l'importation à partir de la ligne n° :");
    firstLineLabel->setBuddy(firstLine_);
    firstLineRow->addWidget(firstLineLabel);
    firstLineRow->addWidget(firstLine_);
    firstLineRow->addStretch(1);

    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow("Nom du projet : ", name_);
    form->addRow("Commentaire :", description_);
    form->addRow("Base de données :", database_);
    form->addRow("Schéma : ", schema_);
    form->addRow("Table :", table_);
    form->addRow("Exemple de fichier : ", exampleRow);
    form->addRow("Indicateur de fin de ligne : ", endOfLine_);
    form->addRow("Encodage :", encoding_);
    auto* structure = new QHBoxLayout;
    structure->addWidget(delimited_);
    structure->addWidget(fixed_);
    form->addRow(structure);
    form->addRow(separatorBox);
    form->addRow(quoteRow);
    form->addRow(header_);
    form->addRow(lineRow);
    form->addRow(trim_);
    form->addRow(firstLineRow);
    // The options above, the example file as they cut it below.
    auto* options = new QScrollArea;
    options->setWidget(page);
    options->setWidgetResizable(true);
    options->setFrameShape(QFrame::NoFrame);
    preview_ = new CutPreviewGrid;
    previewNote_ = new QLabel;
    previewNote_->setObjectName("cutPreviewNote");
    previewNote_->setWordWrap(true);
    auto* previewPane = new QWidget;
    auto* previewLayout = new QVBoxLayout(previewPane);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(previewNote_);
    previewLayout->addWidget(preview_, 1);
    auto* split = new QSplitter(Qt::Vertical);
    split->setObjectName("propertiesPreviewSplitter");
    split->addWidget(options);
    split->addWidget(previewPane);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    auto* tabs = new QTabWidget;
    tabs->addTab(split, "Propriétés");

    auto* buttons = new QDialogButtonBox(this);
    if (creating) {
        buttons->addButton("Terminer", QDialogButtonBox::AcceptRole);
        buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    } else {
        buttons->addButton(QDialogButtonBox::Ok);
        buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
        QPushButton* applyButton = buttons->addButton("Appliquer", QDialogButtonBox::ApplyRole);
        connect(applyButton, &QPushButton::clicked, this, &ProjectPropertiesDialog::apply);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &ProjectPropertiesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProjectPropertiesDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    refusal_ = new QLabel;
    refusal_->setWordWrap(true);
    refusal_->setStyleSheet("color: #c00000");
    refusal_->hide();
    layout->addWidget(refusal_);
    layout->addWidget(buttons);
    placeOnParent(this, parent, QSize(660, 690));

    // Every option that changes how the file is cut cuts the sample again.
    auto refresh = [this] { refreshPreview(); };
    connect(endOfLine_, &QComboBox::currentTextChanged, this, refresh);
    connect(encoding_, &QComboBox::currentTextChanged, this, refresh);
    connect(fixed_, &QRadioButton::toggled, this, refresh);
    connect(group, &QButtonGroup::buttonToggled, this, refresh);
    connect(other_, &QLineEdit::textChanged, this, refresh);
    connect(unquote_, &QCheckBox::toggled, this, refresh);
    connect(quoteChar_, &QLineEdit::textChanged, this, refresh);
    connect(header_, &QCheckBox::toggled, this, refresh);
    connect(fixedLine_, &QCheckBox::toggled, this, refresh);
    connect(lineLength_, &QSpinBox::valueChanged, this, refresh);
    connect(firstLine_, &QSpinBox::valueChanged, this, refresh);

    // The boundaries of a fixed-width description, dragged in the grid, cut it again.
    // (The columns' widths, as the grid cuts a description turned fixed-width.)
    if (desc_) {
        for (const ColumnOwner& column : desc_->columns) {
            if (column->WidthInChars <= 0) continue;
            widths_.push_back(column->WidthInChars);
            evidence_ << QString();
        }
    }
    connect(preview_, &CutPreviewGrid::boundariesMoved, this, [this](const QList<int>& widths) {
        if (static_cast<size_t>(widths.size()) != widths_.size()) return;
        int before = 0;  // where column k begins, before and after the move
        int after = 0;
        for (int k = 0; k < widths.size(); ++k) {
            if (before != after) evidence_[k] = "limite déplacée à la main";
            before += widths_[static_cast<size_t>(k)];
            after += widths[k];
            widths_[static_cast<size_t>(k)] = widths[k];
        }
        refreshPreview();
    });

    // The wizard opens on the file it describes: its shape is read at once. The sheet keeps what
    // the description says until another file is chosen.
    if (creating) {
        readExampleShape();
    } else {
        shapeReadFrom_ = example_->text();
        loadPreviewSample();
    }
}

void ProjectPropertiesDialog::loadPreviewSample() {
    const QString path = example_->text();
    if (path.isEmpty()) {
        std::string none;
        sample_.load("", none);  // no file: no sample
    } else if (!sample_.loaded() || QString::fromStdString(sample_.sourcePath()) != path) {
        std::string error;
        if (!sample_.load(path.toUtf8().toStdString(), error)) {
            preview_->setPreview({});
            previewNote_->setText(QString::fromStdString(error));
            return;
        }
    }
    refreshPreview();
}

void ProjectPropertiesDialog::refreshPreview() {
    if (!sample_.loaded()) {
        preview_->setPreview({});
        previewNote_->setText("Choisissez un exemple de fichier pour voir ses lignes découpées.");
        return;
    }
    FileDesc* scratch =
        FILEDESC_CreateFileDesc("apercu", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
    if (scratch == nullptr) return;
    writeCuttingOptions(scratch);
    const bool atWidths = fixed_->isChecked() && !widths_.empty();
    CutPreview cut = atWidths ? sample_.cutAtWidths(scratch, widths_) : sample_.cut(scratch, desc_);
    FILEDESC_CloseFileDesc(scratch);
    QStringList titles;
    // The description's columns title the grid: with their widths when fixed-width.
    if (atWidths) {
        size_t k = 0;
        for (; k < desc_->columns.size() && k < widths_.size(); ++k)
            titles << QString("%1 (%2)").arg(textOf(desc_->columns[k]->code)).arg(widths_[k]);
    } else if (desc_) {
        for (const ColumnOwner& column : desc_->columns) {
            if (!fixed_->isChecked())
                titles << textOf(column->code);
            else if (column->WidthInChars > 0)
                titles << QString("%1 (%2)").arg(textOf(column->code)).arg(column->WidthInChars);
        }
    }
    QString note;
    if (!cut.failure.empty()) {
        note = QString::fromStdString(cut.failure);
    } else {
        int marked = 0;
        for (const CutPreviewRow& row : cut.rows) marked += row.mark != CUTPREVIEW_ROW_OK;
        note = QString("Aperçu : %1 ligne(s) découpée(s) selon les options ci-dessus")
                   .arg(cut.rows.size());
        if (!sample_.wholeFile())
            note += QString(", lues dans les %1 premiers Kio du fichier").arg(sample_.bytes() / 1024);
        note += marked > 0 ? QString(" ; %1 ligne(s) marquée(s) ne se découpent pas comme les "
                                     "autres.")
                                 .arg(marked)
                           : QString(".");
    }
    previewNote_->setText(note);
    const bool draggable = atWidths && cut.failure.empty();
    preview_->setPreview(std::move(cut), titles);
    if (draggable)
        preview_->setBoundaries(QList<int>(widths_.begin(), widths_.end()), evidence_);
    else
        preview_->setBoundaries({}, {});
}

void ProjectPropertiesDialog::readExampleShape() {
    shapeReadFrom_ = example_->text();
    loadPreviewSample();
    if (shapeReadFrom_.isEmpty()) return;
    const std::string sample = DATAFILE_ReadSample(shapeReadFrom_.toUtf8().constData());
    if (sample.empty()) return;
    const DATAFILE_SHAPE shape = DATAFILE_DetectShape(sample);
    encoding_->setCurrentText(QString::fromStdString(shape.encoding));
    if (!shape.endOfLine.empty())
        endOfLine_->setCurrentText(QString::fromStdString(shape.endOfLine));
    if (shape.header >= 0) header_->setChecked(shape.header == 1);
    if (!shape.fixedLayout.columns.empty()) {  // fixed-width lines: no delimiter, no quoting
        // Why each boundary of the description's columns (found from these rows) is there.
        if (shape.fixedLayout.columns.size() == widths_.size()) {
            for (size_t k = 0; k < widths_.size(); ++k)
                evidence_[static_cast<int>(k)] =
                    QString::fromStdString(shape.fixedLayout.columns[k].evidence);
        }
        fixed_->setChecked(true);
        trim_->setChecked(true);
        refreshPreview();  // the grid tells the evidence
        return;
    }
    // No delimiter found: one that no line holds, so that each is one value; nothing is known
    // about quoting then.
    const std::string& delimiter =
        shape.delimiter.empty() ? shape.wholeLineDelimiter : shape.delimiter;
    if (delimiter.empty()) return;
    const DescEditSeparator choice = DESCEDIT_SeparatorChoiceOf(delimiter);
    separators_[choice]->setChecked(true);
    if (choice == SEPARATOR_OTHER) other_->setText(QString::fromStdString(delimiter));
    if (shape.delimiter.empty()) return;
    unquote_->setChecked(shape.quote != '\0');
    if (shape.quote != '\0') quoteChar_->setText(QString(QChar::fromLatin1(shape.quote)));
}

bool ProjectPropertiesDialog::apply() {
    if (!desc_) return false;
    // A pasted line end or tab in a name would be written, and the file refused when opened.
    const struct {
        const char* what;
        const QLineEdit* field;
    } names[] = {{"du projet", name_}, {"de la base de données", database_},
                 {"du schéma", schema_}, {"de la table", table_}};
    for (const auto& n : names) {
        const std::string refusal = FILEDESC_NameRefusal(n.what, n.field->text().toUtf8().constData());
        if (!refusal.empty()) {
            refusal_->setText(QString::fromStdString(refusal));
            refusal_->show();
            return false;
        }
    }
    refusal_->hide();
    copyField(desc_->ProjectName, FILEDESC_PROJECTNAME_MAX, name_->text());
    const QByteArray description = description_->toPlainText().toUtf8();  // empty: cleared
    FILEDESC_SetDescription(desc_, description.isEmpty() ? nullptr : description.constData());
    copyField(desc_->DatabaseName, FILEDESC_NAME_MAX, database_->text());
    copyField(desc_->SchemaName, FILEDESC_NAME_MAX, schema_->text());
    copyField(desc_->TableName, FILEDESC_NAME_MAX, table_->text());
    const QByteArray example = example_->text().toUtf8();
    FILEDESC_SetExampleFilePath(desc_, example.isEmpty() ? nullptr : example.constData());
    writeCuttingOptions(desc_);
    if (desc_->TypeStructFile == STRUCTFILE_FIXED && desc_->columns.size() == widths_.size()) {
        for (size_t k = 0; k < widths_.size(); ++k) desc_->columns[k]->WidthInChars = widths_[k];
        FILEDESC_UpdatePositions(desc_);
    }
    encoding_->setCurrentText(textOf(desc_->Encoding));  // as written: upper-case
    desc_->isModified = 1;
    return true;
}

void ProjectPropertiesDialog::writeCuttingOptions(FileDesc* target) {
    DESCEDIT_SetEndOfLine(target, endOfLine_->currentText().toStdString());
    DESCEDIT_SetEncoding(target, encoding_->currentText().toStdString());
    target->TypeStructFile = fixed_->isChecked() ? STRUCTFILE_FIXED : STRUCTFILE_DELIMITED;
    if (fixed_->isChecked()) {
        DESCEDIT_SetSeparator(target, "");
    } else {
        int choice = SEPARATOR_OTHER;
        for (int i = 0; i < 7; ++i)
            if (separators_[i]->isChecked()) choice = i;
        DESCEDIT_SetSeparator(target, DESCEDIT_SeparatorText(static_cast<DescEditSeparator>(choice),
                                                             other_->text().toStdString()));
    }
    DESCEDIT_SetUnquote(target, unquote_->isChecked(), quoteChar_->text().toStdString());
    target->FirstLineIsHeader = header_->isChecked();
    target->TrimPadding = trim_->isChecked() ? 1 : 0;
    target->LenFixedLine = fixedLine_->isChecked() ? lineLength_->value() : 0;
    target->BeginFromLine = firstLine_->value();
}

void ProjectPropertiesDialog::accept() {
    if (apply()) QDialog::accept();
}

}  // namespace morvex
