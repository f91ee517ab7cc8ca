#include "cli/Json.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "core/Convert.h"

namespace kaldo::cli {

namespace {

// The length of the UTF-8 sequence that begins text[at], or 0 when none does: no overlong forms,
// no surrogate halves, nothing above U+10FFFF.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length;
  std::uint8_t low = 0x80, high = 0xBF;  // the bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    if (c >= 0x80) {
      if (const std::size_t n = Utf8SequenceAt(text, i)) {
        json.append(text.substr(i, n));
        i += n;
        continue;
      }
    }
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        // Control characters, DEL and the bytes of no UTF-8 sequence.
        if (c < 0x20 || c >= 0x7F)
          json += "\\u00" + IntToHex(c, 2);
        else
          json += static_cast<char>(c);
    }
    ++i;
  }
  return json + "\"";
}

Json::Json(const JsonObject& object) : text_(object.Text()) {}

Json::Json(const JsonArray& array) : text_(array.Text()) {}

Json Json::Fixed(double number, int decimals) {
  char digits[64];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, number, std::chars_format::fixed, decimals);
  Json value;
  value.text_.assign(digits, result.ptr);
  return value;
}

JsonArray& JsonArray::Add(const Json& value) {
  items_.push_back(value.Text());
  return *this;
}

std::string JsonArray::Text() const {
  std::string text = "[";
  for (const std::string& item : items_) text += (text.size() > 1 ? ", " : "") + item;
  return text + "]";
}

JsonObject& JsonObject::Set(std::string_view key, const Json& value) {
  SetText(key, value.Text());
  return *this;
}

void JsonObject::SetText(std::string_view key, const std::string& text) {
  const auto field =
      std::find_if(fields_.begin(), fields_.end(), [&](const auto& f) { return f.first == key; });
  if (field != fields_.end())
    field->second = text;
  else
    fields_.emplace_back(std::string(key), text);
}

bool JsonObject::Has(std::string_view key) const {
  return std::any_of(fields_.begin(), fields_.end(), [&](const auto& f) { return f.first == key; });
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
  for (const auto& [key, text] : other.fields_) SetText(key, text);
  return *this;
}

std::string JsonObject::Text() const {
  std::string text = "{";
  for (const auto& [key, value] : fields_)
    text += (text.size() > 1 ? ", " : "") + JsonString(key) + ": " + value;
  return text + "}";
}

}  // namespace kaldo::cli
