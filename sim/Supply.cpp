#include "sim/Supply.h"

#include <charconv>
#include <string>

namespace kaldo::sim {

namespace {

[[noreturn]] void Bad(std::string_view item, const std::string& why) {
  throw SupplyListError("bad item '" + std::string(item) + "' in the supply list: " + why);
}

// A whole number in `text`, in the given base, up to `highest`.
bool ParseNumber(std::string_view text, int base, unsigned long highest, unsigned long& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && value <= highest;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

SupplyItem ParseOne(std::string_view item, std::string_view word,
                    const std::function<int(std::string_view)>& typeOfName) {
  const std::string lower = Lower(word);
  if (lower == "good") return {};
  if (lower == "empty") return {.kind = SupplyItem::Kind::Empty};
  if (lower == "locked") return {.kind = SupplyItem::Kind::Locked};
  if (lower.starts_with("stuck:")) {
    std::string_view address = std::string_view(lower).substr(6);
    if (address.starts_with("0x")) address.remove_prefix(2);
    unsigned long value = 0;
    if (!ParseNumber(address, 16, 0x7FFF, value))
      Bad(item, "the address is not hexadecimal from 0 to 7FFF");
    return {.kind = SupplyItem::Kind::Stuck, .address = static_cast<std::uint16_t>(value)};
  }
  const int type = word.empty() ? -1 : typeOfName(word);
  if (type < 0) Bad(item, "neither good, empty, locked, stuck:ADDR nor a device");
  return {.kind = SupplyItem::Kind::Device, .type = type};
}

}  // namespace

std::vector<SupplyItem> ParseSupply(std::string_view list,
                                    const std::function<int(std::string_view)>& typeOfName) {
  std::vector<SupplyItem> items;
  for (;;) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    std::string_view word = item;
    unsigned long count = 1;
    if (const std::size_t star = item.rfind('*'); star != std::string_view::npos) {
      word = item.substr(0, star);
      if (!ParseNumber(item.substr(star + 1), 10, kMaxSupply, count) || count == 0)
        Bad(item, "the count after '*' is not a number from 1 to " + std::to_string(kMaxSupply));
    }
    const SupplyItem parsed = ParseOne(item, word, typeOfName);
    if (items.size() + count > kMaxSupply)
      Bad(item, "the list holds more than " + std::to_string(kMaxSupply) + " items");
    items.insert(items.end(), count, parsed);
    if (comma == std::string_view::npos) return items;
    list.remove_prefix(comma + 1);
  }
}

std::vector<Chip> SupplyChips(const std::vector<SupplyItem>& items, int type) {
  std::vector<Chip> chips;
  for (const SupplyItem& item : items) {
    switch (item.kind) {
      case SupplyItem::Kind::Empty:
        break;
      case SupplyItem::Kind::Device:
        chips.push_back(Chip::Fresh(item.type));
        break;
      case SupplyItem::Kind::Good:
        chips.push_back(Chip::Fresh(type));
        break;
      case SupplyItem::Kind::Stuck:
        chips.push_back(Chip::Fresh(type));
        chips.back().wontProgram.insert(item.address);
        break;
      case SupplyItem::Kind::Locked:
        chips.push_back(Chip::Fresh(type));
        chips.back().lockBits = kChipLock1 | kChipLock2 | kChipLock3;
        break;
    }
  }
  return chips;
}

SupplyOperator::SupplyOperator(std::vector<SupplyItem> items, std::vector<Chip>& chips)
    : items_(std::move(items)), chips_(chips) {}

Chip* SupplyOperator::OnOperation(std::uint64_t nowNs, const ChipActivity& last) {
  if (!started_) {
    started_ = true;
    Next(nowNs);
    return held_;
  }
  if (held_ != nullptr) {
    if (last.programmingCycles > 0) {
      written_ = true;
      looks_ = 0;
    } else if (last.otherReads > last.signatureReads) {
      looks_ = 0;
    } else if (last.signatureReads > 0 || !written_) {
      ++looks_;
    }
    if (looks_ >= (written_ ? kLooksWritten : kLooksUnwritten)) StartMoment(nowNs);
    return held_;
  }
  ++emptyOperations_;
  if (nextItem_ < items_.size() && emptyOperations_ >= kEmptyOperations &&
      nowNs - emptySinceNs_ >= kMomentNs) {
    Next(nowNs);
  }
  return held_;
}

void SupplyOperator::Next(std::uint64_t nowNs) {
  if (nextItem_ == items_.size()) return StartMoment(nowNs);
  if (items_[nextItem_++].kind == SupplyItem::Kind::Empty) return StartMoment(nowNs);
  held_ = &chips_.at(nextChip_++);
  written_ = false;
  looks_ = 0;
}

void SupplyOperator::StartMoment(std::uint64_t nowNs) {
  held_ = nullptr;
  emptySinceNs_ = nowNs;
  emptyOperations_ = 0;
}

}  // namespace kaldo::sim
