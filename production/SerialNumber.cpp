#include "production/SerialNumber.h"

#include <algorithm>
#include <cctype>

#include "core/Convert.h"

namespace kaldo {

namespace {

struct FormInfo {
  const char* Name;
  SerialForm Form;
  int MaxWidth;
  int DefaultWidth;  // 0: the width must be given
};

constexpr FormInfo kForms[] = {
    {"bin-le", SerialForm::BinaryLittleEndian, 8, 4},
    {"bin-be", SerialForm::BinaryBigEndian, 8, 4},
    {"bcd", SerialForm::Bcd, 10, 4},
    {"ascii", SerialForm::Ascii, 20, 0},
};

std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t colon = text.find(':', pos);
    fields.push_back(text.substr(pos, colon == std::string::npos ? colon : colon - pos));
    if (colon == std::string::npos) return fields;
    pos = colon + 1;
  }
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Decimal, up to 2^64 - 1.
std::optional<std::uint64_t> Decimal(const std::string& text) {
  if (!AllDigits(text) || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<std::uint16_t> CodeAddress(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (text.empty() || text.size() > 4) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  if (value >= kBufferSize) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::uint64_t SerialSpec::Largest() const {
  switch (Form) {
    case SerialForm::BinaryLittleEndian:
    case SerialForm::BinaryBigEndian:
      return Width >= 8 ? UINT64_MAX : (std::uint64_t{1} << (8 * Width)) - 1;
    case SerialForm::Bcd:
    case SerialForm::Ascii: {
      const int digits = Form == SerialForm::Bcd ? 2 * Width : Width;
      if (digits >= 20) return UINT64_MAX;
      std::uint64_t largest = 1;
      for (int i = 0; i < digits; ++i) largest *= 10;
      return largest - 1;
    }
  }
  return 0;
}

std::vector<std::uint8_t> SerialSpec::Encode(std::uint64_t number) const {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Width));
  switch (Form) {
    case SerialForm::BinaryLittleEndian:
    case SerialForm::BinaryBigEndian:
      for (int i = 0; i < Width; ++i, number >>= 8) bytes[i] = static_cast<std::uint8_t>(number);
      if (Form == SerialForm::BinaryBigEndian) std::reverse(bytes.begin(), bytes.end());
      break;
    case SerialForm::Bcd:
      for (int i = Width - 1; i >= 0; --i, number /= 100)
        bytes[i] = static_cast<std::uint8_t>((number % 100 / 10) << 4 | number % 10);
      break;
    case SerialForm::Ascii:
      for (int i = Width - 1; i >= 0; --i, number /= 10)
        bytes[i] = static_cast<std::uint8_t>('0' + number % 10);
      break;
  }
  return bytes;
}

SerialSpec ParseSerialSpec(const std::string& text) {
  const std::vector<std::string> fields = Fields(text);
  if (fields.size() < 3 || fields.size() > 4)
    throw SerialSpecError(
        "a serial number is given as ADDR:FORM:START[:STEP], e.g. 7FF0:bin-le4:1");
  SerialSpec spec;
  const std::optional<std::uint16_t> address = CodeAddress(fields[0]);
  if (!address)
    throw SerialSpecError("'" + fields[0] + "' is not a code address (hexadecimal, 0 to 7FFF)");
  spec.Address = *address;

  const FormInfo* form = nullptr;
  std::string width;
  for (const FormInfo& f : kForms) {
    const std::string name = f.Name;
    if (fields[1].compare(0, name.size(), name) == 0 &&
        (fields[1].size() == name.size() || AllDigits(fields[1].substr(name.size())))) {
      form = &f;
      width = fields[1].substr(name.size());
    }
  }
  if (!form)
    throw SerialSpecError("unknown serial number form '" + fields[1] +
                          "' (bin-leN, bin-beN, bcdN or asciiN; N the width in bytes)");
  spec.Form = form->Form;
  if (width.empty() && form->DefaultWidth == 0)
    throw SerialSpecError("the form '" + fields[1] + "' needs its width in bytes, e.g. " +
                          form->Name + "8");
  const std::optional<std::uint64_t> w = width.empty() ? form->DefaultWidth : Decimal(width);
  if (!w || *w < 1 || *w > static_cast<std::uint64_t>(form->MaxWidth))
    throw SerialSpecError("the width of " + std::string(form->Name) + " is 1 to " +
                          std::to_string(form->MaxWidth) + " bytes: '" + fields[1] + "'");
  spec.Width = static_cast<int>(*w);

  const std::optional<std::uint64_t> start = Decimal(fields[2]);
  if (!start) throw SerialSpecError("'" + fields[2] + "' is not a serial number (decimal)");
  spec.Start = *start;
  if (fields.size() == 4) {
    const std::optional<std::uint64_t> step = Decimal(fields[3]);
    if (!step || *step == 0)
      throw SerialSpecError("'" + fields[3] + "' is not a step (a decimal number, 1 or more)");
    spec.Step = *step;
  }
  if (!spec.Fits(spec.Start))
    throw SerialSpecError(std::to_string(spec.Start) + " does not fit " + fields[1] + " (largest " +
                          std::to_string(spec.Largest()) + ")");
  return spec;
}

std::optional<std::string> SerialPlaceProblem(const SerialSpec& spec, const ProgramState& state) {
  const std::uint32_t end = spec.Address + static_cast<std::uint32_t>(spec.Width);
  const std::string range = IntToHex(spec.Address, 4) + "-" + IntToHex(end - 1, 4);
  if (end > state.DeviceSize)
    return "The serial number at " + range + " runs past the device's last address " +
           IntToHex(state.DeviceSize - 1u, 4) + ".";
  for (std::uint32_t a = spec.Address; a < end; ++a)
    if (state.DataBuffer[a] != kBlank)
      return "The serial number at " + range + " would overwrite the image's byte " +
             IntToHex(state.DataBuffer[a], 2) + " at " + IntToHex(a, 4) + ".";
  return std::nullopt;
}

std::optional<std::string> SerialRangeProblem(const SerialSpec& spec, std::uint64_t first,
                                              int chips) {
  const std::uint64_t n = chips > 0 ? static_cast<std::uint64_t>(chips) : 1;
  if (spec.Step <= (UINT64_MAX - first) / n && spec.Fits(first + spec.Step * (n - 1)))
    return std::nullopt;
  return "The serial numbers from " + std::to_string(first) + " do not fit " +
         std::to_string(spec.Width) + " bytes for " + std::to_string(n) + " chips.";
}

}  // namespace kaldo
