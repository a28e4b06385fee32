// Texts made safe to embed in generated code: each function gives `text` as one literal, one
// identifier or one plain text of its target, so that nothing a description holds can end the
// literal, add a statement, a command or markup. Used by the template language's escaping
// forms ({name:sqlident}...) and the SQL Server scripts. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace morvex {

// SQL identifier of SQLite, PostgreSQL and standard SQL: between double quotes, each double
// quote doubled.
std::string quoteSqlIdentifier(std::string_view text);

// SQL string literal of SQLite and PostgreSQL (standard strings): between single quotes, each
// single quote doubled. A backslash stands for itself.
std::string quoteSqlString(std::string_view text);

// SQL Server identifier: between brackets, each closing bracket doubled. A control character,
// which no escape could keep from starting a line (a GO line), is written "_" (names never hold
// one: filedesc/names.h).
std::string quoteMssqlIdentifier(std::string_view text);

// SQL Server string literal: N'...', each single quote doubled. Control characters (line ends
// included) are written NCHAR(n) between quoted parts (N'a'+NCHAR(10)+N'b'), so that no line
// of a script falls inside a literal and no value line can read as the batch separator GO; a
// result of more than 4000 characters starts with CAST(N'' AS nvarchar(max))+ so that the
// concatenation is not cut.
std::string quoteMssqlString(std::string_view text);

// Python 3 string literal: between double quotes; backslash, double quote and control
// characters escaped (\\, \", \n, \r, \t, \xNN); well-formed UTF-8 kept as it is, any other
// byte written \udcNN (the surrogate escape Python gives undecodable bytes).
std::string quotePythonString(std::string_view text);

// One word of a POSIX shell: between single quotes, each single quote written '\'' (nothing
// inside single quotes is special to the shell). An empty text gives ''.
std::string quoteShellWord(std::string_view text);

// XML or HTML text (element content or an attribute value between either quote): & < > " '
// written as character references; control characters other than tab, CR and LF, which XML
// cannot hold, written as U+FFFD.
std::string escapeXmlText(std::string_view text);

// Markdown text (a paragraph or a table cell): & < > " ' as in escapeXmlText, the punctuation
// that Markdown reads inside a line (\ ` * _ { } [ ] | ~) and a first # + - or = preceded by a
// backslash, line ends written <br>, other control characters as blanks.
std::string escapeMarkdownText(std::string_view text);

// One line: every control character (line ends included) replaced by `replacement`. For
// comments.
std::string oneLineText(std::string_view text, char replacement = ' ');

}  // namespace morvex
