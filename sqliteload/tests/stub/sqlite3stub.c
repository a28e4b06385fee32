/* A library that looks like SQLite but lacks sqlite3_close_v2: the binding must refuse it. */
int sqlite3_open(const char* path, void** db) {
    (void)path;
    *db = 0;
    return 1;
}
int sqlite3_close(void* db) {
    (void)db;
    return 0;
}
const char* sqlite3_libversion(void) { return "0.0.0-stub"; }
