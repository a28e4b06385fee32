// In-place helpers on zero-terminated texts, and ajusterMot for aligned columns.
#pragma once

#include <string>

// Replaces every occurrence of `from` by `to`.
void MYSTRINGS_ReplaceChar(char* text, char from, char to);
// Removes every occurrence of `ch`; returns text, or nullptr when out of memory.
char* MYSTRINGS_StripChar(char* text, char ch);
// Length of `sequence` when `text` begins with it, 0 when not, -1 when either is missing.
int MYSTRINGS_RecognizeSequence(const char* text, const char* sequence);
// Copies `count` characters from the 1-based position `start` into out (kept terminated);
// returns 1 as soon as outSize characters were copied, else 0.
int MYSTRINGS_Substring(const char* text, int start, int count, char* out, int outSize);
// Pads `text` in place to `width` characters with the one-character text `pad` (mode 0 right,
// 1 left, 2 both); too long texts are cut with "..." (see the implementation). Never writes
// more than `capacity` bytes, terminator included.
void ajusterMot(char* text, int capacity, int width, const char* pad, int mode);

namespace morvex {
// printf into a new string (no length limit).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Appends `value` as printf's "%0*i" writes it: zeros in front up to `width` characters, a minus
// sign counted in the width.
void AppendPadded(std::string& out, int value, int width);
}  // namespace morvex
