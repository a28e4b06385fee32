// The sentences that tell where every row of a SQLite load went, shared by morvexcli and the
// desktop's load command.
#pragma once

#include <string>

#include "sqliteload/sqlite4fyk.h"

// The summary of a finished load, one sentence a line, each ending with "\n": rows read, stored,
// set aside and rejected; why rows were set aside (and `rejectsPath` when they are listed there);
// rows stored without one value per column (followed by `misshapenHint`, such as
// " ; --rejects ou --max-rejects les écarte", when not empty); values over several lines and
// blank lines passed over, when there are; values kept as text.
std::string LOAD_Summary(const SQLITE4FYK_LOADSTATS& stats, const std::string& rejectsPath,
                         const std::string& misshapenHint = std::string());

// One line a data file of a load of several ("'<name>' : N ligne(s) lue(s) : S enregistrée(s),
// A écartée(s), R rejetée(s) par la base.\n", the sentence LOAD_Summary gives for them all);
// "" for a load of one file.
std::string LOAD_FilesSummary(const SQLITE4FYK_LOADSTATS& stats);

// What the desktop tells once a load into `database` (a file, or ":memory:") has ended: for a
// finished load, where the rows are ("Table '<table>' de la base '<database>'.", or that a base
// in memory is gone once loaded) followed by LOAD_Summary; for a stopped or failed one, that the
// database is as it was, with SQLite's reason when there is one.
std::string LOAD_Outcome(const SQLITE4FYK_LOADSTATS& stats, const std::string& database,
                         const std::string& table);
