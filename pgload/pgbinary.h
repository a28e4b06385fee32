// PGBINARY: the rows of the PostgreSQL load in COPY's binary format. A converted value (the
// load's LoadCell) is written as the server's own receive function reads it for its column's
// type (int4, int8, numeric, date, timestamp, boolean, the character types), so that the server
// has no text to parse; a value the binary form could not carry with the same meaning as the
// text form (a text kept in a column of numbers, an integer out of int4's range, a year before
// 1, a text holding a NUL byte) is refused, and its row goes in COPY's text format, where the
// server answers exactly as it always did.
//
// Plain functions over the caller's buffer; no state.
#pragma once

#include <string>

#include "descrecords/records.h"
#include "sqliteload/loadrows.h"

// How the values of a column are written in binary.
enum class PGBINARY_KIND { Int4, Int8, Numeric, Date, Timestamp, Boolean, Text };

// The kind of the column type `t` as PGLOAD_ColumnType declares it (nullptr: text).
PGBINARY_KIND PGBINARY_KindOf(const TypeCible* t);
// The signature, flags and header extension that begin a binary COPY's data.
void PGBINARY_AppendHeader(std::string& out);
// The trailer that ends it.
void PGBINARY_AppendTrailer(std::string& out);
// A row's field count, before its values.
void PGBINARY_AppendFieldCount(std::string& out, int count);
// An integer value of the int4 FileRowID column.
void PGBINARY_AppendInt4(std::string& out, int value);
// Appends `cell` (its texts in `arena`) as a value of a column of kind `kind`; false, with `out`
// as it was, when the binary form cannot carry it (the row then goes as text).
bool PGBINARY_AppendCell(std::string& out, const loadrows::LoadCell& cell, const std::string& arena,
                         PGBINARY_KIND kind);
