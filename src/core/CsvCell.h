#pragma once
#include <string>

namespace krv {

// Cells of a CSV file as a spreadsheet set to Brazilian Portuguese opens it.

// Every digit that tells the double apart from its neighbours, in fixed notation with a
// decimal comma and no thousands separator ("1587,0004", "13", "0,0000001"): the file is
// data, so adding it up gives what was stored. Empty for NaN and infinities.
std::string csvNumberCell(double value);

// A text the spreadsheet would take for a formula is kept a text by a leading apostrophe;
// a cell with the separator, a quote or a line break goes in quotes.
std::string csvTextCell(std::string text);

}  // namespace krv
