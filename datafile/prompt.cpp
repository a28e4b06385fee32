#include "datafile/prompt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "foundation/trace.h"

namespace {

constexpr int kSessionCount = 100;  // handles 1 to 100
constexpr int kBufferSize = 511;    // what a caller's copy buffer holds, terminator included
constexpr int kInputLimit = 511;    // longer input texts are reported (and still split)
constexpr int kInputAllowed = 512;  // the figure the over-long input warning gives
constexpr int kFieldBytes = 524;    // size of one field, as the report counts it
constexpr int kSessionTableBytes = 210000;  // size of the session table, as the report gives it

// One numbered session of the table.
struct Session {
    int handle = 0;                  // its own number, 0 when the entry is free
    std::string buffer;              // the text of the last split, as it was split (for the report)
    int separateur = 0;              // separator character
    int tabToSpace = 1;              // 1 to turn tabs into spaces before splitting
    int quote = 0;                   // quote character; one that never occurs turns quoting off
    int verboseMode = 0;             // only reported
    int nbData = 0;                  // fields added since creation, allocation failures included
    PROMPT_FIELD* first = nullptr;   // head of the queue
    PROMPT_FIELD* last = nullptr;    // tail of the queue
    PROMPT_FIELD* cursor = nullptr;  // field under the cursor; nullptr past the end once started
    bool started = false;  // false: the position is the first field and next gives it itself
    // Chains dropped from the queue by the forget command. They are not released then (a caller
    // may still hold them) but they stay owned by the session and go with it.
    std::vector<PROMPT_FIELD*> forgotten;
};

std::array<Session, kSessionCount> gSessions;
bool gTableReady = false;  // the table is cleared on the first creation

// Releases a chain of fields from `field` onwards.
void releaseChain(PROMPT_FIELD* field) {
    while (field) {
        PROMPT_FIELD* next = field->next;
        delete field;
        field = next;
    }
}

// The session behind `handle`, nullptr when the handle is out of range or free.
Session* sessionOf(int handle) {
    if (handle < 1 || handle > kSessionCount) return nullptr;
    Session& s = gSessions[handle - 1];
    return s.handle == handle ? &s : nullptr;
}

// Releases every field of the queue and clears it (forgotten chains are kept).
void releaseQueue(Session& s) {
    releaseChain(s.first);
    s.first = s.last = s.cursor = nullptr;
    s.started = false;
}

// Releases everything the session holds and frees its entry.
void resetSession(Session& s) {
    releaseQueue(s);
    for (PROMPT_FIELD* chain : s.forgotten) releaseChain(chain);
    s = Session{};
}

// True when the text character `c` is the character code `code`, whether the caller gave the
// code as an unsigned byte (0xE9) or as a signed char value (-23).
bool isChar(char c, int code) {
    return static_cast<unsigned char>(c) == code || static_cast<signed char>(c) == code;
}

// Copies a field's text (never more than 510 characters) into a caller's 511-byte buffer.
void copyOut(const PROMPT_FIELD* field, char* buffer) {
    size_t n = strnlen(field->text, PROMPT_FIELD_MAX);
    std::memcpy(buffer, field->text, n);
    buffer[n] = '\0';
}

// Appends a copy of `text` (cut at 510 characters) to the queue. Counts one in nbData even when
// the field cannot be allocated; nullptr then.
PROMPT_FIELD* appendField(Session& s, const char* text) {
    ++s.nbData;
    PROMPT_FIELD* field = new (std::nothrow) PROMPT_FIELD;
    if (!field) return nullptr;
    size_t n = strnlen(text, PROMPT_FIELD_MAX);
    std::memcpy(field->text, text, n);
    field->text[n] = '\0';
    field->previous = s.last;
    field->next = nullptr;
    if (s.last)
        s.last->next = field;
    else
        s.first = field;
    s.last = field;
    return field;
}

// The field the next command would give, nullptr when none remains.
PROMPT_FIELD* upcoming(const Session& s) {
    if (!s.started) return s.first;
    return s.cursor ? s.cursor->next : nullptr;
}

PROMPT_FIELD* cmdNext(Session& s, char* buffer) {
    PROMPT_FIELD* field = upcoming(s);
    if (!s.started && !field) return nullptr;  // empty queue: nothing starts
    s.started = true;
    s.cursor = field;  // nullptr: past the end
    if (!field) return nullptr;
    copyOut(field, buffer);
    return field;
}

PROMPT_FIELD* cmdPrevious(Session& s, char* buffer) {
    PROMPT_FIELD* field = nullptr;
    if (!s.started)
        field = nullptr;  // on the first field: there is none before it
    else if (!s.cursor)
        field = s.last;  // past the end: the previous one is the last
    else
        field = s.cursor->previous;
    if (!field) return nullptr;
    s.started = true;
    s.cursor = field;
    copyOut(field, buffer);
    return field;
}

PROMPT_FIELD* cmdCurrent(Session& s, char* buffer) {
    PROMPT_FIELD* field = s.started ? s.cursor : s.first;
    if (!field) return nullptr;
    copyOut(field, buffer);
    return field;
}

// Joins the remaining fields with the separator into `buffer`, cut so that it never holds more
// than 510 characters.
PROMPT_FIELD* cmdRest(Session& s, char* buffer) {
    buffer[0] = '\0';
    PROMPT_FIELD* field = upcoming(s);
    if (field) {
        std::string rest;
        for (PROMPT_FIELD* f = field; f; f = f->next) {
            if (f != field) rest.push_back(static_cast<char>(s.separateur));
            rest += f->text;
            if (rest.size() >= static_cast<size_t>(kBufferSize - 1)) break;
        }
        size_t n = std::min(rest.size(), static_cast<size_t>(kBufferSize - 1));
        std::memcpy(buffer, rest.data(), n);
        buffer[n] = '\0';
        s.started = true;
        s.cursor = nullptr;
    }
    return s.first;
}

}  // namespace

std::string PROMPT_FirstField(std::string_view line, int separator, int quote) {
    // The text ends at a zero byte; tabs read as spaces; separators at the end go.
    const size_t end = std::min(line.size(), line.find('\0'));
    auto at = [&](size_t i) { return line[i] == '\t' ? ' ' : line[i]; };
    size_t length = end;
    while (length > 0 && isChar(at(length - 1), separator)) --length;
    std::string field;
    bool quoting = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = at(i);
        if (isChar(c, quote)) {
            quoting = !quoting;
        } else if (!quoting && isChar(c, separator)) {
            if (!field.empty()) return field;  // runs of separators count as one
            continue;
        }
        if (field.size() < static_cast<size_t>(PROMPT_FIELD_MAX)) field.push_back(c);
    }
    return quoting ? std::string() : field;  // a field inside an open quote is dropped
}

int Queue_Create(char* text, int separator, int quote) {
    if (!text) return 0;
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(kInputLimit)) {
        morvex::trace(
            "\n[PROMPT] ATTENTION : La taille du buffer d'entree depasse la limite securitaire!");
        morvex::trace("\nLa taille du buffer d'entree est de = %i caracteres, %i autorises",
                      static_cast<int>(length), kInputAllowed);
    }
    if (!gTableReady) {
        for (Session& s : gSessions) s = Session{};
        gTableReady = true;
    }
    for (int i = 0; i < kSessionCount; ++i) {
        Session& s = gSessions[i];
        if (s.handle != 0) continue;
        s = Session{};
        s.handle = i + 1;
        s.separateur = separator;
        s.quote = quote;
        cmdCut(s.handle, text);
        return s.handle;
    }
    return 0;
}

int Queue_Destroy(int handle) {
    if (handle < 1 || handle > kSessionCount) {
        morvex::trace("\n[Queue_Create]:Le handle n'est pas valide.");
        return 1;
    }
    Session& s = gSessions[handle - 1];
    if (s.handle == handle) resetSession(s);
    return 0;
}

PROMPT_FIELD* Queue_Get(int handle, int command, char* buffer) {
    Session* s = sessionOf(handle);
    if (!s) return nullptr;
    switch (command) {
        case QUEUE_CMD_FORGET:
            if (s->first) s->forgotten.push_back(s->first);
            s->first = s->last = s->cursor = nullptr;
            s->started = false;
            return nullptr;
        case QUEUE_CMD_APPEND:
            return buffer ? appendField(*s, buffer) : nullptr;
        case QUEUE_CMD_FIRST:
            return s->first;
        case QUEUE_CMD_LAST:
            return s->last;
        case QUEUE_CMD_RELEASE:
            releaseQueue(*s);
            return nullptr;
        case QUEUE_CMD_PREVIOUS:
            return buffer ? cmdPrevious(*s, buffer) : nullptr;
        case QUEUE_CMD_CURRENT:
            return buffer ? cmdCurrent(*s, buffer) : nullptr;
        case QUEUE_CMD_NEXT:
        case QUEUE_CMD_NEXT_ALT:
            return buffer ? cmdNext(*s, buffer) : nullptr;
        case QUEUE_CMD_REST:
            return buffer ? cmdRest(*s, buffer) : nullptr;
        case QUEUE_CMD_REWIND:
            s->cursor = s->first;
            s->started = false;
            return s->first;
        default:
            return nullptr;
    }
}

int cmdCut(int handle, char* text) {
    Session* s = sessionOf(handle);
    if (!s) return 1;
    // An empty text leaves an empty queue: the fields of an earlier line must not survive it.
    releaseQueue(*s);
    if (!text || text[0] == '\0') {
        s->buffer.clear();
        return 1;
    }

    size_t length = std::strlen(text);
    if (s->tabToSpace == 1)
        for (size_t i = 0; i < length; ++i)
            if (text[i] == '\t') text[i] = ' ';
    while (length > 0 && isChar(text[length - 1], s->separateur)) text[--length] = '\0';
    s->buffer.assign(text, length);

    char field[PROMPT_FIELD_MAX + 1];
    size_t used = 0;  // characters in `field`; those past 510 are cut
    bool quoting = false;
    for (size_t i = 0; i <= length; ++i) {
        char c = text[i];
        bool closes = (i == length);
        if (!closes) {
            if (isChar(c, s->quote)) {
                quoting = !quoting;
            } else if (!quoting && isChar(c, s->separateur)) {
                closes = true;
            }
        }
        if (!closes) {
            if (used < static_cast<size_t>(PROMPT_FIELD_MAX)) field[used++] = c;
            continue;
        }
        if (i == length && quoting) break;  // an unclosed quote drops its field
        if (used > 0) {
            field[used] = '\0';
            if (!appendField(*s, field)) return 1;
        }
        used = 0;
    }
    return 0;
}

int QUEUE_SetQuote(int handle, int quote) {
    Session* s = sessionOf(handle);
    if (!s) return 1;
    s->quote = quote;
    return 0;
}

int QUEUE_GetQuote(int handle) {
    Session* s = sessionOf(handle);
    return s ? s->quote : 0;
}

int QUEUE_SetSeparator(int handle, int separator) {
    Session* s = sessionOf(handle);
    if (!s) return 1;
    s->separateur = separator;
    return 0;
}

int QUEUE_GetSeparator(int handle) {
    Session* s = sessionOf(handle);
    return s ? s->separateur : 0;
}

int QUEUE_SetTabToSpaceConversion(int handle, int value) {
    Session* s = sessionOf(handle);
    if (!s) return 1;
    s->tabToSpace = value;
    return 0;
}

int QUEUE_GetCountData(int handle) {
    Session* s = sessionOf(handle);
    return s ? s->nbData : 0;
}

void Queue_Stat() {
    int open = 0;
    int total = 0;
    for (const Session& s : gSessions) {
        if (s.handle == 0) continue;
        ++open;
        total += s.nbData;
        morvex::trace("\n------------------------------------------------------------");
        morvex::trace("\nHANDLE      : %i", s.handle);
        morvex::trace("\nBUFFER      : %s", s.buffer.c_str());
        morvex::trace("\nSEPARATEUR  : %i", s.separateur);
        morvex::trace("\nQUOTE       : %i", s.quote);
        morvex::trace("\nTABTOSPACE  : %i", s.tabToSpace);
        morvex::trace("\nVERBOSEMODE : %i", s.verboseMode);
        morvex::trace("\nNBDATA      : %i (%i octets)", s.nbData, s.nbData * kFieldBytes);
    }
    morvex::trace("\n--------- Observation de l'etat du metteur en file ---------");
    morvex::trace("\nNombre de sessions ouvertes : %i", open);
    morvex::trace("\nNombre de donnes total : %i", total);
    morvex::trace("\nTaille memoire occupee par les donnees : %i octets", total * kFieldBytes);
    morvex::trace("\nTaille memoire occupee par la table des sessions : %i octets",
                  kSessionTableBytes);
    morvex::trace("\n------------------------------------------------------------");
}

void Queue_MakeStat() {}
