// Tracked allocation: blocks carry a header that records their size and the caller's source
// file and line, so that mem_verifierMemoire can report every block still allocated.
//
// Every live block sits in one process-wide circular list; the functions may be called from
// any thread (the list is guarded by a lock).
#pragma once

#include <cstddef>

// A zero-filled user area of `size` bytes, recorded with `identifier` (the caller's source file
// name, copied) and `line`. nullptr (traced "Erreur d'allocation") when out of memory.
void* mem_alloc(size_t size, const char* identifier, long line);
// Same as mem_alloc.
void* mem_calloc(size_t size, const char* identifier, long line);
// Resizes a tracked block (the new part is zero-filled) and records the new caller; a null p
// allocates. nullptr on failure, the old block then staying valid and recorded; nullptr also
// for a p that is not a tracked block (left alone).
void* mem_realloc(void* p, size_t size, const char* identifier, long line);
// Clears and releases a tracked block; anything that is not a valid tracked block is ignored.
void mem_free(void* p);
// A tracked copy of text; nullptr for a missing text or when out of memory.
char* mem_strdup(const char* text, const char* identifier, long line);
// Writes the report of the blocks still allocated into a new file at `path`.
// 0, or 1 when the path is missing or the file cannot be created.
int mem_verifierMemoire(const char* path);
