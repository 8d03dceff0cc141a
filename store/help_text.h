// Help files: Windows-1252 text split into the lines the quick-help window shows.
#pragma once

#include <string_view>
#include <vector>

namespace tavik {

// The lines of a help file's bytes, viewing into `bytes`: a line ends at CR, an LF right after
// the CR belongs to the break, a lone LF is an ordinary character and byte 26 ends the text. A
// last line without CR counts; an empty text has no lines ("a\r\n" is one line, "a\r\n\r\n" two).
std::vector<std::string_view> helpTextLines(std::string_view bytes);

}  // namespace tavik
