// The reader of tab-separated text: one event per line, "DD.MM.YYYY", TAB, text.
#pragma once

#include <string_view>

#include "exchange/import_candidate.h"

namespace tavik {

// The text of a file: everything before the first Ctrl-Z byte.
std::string_view textPart(std::string_view bytes);

// The first line of a text file: up to the first CR, LF or Ctrl-Z, after a UTF-8 byte order
// mark.
std::string_view firstTextLine(std::string_view bytes);

// True when the text is to be read as UTF-8: it starts with a UTF-8 byte order mark, or it is
// valid UTF-8 and holds at least one character outside ASCII. Otherwise it is Windows-1252.
bool isUtf8Text(std::string_view bytes);

// The value of a number field: leading blanks, an optional sign, then the decimal digits up to
// the first other character; 0 when there is no digit ("1." -> 1, "75\t" -> 75, "" -> 0).
// Saturates far outside 0..65535 instead of overflowing.
long csvNumber(std::string_view field);

// Reads one candidate per line. Lines end at CR, CR LF or LF; a Ctrl-Z ends the text. The
// text of a UTF-8 file (isUtf8Text, `utf8`) is taken in any script, in a record with its
// extension (setImportedText); a line of it that is no UTF-8 is left out and counted
// (SkipReason::Unstorable). The date field has fixed
// positions (day 1-2, month 4-5, year 7-10, within the characters up to the first TAB); a year of 0
// or none gives a year-less date in 2000. The text is what follows the first TAB, cut to what a
// record holds, further TABs kept. Stops with `ok` false at a line without a valid date (an empty
// line, a negative number).
ReadResult readCsv(std::string_view bytes);

}  // namespace tavik
