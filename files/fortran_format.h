// Fixed-width edit descriptors (Fw.d, Ew.d, ESw.dEe, Iw) and list-directed values,
// as the run's text files and the dialogs' boxes show numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::fmt {

// Fw.d: fixed point, width w, d decimals, right-aligned; asterisks when it does not fit.
std::string F(double v, int w, int d);
// Iw: integer right-aligned in w characters; asterisks when it does not fit.
std::string I(long long v, int w);
// Ew.d: 0.ddddE+ee with d digits after the point.
std::string E(double v, int w, int d);
// ESw.dEe: d.ddddE+ee with d digits after the point and e exponent digits.
std::string ES(double v, int w, int d, int e);

// List-directed output: a leading blank, then the value. Reals carry nine significant
// digits, enough to read back the same single-precision number.
std::string listInt(long long v);
std::string listReal(float v);
// Free-format real with a given number of significant digits, after a leading blank: fixed
// point when 0.1 <= |v| < 10^digits (and for zero), d.dddE+ee otherwise.
std::string freeReal(float v, int digits);

std::string trimRight(std::string_view s);
std::string padRight(std::string_view s, std::size_t n);

// List-directed input of one value from text: leading blanks skipped; the value ends
// at a blank, comma or slash. Integer, decimal and exponent forms (E or D) are taken.
// Returns nothing when the text does not start with a number.
std::optional<float> readListReal(std::string_view text);
std::optional<long long> readListInt(std::string_view text);

}  // namespace velmora::fmt
