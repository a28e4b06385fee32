// DATAFILE_REJECTS: the list of rows a reading sets aside, written as CSV (line number,
// column, reason; a reading of several files names the file first) so that they can be found
// and mended in the data file.
#pragma once

#include <cstdio>
#include <string>

#include "datafile/datafile.h"

// An open rejects file.
struct DATAFILE_REJECTS {
    FILE* file;    // open for writing until DATAFILE_CloseRejects
    int rows;      // distinct rows written
    int lastLine;  // line of the last row written (a row with several reasons counts once)
    int withFile;  // 1: each row names its file first
};

// Creates (or empties) the rejects file at `path` and writes its title line ("ligne,colonne,
// motif", or "fichier,ligne,colonne,motif" `withFile`); nullptr when it cannot be written.
DATAFILE_REJECTS* DATAFILE_OpenRejects(const char* path, bool withFile = false);
// Writes one reason for the row that begins on `line` (of `file`, written when the rejects
// were opened `withFile`); `column` may be empty (the whole row).
void DATAFILE_AddReject(DATAFILE_REJECTS* rejects, int line, const std::string& column,
                        const std::string& reason, const std::string& file = std::string());
// Closes the file and releases the record; 1 when a write failed (nullptr gives 0).
int DATAFILE_CloseRejects(DATAFILE_REJECTS* rejects);
// Why the row last read by `reader` (`values` values) cannot be taken as it is: its bytes are
// not valid in the dialect's encoding, it opens a protected field that is never closed,
// its line is longer than the reader's limit, or it does not have one value per column. Empty
// when the row is sound.
std::string DATAFILE_RowProblem(DATAFILE* reader, int values);
