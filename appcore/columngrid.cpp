// The column grid's cells, edits and refused values.
#include "appcore/columngrid.h"

#include <charconv>

#include "appcore/desceditor.h"
#include "datafile/datafile.h"
#include "filedesc/filedesc.h"
#include "sqliteload/sqlite4fyk.h"

std::string COLUMNGRID_Text(const ColumnDesc* column, ColumnGridField field) {
    if (column == nullptr) return {};
    switch (field) {
        case COLUMNGRID_CODE:
            return column->code;
        case COLUMNGRID_TYPE:
            return DESCEDIT_TypeName(column->typeCible.type);
        case COLUMNGRID_FORMAT:
            return DESCEDIT_FormatText(column);
        case COLUMNGRID_WIDTH:
            return std::to_string(column->WidthInChars);
        case COLUMNGRID_MANDATORY:
            return column->FieldCannotBeNull ? "1" : "0";
        case COLUMNGRID_IGNORED:
            return column->IgnoreColumn ? "1" : "0";
        case COLUMNGRID_DESCRIPTION:
            return column->Description;
    }
    return {};
}

std::vector<int> COLUMNGRID_CountRefused(FileDesc* desc, const CutPreview& rows) {
    const std::vector<ColumnDesc*> columns = DESCEDIT_Columns(desc);
    std::vector<int> refused(columns.size(), 0);
    SQLITE4FYK_VALUE value;
    for (const CutPreviewRow& row : rows.rows) {
        if (row.isHeader) continue;
        const size_t count = std::min(row.fields.size(), columns.size());
        for (size_t i = 0; i < count; ++i) {
            const std::string& text = row.fields[i];
            if (text.empty()) continue;
            value = SQLITE4FYK_VALUE{};
            GenerateValueForData(columns[i], text.data(), static_cast<int>(text.size()), &value);
            if (value.notTyped) ++refused[i];
        }
    }
    return refused;
}

std::string ColumnGridEdits::set(const std::vector<ColumnDesc*>& columns, ColumnGridField field,
                                 const std::string& value) {
    if (desc_ == nullptr || columns.empty()) return "Aucune colonne choisie.";
    if (field == COLUMNGRID_CODE && columns.size() > 1)
        return "Un code ne se donne qu'à une colonne à la fois.";
    // What each column becomes, checked for all of them before any is changed.
    std::vector<ColumnDesc> after;
    for (ColumnDesc* column : columns) {
        ColumnDesc fields = *column;
        std::string refusal;
        switch (field) {
            case COLUMNGRID_CODE:
                refusal = DESCEDIT_ReadColumnTexts(&fields, value, column->Description);
                if (refusal.empty()) refusal = DESCEDIT_CodeRefusal(fields.code);
                if (refusal.empty())
                    refusal = DESCEDIT_DuplicateNameRefusal(desc_, column, fields.code);
                break;
            case COLUMNGRID_DESCRIPTION:
                refusal = DESCEDIT_ReadColumnTexts(&fields, column->code, value);
                break;
            case COLUMNGRID_TYPE: {
                int type = -1;
                for (int t = DATATYPE_INTEGER; t <= DATATYPE_BOOLEAN; ++t)
                    if (value == DESCEDIT_TypeName(t)) type = t;
                if (type < 0) {
                    refusal = "Type inconnu : " + value + ".";
                    break;
                }
                if (type != fields.typeCible.type) {
                    // A new type starts from its first offered format, as in the detail panel.
                    fields.typeCible = TypeCible{};
                    fields.typeCible.type = type;
                    const std::vector<std::string> formats = DESCEDIT_OfferedFormats(type);
                    if (!formats.empty()) DESCEDIT_ReadFormat(&fields.typeCible, formats[0].c_str());
                }
                break;
            }
            case COLUMNGRID_FORMAT:
                refusal = DESCEDIT_FormatRefusal(fields.typeCible.type, value);
                if (refusal.empty()) DESCEDIT_ReadFormat(&fields.typeCible, value.c_str());
                break;
            case COLUMNGRID_WIDTH: {
                int width = 0;
                const auto [end, error] =
                    std::from_chars(value.data(), value.data() + value.size(), width);
                if (error != std::errc() || end != value.data() + value.size() || width < 1 ||
                    width > DATAFILE_LINE_LIMIT)
                    refusal = "La largeur doit être un nombre de 1 à " +
                              std::to_string(DATAFILE_LINE_LIMIT) + ".";
                fields.WidthInChars = width;
                break;
            }
            case COLUMNGRID_MANDATORY:
            case COLUMNGRID_IGNORED:
                if (value != "0" && value != "1") {
                    refusal = "Valeur attendue : 0 ou 1.";
                    break;
                }
                (field == COLUMNGRID_MANDATORY ? fields.FieldCannotBeNull : fields.IgnoreColumn) =
                    value == "1";
                break;
        }
        if (!refusal.empty()) return refusal;
        after.push_back(fields);
    }
    Step step;
    for (size_t i = 0; i < columns.size(); ++i) {
        step.before.emplace_back(columns[i], *columns[i]);
        DESCEDIT_ApplyDetail(desc_, columns[i], after[i]);
    }
    steps_.push_back(std::move(step));
    desc_->isModified = 1;
    return "";
}

bool ColumnGridEdits::undo() {
    if (steps_.empty() || desc_ == nullptr) return false;
    const Step step = std::move(steps_.back());
    steps_.pop_back();
    for (auto it = step.before.rbegin(); it != step.before.rend(); ++it)
        DESCEDIT_ApplyDetail(desc_, it->first, it->second);
    desc_->isModified = 1;
    return true;
}
