// CONSOLE: the answers of tabstrap's dialogue, read one line at a time from standard input.
#pragma once

#include <cstddef>
#include <string>

// Flushes standard output, then reads one line of standard input into `answer`. The line feed
// (and a carriage return before it) is removed unless keepLineFeed; the text is cut to
// `maxLength` characters (0: no limit), the rest of the line being dropped. When `hidden` and
// standard input is a terminal, the typed characters are not echoed. Returns false, leaving
// answer empty, at the end of input (nothing more to read).
bool CONSOLE_ReadLine(std::string& answer, std::size_t maxLength, bool keepLineFeed = false,
                      bool hidden = false);
