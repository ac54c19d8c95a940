// Splitting the desktop's small text files into lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bolvarin {

// The lines of a text, without their ends. CR LF, a lone LF and a lone CR
// each end a line (files edited by hand on other systems read the same). An
// end at the very end of the text does not start one more, empty, line.
std::vector<std::string> SplitTextLines(std::string_view text);

}  // namespace bolvarin
