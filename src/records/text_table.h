// Tables of what the database holds, for a terminal or a spreadsheet: the report's and the
// floor's. Texts from records and stations are shown so that they cannot steer a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qvlink::records {

// A record's text as a terminal or a spreadsheet may show it: printable UTF-8 as it is, every
// control character (C0, DEL, C1) as an escape ("\x1b", "\u0085"), so that what a record holds
// can neither move the cursor, recolour the report nor ring.
std::string Shown(const std::string& text);

// `rows` (the first one the heading) as columns padded to their widest cell (counted in UTF-8
// characters), the columns from `firstNumber` on aligned to the right; or as CSV.
std::string Table(const std::vector<std::vector<std::string>>& rows, std::size_t firstNumber,
                  bool csv);

}  // namespace qvlink::records
