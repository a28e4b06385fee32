#include "tabstrap/script.h"

#include <cstdlib>
#include <cstring>

#include "foundation/trace.h"

namespace {

// Text waiting in memory before it is written to the file in one piece.
constexpr std::size_t kFlushSize = 1 << 20;

// Most digits one letter run keeps (later digits are still checked, not kept).
constexpr std::size_t kMaxDigits = 63;

// Field of the record that a picture letter fills, or nullptr for a literal.
int* FieldOfLetter(char letter, MYDATETIME* dateTime) {
    switch (letter) {
        case 'a':
            return &dateTime->annee;
        case 'm':
            return &dateTime->mois;
        case 'j':
            return &dateTime->jour;
        case 'H':
            return &dateTime->heure;
        case 'M':
            return &dateTime->minute;
        case 'S':
            return &dateTime->seconde;
        case 'L':
            return &dateTime->milliseconde;
        default:
            return nullptr;
    }
}

// Index of a picture letter in the run counters: the date group 0-2, the time group 3-6;
// -1 for a literal.
int LetterIndex(char letter) {
    switch (letter) {
        case 'a':
            return 0;
        case 'm':
            return 1;
        case 'j':
            return 2;
        case 'H':
            return 3;
        case 'M':
            return 4;
        case 'S':
            return 5;
        case 'L':
            return 6;
        default:
            return -1;
    }
}

// Stores the digits of the current run into the field of their letter, then empties them.
void StoreRun(char owner, std::string& digits, MYDATETIME* dateTime) {
    if (owner == 0) return;
    int value = std::atoi(digits.c_str());
    if (owner == 'a' && digits.size() != 4) {
        if (value >= 50 && value <= 99) {
            value += 1900;
        } else if (value < 50) {
            value += 2000;
        }
    }
    *FieldOfLetter(owner, dateTime) = value;
    digits.clear();
}

// The character a conversion message names: quoted, or "la fin du texte" for the terminator.
std::string Shown(char c) {
    if (c == 0) return "la fin du texte";
    return std::string("'") + c + "'";
}

// Appends `text` to `out` between single quotes, every single quote doubled.
void AppendQuoted(std::string& out, const char* text, std::size_t length) {
    out += '\'';
    const char* end = text + length;
    while (text < end) {
        const char* quote = static_cast<const char*>(std::memchr(text, '\'', end - text));
        if (!quote) {
            out.append(text, end - text);
            break;
        }
        out.append(text, quote - text + 1);
        out += '\'';
        text = quote + 1;
    }
    out += '\'';
}

// Writes out the buffered text of `script`, noting a failure.
void Flush(SCRIPTFILE* script) {
    if (!script->file || script->buffer.empty()) return;
    if (std::fwrite(script->buffer.data(), 1, script->buffer.size(), script->file) !=
        script->buffer.size()) {
        script->failed = true;
    }
    script->buffer.clear();
}

// Whether `sqlType` is written as it stands (numbers and bits).
bool IsNumeric(int sqlType) {
    switch (sqlType) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:  // NUMERIC .. DOUBLE
        case -7:
        case -6:
        case -5:  // BIT, TINYINT, BIGINT
            return true;
        default:
            return false;
    }
}

// Whether `text` is a number as SQL reads it: sign, digits, point, exponent. Anything else
// (NaN, Infinity, a driver's own spelling) is quoted rather than written bare.
bool IsNumberLiteral(const char* text, std::size_t length) {
    const char* p = text;
    const char* end = text + length;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    std::size_t digits = 0;
    while (p < end && *p >= '0' && *p <= '9') ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') ++p, ++digits;
    }
    if (digits == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        if (p == end || *p < '0' || *p > '9') return false;
        while (p < end && *p >= '0' && *p <= '9') ++p;
    }
    return p == end;
}

// Whether a name can be written bare: an ASCII letter or underscore, then letters, digits or
// underscores.
bool IsPlainIdentifier(const std::string& name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!letter && (i == 0 || c < '0' || c > '9')) return false;
    }
    return true;
}

// Appends what a date-time text holds beyond the picture: its fractional seconds without
// their trailing zeros (none left, no point either: "05:52:00.000" fits the picture) and
// whatever follows them as it stands (a time zone offset).
void AppendDateTimeRest(std::string& out, const char* rest, std::size_t length) {
    std::size_t digitsEnd = 0;
    if (length > 0 && rest[0] == '.') {
        digitsEnd = 1;
        while (digitsEnd < length && rest[digitsEnd] >= '0' && rest[digitsEnd] <= '9') ++digitsEnd;
        std::size_t kept = digitsEnd;
        while (kept > 1 && rest[kept - 1] == '0') --kept;
        if (kept > 1) out.append(rest, kept);
    }
    out.append(rest + digitsEnd, length - digitsEnd);
}

// Whether `sqlType` is read as a date-time.
bool IsDateTime(int sqlType) {
    return sqlType == 9 || sqlType == 11 || sqlType == 93 || sqlType == 119;
}

}  // namespace

MYDATETIME* SCRIPT_ConvertDateTime(const char* text, const char* format, MYDATETIME* dateTime) {
    if (!dateTime) return nullptr;
    *dateTime = MYDATETIME{};
    if (!text || !format) return nullptr;
    std::string digits;
    char owner = 0;    // letter the digits belong to
    int runs[7] = {};  // run counter of each letter
    const char* in = text;
    for (const char* f = format;; ++f) {
        const char c = *f;
        const int index = LetterIndex(c);
        if (c == 0) {
            StoreRun(owner, digits, dateTime);
            return dateTime;
        }
        if (index < 0) {
            if (*in != c) {
                morvex::trace("\n[ERREUR][DATE_Convert] '%c' etait attendu, %s obtenu", c,
                              Shown(*in).c_str());
                StoreRun(owner, digits, dateTime);  // keep the digits read before the failure
                return nullptr;
            }
            ++in;
            continue;
        }
        if (runs[index] == 0) StoreRun(owner, digits, dateTime);
        ++runs[index];
        const int first = index < 3 ? 0 : 3;
        const int last = index < 3 ? 3 : 7;
        for (int other = first; other < last; ++other) {
            if (other != index) runs[other] = 0;
        }
        if (*in < '0' || *in > '9') {
            morvex::trace("\n[ERREUR][DATE_Convert] Un chiffre etait attendu, %s obtenu",
                          Shown(*in).c_str());
            StoreRun(owner, digits, dateTime);  // keep the digits read before the failure
            return nullptr;
        }
        if (digits.size() < kMaxDigits) digits += *in;
        owner = c;
        ++in;
    }
}

void SCRIPT_AppendValue(std::string& out, int sqlType, const char* text, std::size_t length,
                        bool isNull) {
    if (isNull || !text) {
        out += "NULL";
        return;
    }
    if (sqlType == SCRIPT_SQL_CHAR || sqlType == SCRIPT_SQL_VARCHAR) {
        AppendQuoted(out, text, length);
    } else if (IsNumeric(sqlType)) {
        if (IsNumberLiteral(text, length)) {
            out.append(text, length);
        } else {
            AppendQuoted(out, text, length);
        }
    } else if (IsDateTime(sqlType)) {
        // The conversion reads a terminated text; date-times are short enough for the stack.
        MYDATETIME when;
        char shortText[64];
        const char* terminated = shortText;
        std::string longText;
        if (length < sizeof shortText) {
            std::memcpy(shortText, text, length);
            shortText[length] = 0;
        } else {
            longText.assign(text, length);
            terminated = longText.c_str();
        }
        const bool read = SCRIPT_ConvertDateTime(terminated, SCRIPT_DATETIME_FORMAT, &when);
        // The picture reads one character per letter; what the text holds beyond it
        // (fractional seconds, a time zone offset) follows the specified form.
        const std::size_t pictureLength = std::strlen(SCRIPT_DATETIME_FORMAT);
        std::string literal;
        DATETIME_AppendCompact(literal, when, true);
        if (read && length > pictureLength) AppendDateTimeRest(literal, text + pictureLength,
                                                               length - pictureLength);
        AppendQuoted(out, literal.data(), literal.size());
    } else if (sqlType == SCRIPT_SQL_UNKNOWN_TYPE) {
        const std::string value(text, length);
        morvex::trace("\n(!)SQL_UNKNOWN_TYPE : %s", value.c_str());
        out += "/* Type de donnée inconnu (";
        out += value;
        out += ") */ ";
        AppendQuoted(out, text, length);
    } else {
        out += "/* Type de donnée non pris en charge (";
        out += std::to_string(sqlType);
        out += ") */ ";
        AppendQuoted(out, text, length);
    }
}

std::string SCRIPT_ColumnName(const std::string& name, const std::string& quote) {
    if (IsPlainIdentifier(name) || quote.empty() || quote == " ") return name;
    std::string quoted = quote;
    for (std::size_t at = 0; at < name.size();) {
        if (name.compare(at, quote.size(), quote) == 0) {
            quoted += quote + quote;  // a quote inside the name is doubled
            at += quote.size();
        } else {
            quoted += name[at++];
        }
    }
    return quoted + quote;
}

std::string SCRIPT_ColumnList(const char* table, const std::vector<SCRIPTCOLUMN>& columns,
                              const std::string& quote) {
    std::string list = "INSERT INTO ";
    list += table ? table : "";
    list += " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) list += ", ";
        list += SCRIPT_ColumnName(columns[i].name, quote);
    }
    list += ')';
    return list;
}

int SCRIPT_Create(SCRIPTFILE* script, const char* path) {
    if (!script || !path) return 1;
    *script = SCRIPTFILE{};
    script->file = std::fopen(path, "w");
    if (!script->file) return 1;
    script->buffer.reserve(kFlushSize + 64 * 1024);
    return 0;
}

void SCRIPT_WriteHeader(SCRIPTFILE* script, const char* table) {
    if (!script) return;
    std::string& out = script->buffer;
    out += '/';
    out.append(61, '*');
    out += "\n *\n * Script d'insertion de données pour ";
    out += table ? table : "";
    out += "\n *\n * Généré par Tabstrap (";
    out += SCRIPT_AUTHOR;
    out += ")\n * ";
    out += SCRIPT_WEB_ADDRESS;
    out += "\n ";
    out.append(60, '*');
    out += '/';
}

void SCRIPT_SetColumnList(SCRIPTFILE* script, std::string columnList) {
    if (script) script->columnList = std::move(columnList);
}

void SCRIPT_BeginRow(SCRIPTFILE* script) {
    std::string& out = script->buffer;
    out += "\n\n";
    out += script->columnList;
    out += "\nVALUES (";
}

std::string& SCRIPT_RowText(SCRIPTFILE* script) {
    return script->buffer;
}

long SCRIPT_EndRow(SCRIPTFILE* script) {
    script->buffer += ')';
    if (script->buffer.size() >= kFlushSize) Flush(script);
    return ++script->rows;
}

int SCRIPT_Close(SCRIPTFILE* script) {
    if (!script || !script->file) return 1;
    script->buffer += "\n\n/* Fin du script d'insertion : ";
    script->buffer += std::to_string(script->rows);
    script->buffer += " instructions d'INSERT générées */\n";
    Flush(script);
    if (std::fclose(script->file) != 0) script->failed = true;
    script->file = nullptr;
    std::string().swap(script->buffer);
    return script->failed ? 1 : 0;
}
