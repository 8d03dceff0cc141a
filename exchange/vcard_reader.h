// The reader of vCard address books (versions 2.1, 3.0 and 4.0, many cards per file): the
// birthdays, wedding days and death days of the contacts.
#pragma once

#include <optional>
#include <string_view>

#include "exchange/import_candidate.h"
#include "store/day_number.h"

namespace tavik {

// True when the file begins, after an optional UTF-8 byte order mark and blank lines, with
// the line BEGIN:VCARD (any case).
bool looksLikeVcard(std::string_view bytes);

// A date as a card writes it, year 0 when it has none: "YYYY-MM-DD", "YYYYMMDD", "--MMDD" or
// "--MM-DD", each optionally followed by a time part ("T..."), which is ignored. nullopt for any
// other form; the date itself is not checked.
std::optional<Ymd> parseVcardDate(std::string_view value);

// One candidate per date of each card, in file order: BDAY gives "Geburtstag <name>" of the
// kind Geburtstag, the anniversary properties "Hochzeitstag <name>" of the kind Hochzeitstag,
// DEATHDATE "Todestag <name>" of the kind Todestag. The name is FN,
// else the given and family name of N, else the first NICKNAME. A date without a year, in the
// placeholder year 1604, or in the year an X-APPLE-OMIT-YEAR (or other X-...-OMIT-YEAR)
// parameter names, is stored year-less (2000, `withoutYear`); a date with a year gets
// `computeJubilee`. Names in any script are kept whole (datedCandidate). What cannot be taken is
// counted in `skipped`; the result is always `ok`. A card written after a 2.1 AGENT line (or after
// "AGENT:BEGIN:VCARD") is read as a card of its own and does not end the one around it.
ReadResult readVcard(std::string_view bytes);

}  // namespace tavik
