// The field queue ("metteur en file"): splits one line at a separator, honouring a quote
// character, into a queue of fields read back one by one through a small integer handle.
//
// Sessions live in a process-wide table of 100 entries (handles 1 to 100, 0 means failure).
// Nothing is locked: a session is used from one thread at a time.
#pragma once

#include <string>
#include <string_view>

// Longest field text kept; longer fields are cut.
constexpr int PROMPT_FIELD_MAX = 510;

// One field of a session's queue.
struct PROMPT_FIELD {
    char text[PROMPT_FIELD_MAX + 1];  // the field's text, terminated
    PROMPT_FIELD* previous;           // the field before it in the queue, nullptr for the first
    PROMPT_FIELD* next;               // the field after it in the queue, nullptr for the last
};

// Queue_Get commands.
enum {
    QUEUE_CMD_FORGET = 1,    // forget the queue; its fields stay valid until the session goes
    QUEUE_CMD_APPEND = 2,    // append a copy of buffer
    QUEUE_CMD_FIRST = 3,     // the first field
    QUEUE_CMD_LAST = 4,      // the last field
    QUEUE_CMD_RELEASE = 5,   // release every field
    QUEUE_CMD_PREVIOUS = 6,  // cursor back one field, copy its text
    QUEUE_CMD_CURRENT = 7,   // copy the text under the cursor
    QUEUE_CMD_NEXT = 8,      // next field (the first call gives the first field), copy its text
    QUEUE_CMD_NEXT_ALT = 9,  // same as 8
    QUEUE_CMD_REST = 11,     // rest of the line joined by the separator (cut at 510 characters)
    QUEUE_CMD_REWIND = 12,   // cursor on the first field, started flag cleared
};

// The first field of `line` as a session would split it (tabs as spaces, separators at the end
// removed, runs of separators as one, the quote character kept and protecting separators, a
// field left inside an open quote at the end dropped, cut at 510 characters), without a session:
// the key of a KEY=value line. Empty when the line holds no field.
std::string PROMPT_FirstField(std::string_view line, int separator, int quote);

// Takes a free session and splits `text` (modified in place, not copied) into it.
// Returns the handle, 0 when all sessions are in use.
int Queue_Create(char* text, int separator, int quote);
// Releases the session's fields and frees it; 0, or 1 for an invalid handle.
int Queue_Destroy(int handle);
// Runs one command; `buffer` must hold 511 characters for the commands that copy a text.
// Returns the field concerned, or nullptr.
PROMPT_FIELD* Queue_Get(int handle, int command, char* buffer);
// Splits `text` into the session's queue; 0, or 1 for an empty text or a field not stored.
int cmdCut(int handle, char* text);

// Accessors; a change takes effect at the next split. The setters return 0, or 1 for an
// invalid handle; the getters return 0 for an invalid handle.
int QUEUE_SetQuote(int handle, int quote);
int QUEUE_GetQuote(int handle);
int QUEUE_SetSeparator(int handle, int separator);
int QUEUE_GetSeparator(int handle);
int QUEUE_SetTabToSpaceConversion(int handle, int value);
// Number of fields added to the session since it was created (allocation failures included).
int QUEUE_GetCountData(int handle);

// Prints the state of every session in use, then the totals, on the trace.
void Queue_Stat();
// Does nothing; kept for the callers that ask for it.
void Queue_MakeStat();
