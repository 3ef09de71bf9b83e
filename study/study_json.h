// A small reader of JSON text, enough to read a row's analysis.json back into the study table.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::study {

struct JsonError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;                             // Array
  std::vector<std::pair<std::string, Json>> members;  // Object, in the text's order

  // The member at a path of keys ("superhump.epsilon"); nullptr when a key is missing or a
  // value on the way is not an object.
  const Json* at(std::string_view path) const;
};

// Parses a whole text; throws JsonError naming the byte offset of the first problem.
Json parseJson(std::string_view text);

}  // namespace velmora::study
