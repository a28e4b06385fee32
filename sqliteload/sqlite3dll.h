// SQLITE3: the SQLite library bound at run time by name (dlopen), never linked.
//
// SQLITE3_LoadDLL fills the process-wide entry points once (normally at start-up, from the
// main thread, before any worker starts); SQLITE3_LibererDLL empties them. Code that uses the
// entry points first asks SQLITE3_IsBound() and refuses its work when the library is absent.
#pragma once

#include <sqlite3.h>  // types and constants only; no symbol of the library is called directly

#include <cstdarg>

#include "foundation/uiport.h"

// Library loaded when the caller names none.
constexpr const char* SQLITE3_DEFAULT_LIBRARY = "libsqlite3.so.0";

// Every entry point, in the order it is looked up: the 42 the binding has always required,
// then the value-binding calls of prepared statements, the open with flags and the busy
// handler.
#define SQLITE3_ENTRY_POINTS(X)                                                              \
    X(sqlite3_open, int, (const char*, sqlite3**))                                           \
    X(sqlite3_close_v2, int, (sqlite3*))                                                     \
    X(sqlite3_close, int, (sqlite3*))                                                        \
    X(sqlite3_exec, int,                                                                     \
      (sqlite3*, const char*, int (*)(void*, int, char**, char**), void*, char**))           \
    X(sqlite3_free, void, (void*))                                                           \
    X(sqlite3_interrupt, void, (sqlite3*))                                                   \
    X(sqlite3_sourceid, const char*, (void))                                                 \
    X(sqlite3_libversion_number, int, (void))                                                \
    X(sqlite3_libversion, const char*, (void))                                               \
    X(sqlite3_trace, void*, (sqlite3*, void (*)(void*, const char*), void*))                 \
    X(sqlite3_prepare, int, (sqlite3*, const char*, int, sqlite3_stmt**, const char**))      \
    X(sqlite3_prepare_v2, int, (sqlite3*, const char*, int, sqlite3_stmt**, const char**))   \
    X(sqlite3_prepare16, int, (sqlite3*, const void*, int, sqlite3_stmt**, const void**))    \
    X(sqlite3_prepare16_v2, int, (sqlite3*, const void*, int, sqlite3_stmt**, const void**)) \
    X(sqlite3_column_count, int, (sqlite3_stmt*))                                            \
    X(sqlite3_column_name, const char*, (sqlite3_stmt*, int))                                \
    X(sqlite3_column_name16, const void*, (sqlite3_stmt*, int))                              \
    X(sqlite3_step, int, (sqlite3_stmt*))                                                    \
    X(sqlite3_column_blob, const void*, (sqlite3_stmt*, int))                                \
    X(sqlite3_column_bytes, int, (sqlite3_stmt*, int))                                       \
    X(sqlite3_column_bytes16, int, (sqlite3_stmt*, int))                                     \
    X(sqlite3_column_double, double, (sqlite3_stmt*, int))                                   \
    X(sqlite3_column_int, int, (sqlite3_stmt*, int))                                         \
    X(sqlite3_column_int64, sqlite3_int64, (sqlite3_stmt*, int))                             \
    X(sqlite3_column_text, const unsigned char*, (sqlite3_stmt*, int))                       \
    X(sqlite3_column_text16, const void*, (sqlite3_stmt*, int))                              \
    X(sqlite3_column_type, int, (sqlite3_stmt*, int))                                        \
    X(sqlite3_column_value, sqlite3_value*, (sqlite3_stmt*, int))                            \
    X(sqlite3_finalize, int, (sqlite3_stmt*))                                                \
    X(sqlite3_reset, int, (sqlite3_stmt*))                                                   \
    X(sqlite3_errcode, int, (sqlite3*))                                                      \
    X(sqlite3_extended_errcode, int, (sqlite3*))                                             \
    X(sqlite3_errmsg, const char*, (sqlite3*))                                               \
    X(sqlite3_errmsg16, const void*, (sqlite3*))                                             \
    X(sqlite3_errstr, const char*, (int))                                                    \
    X(sqlite3_mprintf, char*, (const char*, ...))                                            \
    X(sqlite3_vmprintf, char*, (const char*, va_list))                                       \
    X(sqlite3_snprintf, char*, (int, char*, const char*, ...))                               \
    X(sqlite3_vsnprintf, char*, (int, char*, const char*, va_list))                          \
    X(sqlite3_get_table, int, (sqlite3*, const char*, char***, int*, int*, char**))          \
    X(sqlite3_free_table, void, (char**))                                                    \
    X(sqlite3_data_count, int, (sqlite3_stmt*))                                              \
    X(sqlite3_bind_null, int, (sqlite3_stmt*, int))                                          \
    X(sqlite3_bind_int64, int, (sqlite3_stmt*, int, sqlite3_int64))                          \
    X(sqlite3_bind_double, int, (sqlite3_stmt*, int, double))                                \
    X(sqlite3_bind_text, int, (sqlite3_stmt*, int, const char*, int, void (*)(void*)))       \
    X(sqlite3_bind_parameter_count, int, (sqlite3_stmt*))                                    \
    X(sqlite3_open_v2, int, (const char*, sqlite3**, int, const char*))                      \
    X(sqlite3_busy_handler, int, (sqlite3*, int (*)(void*, int), void*))

// Optional entry points: the virtual tables through which a load hands SQLite its rows
// (sqliteload/rowsource.h). A library built without virtual tables lacks them; every one is
// then left nullptr, and the load binds its values to statements instead.
#define SQLITE3_ROW_SOURCE_POINTS(X)                                          \
    X(sqlite3_create_module_v2, int,                                          \
      (sqlite3*, const char*, const sqlite3_module*, void*, void (*)(void*))) \
    X(sqlite3_declare_vtab, int, (sqlite3*, const char*))                     \
    X(sqlite3_result_null, void, (sqlite3_context*))                          \
    X(sqlite3_result_int64, void, (sqlite3_context*, sqlite3_int64))          \
    X(sqlite3_result_double, void, (sqlite3_context*, double))                \
    X(sqlite3_result_text, void, (sqlite3_context*, const char*, int, void (*)(void*)))

// The entry points of the bound library (all nullptr while none is bound).
struct SQLITE3_API {
#define SQLITE3_DECLARE_POINTER(name, ret, args) ret(*name) args;  // entry point `name`
    SQLITE3_ENTRY_POINTS(SQLITE3_DECLARE_POINTER)
    SQLITE3_ROW_SOURCE_POINTS(SQLITE3_DECLARE_POINTER)
#undef SQLITE3_DECLARE_POINTER
    // Optional: the byte place of the last error in the SQL text (SQLite 3.38 and later);
    // nullptr when the library has none.
    int (*sqlite3_error_offset)(sqlite3*);
};

// The process-wide entry points. Read them only after SQLITE3_IsBound() answered true.
extern SQLITE3_API gsqlite3;

// Loads `libraryName` (SQLITE3_DEFAULT_LIBRARY when nullptr) and binds every entry point in
// order. Returns the library handle, or nullptr with `*error` (when given) saying which library
// or entry point is missing, for the caller to show ("ARC_chargerDLL" or "SQLITE3_LoadDLL" as
// its title); the library is then released and nothing stays bound. `ownerWindow` is the
// window of the caller (may be nullptr), kept for the callers of the procedural interface.
void* SQLITE3_LoadDLL(void* ownerWindow, const char* libraryName = SQLITE3_DEFAULT_LIBRARY,
                      morvex::UiError* error = nullptr);
// Releases a handle from SQLITE3_LoadDLL; when it is the bound library, every entry point is
// emptied first. Returns 0 (nullptr accepted).
int SQLITE3_LibererDLL(void* handle);
// True while a library is bound.
bool SQLITE3_IsBound();
