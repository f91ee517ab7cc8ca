// The simulator's supply of chips: an operator who feeds the socket from a list, so that a
// program that waits for chip after chip (erasing, writing and locking each, then waiting for the
// socket to go empty) runs without anyone at the bench.
//
// The list, comma-separated: "good" (an erased chip of the device), "empty" (the socket stays
// empty one moment more), a device name such as "89S51" or "AT89C2051" (an erased chip of that
// device), "stuck:ADDR" (a chip of the device whose cell at hexadecimal ADDR will not program),
// "locked" (a chip of the device with lock bits 1 to 3 programmed), and "ITEM*N" for N of them.
//
// The operator acts only as an operation starts (the socket going active), seeing what the
// operation before did to the chip in the socket:
//   - the socket's first operation finds the first item of the list in it;
//   - an operation that programs nothing and reads no more bytes of code, lock bits and fuse
//     than of the signature is a look at the chip; one that reads more starts the count of looks
//     again, and so does a programming cycle (erase, byte, lock bit or fuse write) that reaches
//     the chip, which from then on counts as written;
//   - a chip never written is taken out before the operation after its kLooksUnwritten-th
//     look (another group's chip answers no signature read: for it every operation that reads
//     nothing is a look); a written chip after its kLooksWritten-th look that read the
//     signature. So a program that checks the signature once before each of its steps keeps the
//     chip to the end, one that looks a few times more to see a new chip seated (a production
//     run looks twice, then checks once before writing) keeps it too, and one that waits for the
//     socket to go empty sees the chip leave;
//   - the socket then stays empty for a moment: at least kMomentNs of simulated time and
//     kEmptyOperations operations that saw it empty; an "empty" item adds a moment;
//   - then it holds the next chip; after the last one it stays empty, and says so: from the moment
//     the socket is empty with no chip left in the list (only "empty" items, or none), no chip
//     will come.
// Each chip of the list is numbered from 1 in the list's order ("empty" items have none) and
// kept, as it was left, with the drawer's chips.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/Errors.h"
#include "sim/Chip.h"
#include "sim/ChipModel.h"

namespace kaldo::sim {

struct SupplyItem {
  enum class Kind : std::uint8_t { Good, Empty, Device, Stuck, Locked };
  Kind kind = Kind::Good;
  int type = -1;              // Device: the chip type
  std::uint16_t address = 0;  // Stuck: the cell that will not program
  bool operator==(const SupplyItem&) const = default;
};

// A supply list's item that means nothing: "bad item 'x' in the supply list: <why>".
class SupplyListError : public Error {
 public:
  using Error::Error;
};

// The items of a list, each "ITEM*N" written out N times (up to kMaxSupply items in all).
// typeOfName gives the chip type of a device name, or -1 for none. Raises SupplyListError.
inline constexpr std::size_t kMaxSupply = 1000;  // a 32 KB chip each: 32 MB at most
std::vector<SupplyItem> ParseSupply(std::string_view list,
                                    const std::function<int(std::string_view)>& typeOfName);

// The chips of the list, erased, faulted as the items say; `type` is the device's.
std::vector<Chip> SupplyChips(const std::vector<SupplyItem>& items, int type);

class SupplyOperator {
 public:
  static constexpr int kLooksWritten = 2;
  static constexpr int kLooksUnwritten = 12;
  static constexpr std::uint64_t kMomentNs = 500'000'000;  // half a second
  static constexpr int kEmptyOperations = 10;

  // chips: SupplyChips(items, ...), which must outlive the operator and stay where they are.
  SupplyOperator(std::vector<SupplyItem> items, std::vector<Chip>& chips);

  // The chip the socket holds from the operation starting at nowNs, or null; `last` is what the
  // operation before did to the chip then in the socket.
  Chip* OnOperation(std::uint64_t nowNs, const ChipActivity& last);
  // The socket is empty and stays so: the list holds no chip after the one taken out last.
  bool Exhausted() const { return held_ == nullptr && nextChip_ == chips_.size(); }

 private:
  void Next(std::uint64_t nowNs);
  void StartMoment(std::uint64_t nowNs);

  std::vector<SupplyItem> items_;
  std::vector<Chip>& chips_;
  std::size_t nextItem_ = 0;
  std::size_t nextChip_ = 0;
  bool started_ = false;
  Chip* held_ = nullptr;
  bool written_ = false;
  int looks_ = 0;
  std::uint64_t emptySinceNs_ = 0;
  int emptyOperations_ = 0;
};

}  // namespace kaldo::sim
