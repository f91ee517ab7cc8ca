// JSON text for the command line's results, written by hand: values, arrays and objects whose
// fields keep the order they were set in. Everything is one line.
#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kaldo::cli {

// `text` as a JSON string, quotes included: quotes, backslashes and control characters escaped,
// valid UTF-8 passed on as it is, and every byte that is not part of valid UTF-8 as \u00XX.
std::string JsonString(std::string_view text);

class JsonObject;
class JsonArray;

// One value as JSON text.
class Json {
 public:
  Json() : text_("null") {}
  Json(std::string_view text) : text_(JsonString(text)) {}
  Json(const std::string& text) : text_(JsonString(text)) {}
  Json(const char* text) : text_(text ? JsonString(text) : "null") {}
  template <std::integral Number>
  Json(Number number) {
    if constexpr (std::is_same_v<Number, bool>)
      text_ = number ? "true" : "false";
    else
      text_ = std::to_string(number);
  }
  Json(const JsonObject& object);
  Json(const JsonArray& array);

  // A number with `decimals` digits after the point: "0.125".
  static Json Fixed(double number, int decimals);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

class JsonArray {
 public:
  JsonArray& Add(const Json& value);
  // Every element of `values`, each made a Json value.
  template <typename Range>
  static JsonArray Of(const Range& values) {
    JsonArray array;
    for (const auto& v : values) array.Add(Json(v));
    return array;
  }
  std::string Text() const;

 private:
  std::vector<std::string> items_;
};

class JsonObject {
 public:
  // Sets a field; one set before keeps its place and takes the new value.
  JsonObject& Set(std::string_view key, const Json& value);
  bool Has(std::string_view key) const;
  bool Empty() const { return fields_.empty(); }
  // The fields of `other` set on this one, in their order.
  JsonObject& Merge(const JsonObject& other);
  std::string Text() const;

 private:
  void SetText(std::string_view key, const std::string& text);

  std::vector<std::pair<std::string, std::string>> fields_;  // key and value as JSON text
};

}  // namespace kaldo::cli
