// JSON text read into a tree of values.
#include "study/study_json.h"

#include <cstdlib>

namespace velmora::study {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  Json document() {
    Json v = value(0);
    blanks();
    if (at_ != s_.size()) fail("text after the value");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw JsonError("JSON byte " + std::to_string(at_) + ": " + what);
  }
  void blanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
  }
  bool take(char c) {
    blanks();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  bool word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  Json value(int depth) {
    if (depth > 64) fail("values nested too deep");
    blanks();
    if (at_ >= s_.size()) fail("the text ends where a value was expected");
    Json v;
    const char c = s_[at_];
    if (c == '{') {
      ++at_;
      v.type = Json::Type::Object;
      if (take('}')) return v;
      do {
        blanks();
        std::string key = string();
        expect(':');
        v.members.emplace_back(std::move(key), value(depth + 1));
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++at_;
      v.type = Json::Type::Array;
      if (take(']')) return v;
      do v.items.push_back(value(depth + 1));
      while (take(','));
      expect(']');
    } else if (c == '"') {
      v.type = Json::Type::String;
      v.text = string();
    } else if (word("true") || word("false")) {
      v.type = Json::Type::Bool;
      v.boolean = c == 't';
    } else if (word("null")) {
      v.type = Json::Type::Null;
    } else {
      v.type = Json::Type::Number;
      const std::string rest(s_.substr(at_, 64));
      char* end = nullptr;
      v.number = std::strtod(rest.c_str(), &end);
      if (end == rest.c_str()) fail("expected a value");
      at_ += static_cast<std::size_t>(end - rest.c_str());
    }
    return v;
  }

  std::string string() {
    if (at_ >= s_.size() || s_[at_] != '"') fail("expected a string");
    ++at_;
    std::string out;
    while (at_ < s_.size() && s_[at_] != '"') {
      char c = s_[at_++];
      if (c == '\\') {
        if (at_ >= s_.size()) break;
        c = s_[at_++];
        switch (c) {
          case 'n': out += '\n'; break;
          case 't': out += '\t'; break;
          case 'r': out += '\r'; break;
          case 'b': out += '\b'; break;
          case 'f': out += '\f'; break;
          case 'u': {
            if (at_ + 4 > s_.size()) fail("a short \\u escape");
            const unsigned long cp = std::strtoul(std::string(s_.substr(at_, 4)).c_str(), nullptr, 16);
            at_ += 4;
            if (cp < 0x80) out += static_cast<char>(cp);
            else if (cp < 0x800) {
              out += static_cast<char>(0xC0 | (cp >> 6));
              out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
              out += static_cast<char>(0xE0 | (cp >> 12));
              out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
              out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            break;
          }
          default: out += c;  // \" \\ \/
        }
      } else {
        out += c;
      }
    }
    if (at_ >= s_.size()) fail("a string that does not end");
    ++at_;
    return out;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

}  // namespace

const Json* Json::at(std::string_view path) const {
  const Json* v = this;
  while (!path.empty()) {
    const auto dot = path.find('.');
    const std::string_view key = path.substr(0, dot);
    path = dot == std::string_view::npos ? std::string_view{} : path.substr(dot + 1);
    if (v->type != Type::Object) return nullptr;
    const Json* next = nullptr;
    for (const auto& [k, m] : v->members)
      if (k == key) next = &m;
    if (!next) return nullptr;
    v = next;
  }
  return v;
}

Json parseJson(std::string_view text) { return Parser(text).document(); }

}  // namespace velmora::study
