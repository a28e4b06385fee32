// The reading dialect of a description.
#include "filedesc/descdialect.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace {

// The text of a fixed field (always terminated, but read no further than the field).
template <size_t N>
std::string_view fieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

}  // namespace

std::string FILEDESC_LineEndBytes(const FileDesc& desc) {
    return DATAFILE_NotationBytes(fieldText(desc.EndOfLine), DATAFILE_LINE_END_MAX);
}

std::string FILEDESC_DelimiterBytes(const FileDesc& desc) {
    return DATAFILE_NotationBytes(fieldText(desc.FieldDelimiter), DATAFILE_DELIMITER_MAX);
}

std::string FILEDESC_MakeDialect(const FileDesc* desc, DATAFILE_DIALECT& dialect) {
    if (!desc) return "Aucune description.";
    DATAFILE_DIALECT d;
    if (desc->TypeStructFile == STRUCTFILE_FIXED)
        d.layout = DATAFILE_LAYOUT::Fixed;
    else if (desc->TypeStructFile == STRUCTFILE_DELIMITED)
        d.layout = DATAFILE_LAYOUT::Delimited;
    else
        return "Type de fichier inconnu (" + std::to_string(desc->TypeStructFile) +
               ") : ni délimité, ni à largeur fixe.";
    if (desc->BeginFromLine < 0)
        return "Première ligne à lire invalide : " + std::to_string(desc->BeginFromLine) + ".";
    const auto columns = static_cast<int>(desc->columns.size());
    if (columns > FILEDESC_MAX_COLUMNS)
        return "Trop de colonnes : " + std::to_string(columns) + " (au plus " +
               std::to_string(FILEDESC_MAX_COLUMNS) + ").";
    d.encoding = fieldText(desc->Encoding);
    d.lineEnd = FILEDESC_LineEndBytes(*desc);
    d.delimiter = FILEDESC_DelimiterBytes(*desc);
    d.unquote = desc->Unquote != 0;
    d.quoteChar = desc->QuoteChar;
    d.header = desc->FirstLineIsHeader != 0;
    d.firstLine = desc->BeginFromLine > 0 ? desc->BeginFromLine : 1;
    d.columns.reserve(static_cast<size_t>(columns));
    for (const ColumnOwner& column : desc->columns) {
        DATAFILE_COLUMN_DIALECT c;
        c.width = column->WidthInChars;
        c.isProtected = column->protectedField != 0;
        c.quoteStart = column->DelimCharStart;
        c.quoteEnd = column->DelimCharEnd;
        d.columns.push_back(c);
    }
    const std::vector<char> trimmed = FILEDESC_TrimmedColumns(desc);
    for (size_t k = 0; k < trimmed.size() && k < d.columns.size(); ++k)
        d.columns[k].trimPadding = trimmed[k] != 0;
    dialect = std::move(d);
    return {};
}

std::vector<char> FILEDESC_TrimmedColumns(const FileDesc* desc) {
    std::vector<char> trimmed;
    if (!desc || !desc->TrimPadding || desc->TypeStructFile != STRUCTFILE_FIXED) return trimmed;
    for (const ColumnOwner& column : desc->columns) {
        const int type = column->typeCible.type;
        trimmed.push_back(type == DATATYPE_FIXEDCHAR || type == DATATYPE_VARIABLECHAR ||
                          type == DATATYPE_TEXT);
    }
    return trimmed;
}
