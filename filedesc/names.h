// FILEDESC names: the rule that every name of a description obeys, whoever gives it (the .fyk
// reader, the analysis, the editor, the command line). A name (column code, table, schema,
// database and project names, key and index names) holds no control character: no carriage
// return, line feed, zero, other C0 character nor DEL. Generated scripts and programs embed
// names on their own lines and between quotes; a line end inside one could start a statement or
// a batch of its own. Descriptions (free texts) may hold line ends; they are not names.
//
// Pure functions, any thread.
#pragma once

#include <string>

#include "descrecords/records.h"

// True when `c` may not stand in a name (C0 control characters and DEL).
constexpr bool FILEDESC_IsNameControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Offset of the first character of `name` that may not stand in a name, or -1 when there is
// none (nullptr too).
int FILEDESC_NameFault(const char* name);

// How a refused character is shown in a message, with its article: "un retour chariot (CR)",
// "un saut de ligne (LF)", "une tabulation", "un caractère nul", or "un caractère de contrôle
// 0x1B".
std::string FILEDESC_ControlCharacterName(unsigned char c);

// The refusal of `name` as the name of `what` ("de la colonne", "du projet"...): "" when it may be
// used, else a French sentence that names the refused character, such as
// "Le nom de la colonne « A␍␊GO » contient un retour chariot (CR) : les noms ne peuvent pas
// contenir de caractère de contrôle." (the name shown with each control character as \r, \n,
// \t or \xNN so that the message stays on one line).
std::string FILEDESC_NameRefusal(const char* what, const char* name);

// The first refused name of a whole description: its columns, key, indexes and its table,
// schema, database and project names. "" when every name may be used.
std::string FILEDESC_NamesRefusal(const FileDesc* desc);

// `name` with every control character replaced by "_", for names made from data (a header line
// whose quoted names go over several lines). Changes the text in place; the number of
// characters replaced.
int FILEDESC_ScrubName(char* name);
