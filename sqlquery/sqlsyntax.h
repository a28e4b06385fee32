// The query tool's editor without a window: the pieces of SQL text it colours, and the words of
// an SQL error. The text is taken as UTF-16 code units, as the editor holds it, so that the
// positions given back are the editor's own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a piece of SQL text is.
enum SQLQUERY_TOKENKIND {
    SQLQUERY_TOKEN_KEYWORD = 0,     // a word of SQLite's language (SELECT, FROM, NULL...)
    SQLQUERY_TOKEN_STRING = 1,      // a literal between single quotes
    SQLQUERY_TOKEN_NUMBER = 2,      // a numeric literal
    SQLQUERY_TOKEN_COMMENT = 3,     // "-- ..." to the line end, or "/* ... */"
    SQLQUERY_TOKEN_IDENTIFIER = 4,  // a name between double quotes, brackets or backquotes
};

// One coloured piece: `length` code units from `start`.
struct SQLQUERY_TOKEN {
    int start;
    int length;
    SQLQUERY_TOKENKIND kind;
};

// Where a line begins: in plain text, or inside a comment, string or quoted name left open by
// the lines above.
enum SQLQUERY_LINESTATE {
    SQLQUERY_LINE_PLAIN = 0,
    SQLQUERY_LINE_IN_COMMENT = 1,
    SQLQUERY_LINE_IN_STRING = 2,
    SQLQUERY_LINE_IN_IDENTIFIER = 3,
};

// Cuts one line of the editor into its coloured pieces (other words, operators and spaces are
// not given back), starting in `state`; returns the state the next line starts in.
SQLQUERY_LINESTATE SQLQUERY_TokenizeLine(std::u16string_view line, SQLQUERY_LINESTATE state,
                                         std::vector<SQLQUERY_TOKEN>& tokens);
// Whether `word` (ASCII letters, any case) is a keyword of SQLite's language.
bool SQLQUERY_IsKeyword(std::u16string_view word);

// The position in UTF-16 code units of byte `byteOffset` of the UTF-8 text `query` (SQLite
// gives the place of an error in bytes); -1 when the offset is outside the text.
int SQLQUERY_Utf16Offset(const std::string& query, int byteOffset);
// The words of an SQL error shown under the editor: "Erreur SQL : " then SQLite's message, and
// ", ligne L, colonne C" when the place is known (`line`, `column` from 1; 0 when not).
std::string SQLQUERY_ErrorText(const std::string& message, int line, int column);
