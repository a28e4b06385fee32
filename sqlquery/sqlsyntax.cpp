// The pieces of SQL text the query tool colours, and its error text.
#include "sqlquery/sqlsyntax.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// SQLite's keywords, in capitals, sorted for the binary search.
constexpr std::array<const char*, 147> kKeywords = {
    "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYZE", "AND", "AS", "ASC",
    "ATTACH", "AUTOINCREMENT", "BEFORE", "BEGIN", "BETWEEN", "BY", "CASCADE", "CASE", "CAST",
    "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT", "CREATE", "CROSS",
    "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "DATABASE", "DEFAULT",
    "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DETACH", "DISTINCT", "DO", "DROP", "EACH",
    "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDE", "EXCLUSIVE", "EXISTS", "EXPLAIN", "FAIL",
    "FILTER", "FIRST", "FOLLOWING", "FOR", "FOREIGN", "FROM", "FULL", "GENERATED", "GLOB",
    "GROUP", "GROUPS", "HAVING", "IF", "IGNORE", "IMMEDIATE", "IN", "INDEX", "INDEXED",
    "INITIALLY", "INNER", "INSERT", "INSTEAD", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN",
    "KEY", "LAST", "LEFT", "LIKE", "LIMIT", "MATCH", "MATERIALIZED", "NATURAL", "NO", "NOT",
    "NOTHING", "NOTNULL", "NULL", "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OTHERS",
    "OUTER", "OVER", "PARTITION", "PLAN", "PRAGMA", "PRECEDING", "PRIMARY", "QUERY", "RAISE",
    "RANGE", "RECURSIVE", "REFERENCES", "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPLACE",
    "RESTRICT", "RETURNING", "RIGHT", "ROLLBACK", "ROW", "ROWS", "SAVEPOINT", "SELECT", "SET",
    "TABLE", "TEMP", "TEMPORARY", "THEN", "TIES", "TO", "TRANSACTION", "TRIGGER", "UNBOUNDED",
    "UNION", "UNIQUE", "UPDATE", "USING", "VACUUM", "VALUES", "VIEW", "VIRTUAL", "WHEN",
    "WHERE", "WINDOW", "WITH", "WITHOUT"};

bool isWordStart(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool isWordPart(char16_t c) {
    return isWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}
bool isDigit(char16_t c) {
    return c >= '0' && c <= '9';
}

// The end of a piece closed by `close` (a doubled one stays inside), from `i`; `closed` tells
// whether it was found on this line.
size_t closingEnd(std::u16string_view line, size_t i, char16_t close, bool doubles,
                  bool& closed) {
    for (; i < line.size(); ++i) {
        if (line[i] != close) continue;
        if (doubles && i + 1 < line.size() && line[i + 1] == close) {
            ++i;
            continue;
        }
        closed = true;
        return i + 1;
    }
    closed = false;
    return line.size();
}

}  // namespace

bool SQLQUERY_IsKeyword(std::u16string_view word) {
    if (word.empty() || word.size() > 20) return false;
    char upper[21];
    for (size_t i = 0; i < word.size(); ++i) {
        const char16_t c = word[i];
        if (c >= 0x80) return false;
        upper[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    upper[word.size()] = 0;
    return std::binary_search(kKeywords.begin(), kKeywords.end(), upper,
                              [](const char* a, const char* b) { return strcmp(a, b) < 0; });
}

SQLQUERY_LINESTATE SQLQUERY_TokenizeLine(std::u16string_view line, SQLQUERY_LINESTATE state,
                                         std::vector<SQLQUERY_TOKEN>& tokens) {
    tokens.clear();
    size_t i = 0;
    auto add = [&](size_t start, size_t end, SQLQUERY_TOKENKIND kind) {
        tokens.push_back({static_cast<int>(start), static_cast<int>(end - start), kind});
    };
    // A piece left open by the line above goes on first.
    if (state == SQLQUERY_LINE_IN_COMMENT) {
        const size_t close = line.find(u"*/");
        i = close == std::u16string_view::npos ? line.size() : close + 2;
        add(0, i, SQLQUERY_TOKEN_COMMENT);
        if (close == std::u16string_view::npos) return SQLQUERY_LINE_IN_COMMENT;
    } else if (state == SQLQUERY_LINE_IN_STRING || state == SQLQUERY_LINE_IN_IDENTIFIER) {
        const bool string = state == SQLQUERY_LINE_IN_STRING;
        bool closed = false;
        i = closingEnd(line, 0, string ? u'\'' : u'"', true, closed);
        add(0, i, string ? SQLQUERY_TOKEN_STRING : SQLQUERY_TOKEN_IDENTIFIER);
        if (!closed) return state;
    }
    while (i < line.size()) {
        const char16_t c = line[i];
        const size_t start = i;
        if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
            add(start, line.size(), SQLQUERY_TOKEN_COMMENT);
            return SQLQUERY_LINE_PLAIN;
        }
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
            const size_t close = line.find(u"*/", i + 2);
            if (close == std::u16string_view::npos) {
                add(start, line.size(), SQLQUERY_TOKEN_COMMENT);
                return SQLQUERY_LINE_IN_COMMENT;
            }
            i = close + 2;
            add(start, i, SQLQUERY_TOKEN_COMMENT);
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char16_t close = c == '[' ? u']' : c;
            bool closed = false;
            i = closingEnd(line, i + 1, close, c != '[', closed);
            add(start, i, c == '\'' ? SQLQUERY_TOKEN_STRING : SQLQUERY_TOKEN_IDENTIFIER);
            if (!closed && c == '\'') return SQLQUERY_LINE_IN_STRING;
            if (!closed && c == '"') return SQLQUERY_LINE_IN_IDENTIFIER;
        } else if (isDigit(c) || (c == '.' && i + 1 < line.size() && isDigit(line[i + 1]))) {
            if (c == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
                i += 2;
                while (i < line.size() && (isDigit(line[i]) || (line[i] | 0x20) >= 'a') &&
                       (line[i] | 0x20) <= 'f')
                    ++i;
            } else {
                while (i < line.size() && (isDigit(line[i]) || line[i] == '.')) ++i;
                if (i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
                    size_t j = i + 1;
                    if (j < line.size() && (line[j] == '+' || line[j] == '-')) ++j;
                    if (j < line.size() && isDigit(line[j])) {
                        i = j;
                        while (i < line.size() && isDigit(line[i])) ++i;
                    }
                }
            }
            // A number glued to letters is part of a name ("t1", "2abc" is no number either).
            if (i < line.size() && isWordPart(line[i])) {
                while (i < line.size() && isWordPart(line[i])) ++i;
            } else {
                add(start, i, SQLQUERY_TOKEN_NUMBER);
            }
        } else if (isWordStart(c)) {
            while (i < line.size() && isWordPart(line[i])) ++i;
            if (SQLQUERY_IsKeyword(line.substr(start, i - start)))
                add(start, i, SQLQUERY_TOKEN_KEYWORD);
        } else {
            ++i;
        }
    }
    return SQLQUERY_LINE_PLAIN;
}

int SQLQUERY_Utf16Offset(const std::string& query, int byteOffset) {
    if (byteOffset < 0 || static_cast<size_t>(byteOffset) > query.size()) return -1;
    int units = 0;
    for (int i = 0; i < byteOffset; ++i) {
        const auto byte = static_cast<unsigned char>(query[static_cast<size_t>(i)]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        units += byte >= 0xF0 ? 2 : 1;        // a character beyond the first plane takes two
    }
    return units;
}

std::string SQLQUERY_ErrorText(const std::string& message, int line, int column) {
    std::string text = "Erreur SQL : " + message;
    if (line > 0 && column > 0)
        text += ", ligne " + std::to_string(line) + ", colonne " + std::to_string(column);
    return text;
}
