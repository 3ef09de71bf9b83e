// Fixed-width edit descriptors (Fw.d, Ew.d, ESw.dEe, Iw) and list-directed values,
// as the run's text files and the dialogs' boxes show numbers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
std::string trimLeft(std::string_view s);
std::string padRight(std::string_view s, std::size_t n);

// List-directed input of one value from text: leading blanks skipped; the value ends
// at a blank, comma or slash. Integer, decimal and exponent forms (E or D) are taken.
// Returns nothing when the text does not start with a number.
std::optional<float> readListReal(std::string_view text);
std::optional<long long> readListInt(std::string_view text);

// The values of a list-directed line with their 1-based columns: items are separated by
// blanks, tabs or a comma; a slash ends the line.
struct ListItem {
  std::string_view text;
  std::size_t column = 0;
};
std::vector<ListItem> listItems(std::string_view line);

// Fixed-field input: one field of exactly its width, as Fw.d and Iw read it. Blanks around
// the number are ignored; a number without a decimal point has d implied decimals (so "15"
// read with F5.1 is 1.5). A blank field, blanks inside the number, a field of asterisks
// (a value that did not fit when it was written) or anything else that is not a number
// give nothing, and `problem` says what is wrong.
std::optional<float> readF(std::string_view field, int d, std::string& problem);
std::optional<long long> readI(std::string_view field, std::string& problem);

}  // namespace velmora::fmt
