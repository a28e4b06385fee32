// libpq, opened the first time a PostgreSQL connection is asked for instead of when the program
// starts: the libraries it brings (Kerberos, LDAP, TLS, SASL: some twenty) cost every command
// several milliseconds of start-up, PostgreSQL or not, and a machine without libpq still runs
// every other command.
//
// The functions below have libpq's names and signatures, in namespace morvex::pq; each calls the
// library's own. Threads: pq::available may be called from any thread (the library is opened
// once); the others as libpq allows. Lifetimes: the library stays open until the process ends.
// Only pq::available and pq::PQconninfoParse may be called before the library is known to be
// open (they tell whether it is); every other function takes an object only the library gives.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace morvex::pq {

// Whether libpq is open (opening it the first time); false with the loader's reason in `why`.
bool available(std::string* why = nullptr);

// The functions of libpq the loads and the query tool use.
#define MORVEX_PQ_FUNCTIONS(X)                                                                   \
    X(PQcancel) X(PQclear) X(PQconnectdbParams) X(PQconninfoFree) X(PQconninfoParse)            \
    X(PQerrorMessage) X(PQexec) X(PQexecParams) X(PQfinish) X(PQfname) X(PQfreeCancel)          \
    X(PQfreemem) X(PQftype) X(PQgetCancel) X(PQgetResult) X(PQgetisnull) X(PQgetvalue)          \
    X(PQnfields) X(PQntuples) X(PQputCopyData) X(PQputCopyEnd) X(PQresultErrorField)            \
    X(PQresultErrorMessage) X(PQresultStatus) X(PQsendQuery) X(PQserverVersion)                 \
    X(PQsetNoticeProcessor) X(PQsetSingleRowMode) X(PQstatus)

struct Functions {
#define MORVEX_PQ_POINTER(name) decltype(&::name) name = nullptr;
    MORVEX_PQ_FUNCTIONS(MORVEX_PQ_POINTER)
#undef MORVEX_PQ_POINTER
};
// The opened library's functions (all null when it could not be opened).
const Functions& functions();

// Functions that release what libpq gave: real functions (they are template arguments of
// Owned), doing nothing for a null pointer.
void PQclear(PGresult* result);
void PQfinish(PGconn* conn);
void PQconninfoFree(PQconninfoOption* options);
void PQfreemem(void* memory);
void PQfreeCancel(PGcancel* cancel);
// libpq's parse of a connection string; nullptr (and no message) when libpq cannot be opened.
PQconninfoOption* PQconninfoParse(const char* conninfo, char** errmsg);

// The others, forwarded as they are.
#define MORVEX_PQ_FORWARD(name)                                      \
    template <class... Args>                                         \
    inline auto name(Args... args) {                                 \
        return functions().name(args...);                            \
    }
MORVEX_PQ_FORWARD(PQcancel)
MORVEX_PQ_FORWARD(PQconnectdbParams)
MORVEX_PQ_FORWARD(PQerrorMessage)
MORVEX_PQ_FORWARD(PQexec)
MORVEX_PQ_FORWARD(PQexecParams)
MORVEX_PQ_FORWARD(PQfname)
MORVEX_PQ_FORWARD(PQftype)
MORVEX_PQ_FORWARD(PQgetCancel)
MORVEX_PQ_FORWARD(PQgetResult)
MORVEX_PQ_FORWARD(PQgetisnull)
MORVEX_PQ_FORWARD(PQgetvalue)
MORVEX_PQ_FORWARD(PQnfields)
MORVEX_PQ_FORWARD(PQntuples)
MORVEX_PQ_FORWARD(PQputCopyData)
MORVEX_PQ_FORWARD(PQputCopyEnd)
MORVEX_PQ_FORWARD(PQresultErrorField)
MORVEX_PQ_FORWARD(PQresultErrorMessage)
MORVEX_PQ_FORWARD(PQresultStatus)
MORVEX_PQ_FORWARD(PQsendQuery)
MORVEX_PQ_FORWARD(PQserverVersion)
MORVEX_PQ_FORWARD(PQsetNoticeProcessor)
MORVEX_PQ_FORWARD(PQsetSingleRowMode)
MORVEX_PQ_FORWARD(PQstatus)
#undef MORVEX_PQ_FORWARD

}  // namespace morvex::pq
