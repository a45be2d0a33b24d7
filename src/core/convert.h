#pragma once
// Text-to-number conversions of the answers and the file headers: leading
// white space skipped, an optional sign, the leading digits; no number gives 0.
#include <string_view>

namespace lorvane {

// Decimal integer; values beyond the int range are clamped to it.
int texttoint(std::string_view s);
// The standard text-to-real conversion of the text.
double texttoreal(std::string_view s);

}  // namespace lorvane
