// UTF-8 texts: where a character ends, whether a text is well-formed, and cutting a text to a
// number of bytes without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace morvex {

// Whether the end of a text may fall inside a character: Whole for a text read to its end (a
// row, a value, a file), Prefix for the first bytes of a longer one (a sample).
enum class Utf8End { Whole, Prefix };

// Bytes of the well-formed character that starts at text[at] (1 to 4), or 0 when none does:
// a byte that opens no character, a continuation byte missing, an overlong form, a surrogate,
// a value beyond U+10FFFF. A character cut by the end of `text` is malformed for a Whole text;
// for a Prefix it gives the bytes left when those are well-formed so far.
size_t utf8CharLength(std::string_view text, size_t at, Utf8End end = Utf8End::Whole);

// True when every character of `text` is well-formed (the end may cut none).
bool utf8IsValid(std::string_view text);

// The length of the longest start of `text` of at most `limit` bytes that does not end inside
// a character: `limit` stepped back over the continuation bytes of the character it would
// split (at most three: a run of stray continuation bytes is cut where it stands).
size_t utf8CutPoint(std::string_view text, size_t limit);

// Copies `text` into the fixed field of `fieldSize` bytes (terminator included), cut at
// utf8CutPoint when it does not fit. Nothing happens when the field is missing or empty.
void utf8CopyCut(char* field, size_t fieldSize, std::string_view text);
// The same from a terminated text, of which no more than `fieldSize` bytes are read; a null
// text gives an empty field.
void utf8CopyCut(char* field, size_t fieldSize, const char* text);

}  // namespace morvex
