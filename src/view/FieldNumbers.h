#pragma once
#include <optional>
#include <string_view>

// Numbers read back from list cells and typed fields. Cells are built with printf
// formats ("%5d" pads with blanks), so every reader skips leading blanks; none depends on
// the C locale, which a GUI toolkit may have switched to one with a decimal comma.

// The decimal integer at the start of text, as "%ld" reads it: leading white space, an
// optional sign, digits; what follows is ignored. None without digits or beyond long.
std::optional<long> LeadingNumber(std::string_view text);

// The integer a sort reads from a cell: its leading number, 0 without one.
long IntegerCell(std::string_view text);

// The floating-point number at the start of text ("851.01250/1" reads 851.0125), 0 without one.
double DecimalCell(std::string_view text);

// The whole text, blanks around it allowed, as a decimal integer; none for anything else.
std::optional<long> ParseDecimal(std::string_view text);

// The whole text, blanks around it allowed, as a decimal fraction ("866.5", "866").
std::optional<double> ParseDecimalFraction(std::string_view text);
