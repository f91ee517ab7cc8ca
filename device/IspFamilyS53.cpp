// The AT89S53 and S8252 through a cable: three-byte instructions whose first byte carries the
// address's high bits with the operation in its low three bits, byte writes that erase their cell
// first, lock bits in one byte, and neither signature nor lock bits to read. The programming
// enable is not answered, so whether the chip hears shows only in what it does: a read during the
// chip erase gives 00, and a byte read during its write cycle has its top bit inverted.
#include "core/Convert.h"
#include "device/IspSession.h"
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

// clang-format off
constexpr std::uint8_t kEnable[2]    = {0xAC, 0x53};
constexpr std::uint8_t kChipErase[2] = {0xAC, 0x04};  // code memory and data EEPROM
constexpr std::uint8_t kLockBits     = 0xAC;          // AC, then LB1 LB2 LB3 x x 1 1 1; 0 programs
constexpr int kLockBitsInByte[3]     = {0x80, 0x40, 0x20};
constexpr std::uint8_t kLockByteBase = 0x07;
// The first byte's low three bits: the operation on the code memory or the data EEPROM.
constexpr std::uint8_t kReadCode     = 0x01;
constexpr std::uint8_t kWriteCode    = 0x02;
constexpr std::uint8_t kReadData     = 0x05;
constexpr std::uint8_t kWriteData    = 0x06;
constexpr std::uint8_t kErasedRead   = 0x00;  // what every read gives while the chip erases
// clang-format on

constexpr std::int64_t kEraseNs = 16'000'000;      // "about 16 ms"
constexpr std::int64_t kByteWriteNs = 10'000'000;  // below 2.5 ms at 5 V, 10 ms at 2.7 V
constexpr int kFrameBytes = 3;
constexpr int kPollMargin = 4;  // the erase is followed for four times its length

std::int64_t ByteWriteNs(std::uint32_t) {
  return kByteWriteNs;
}

std::uint8_t Frame(IspSession& s, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3 = 0) {
  s.link.Send(b1);
  s.link.Send(b2);
  const std::uint8_t answer = s.link.Transfer(b3);
  s.link.EndFrame();
  return answer;
}

// Code: A12-A8 in bits 7-3 and (AT89S53) A13 in bit 2. Data EEPROM: A10-A8 in bits 5-3.
std::uint8_t FirstByte(IspPlace p, bool write) {
  if (p.Memory == IspMemory::DataEeprom)
    return static_cast<std::uint8_t>(((p.Address >> 5) & 0x38) | (write ? kWriteData : kReadData));
  return static_cast<std::uint8_t>(((p.Address >> 5) & 0xF8) | ((p.Address >> 11) & 0x04) |
                                   (write ? kWriteCode : kReadCode));
}

std::uint8_t ReadAt(IspSession& s, IspPlace p) {
  return Frame(s, FirstByte(p, false), static_cast<std::uint8_t>(p.Address));
}

void WriteAt(IspSession& s, IspPlace p, std::uint8_t value) {
  Frame(s, FirstByte(p, true), static_cast<std::uint8_t>(p.Address), value);
}

std::string PlaceText(IspPlace p) {
  return std::string(p.Memory == IspMemory::DataEeprom ? "data EEPROM address " : "address ") +
         IntToHex(p.Address, 4);
}

bool Enter(IspSession& s) {
  s.link.Connect();
  s.link.SetReset(true);
  s.SettleAfterReset();
  Frame(s, kEnable[0], kEnable[1]);
  return true;
}

bool Read(IspSession& s, PassUse use) {
  s.display.ShowAddress(0);
  Enter(s);
  for (std::uint32_t a = 0; a < s.JobSize(); ++a) {
    s.AtByte(a);
    if (!s.Judge(a, ReadAt(s, s.PlaceOf(a)), use)) return false;
  }
  return true;
}

// Reads the byte until it gives `expected`, at most `limit` times.
bool PollFor(IspSession& s, IspPlace p, std::uint8_t expected, int limit, std::uint8_t& read) {
  for (int poll = 0; poll < limit; ++poll) {
    read = ReadAt(s, p);
    if (read == expected) return true;
  }
  return false;
}

// Writes the byte and follows its write cycle by DATA polling.
bool WriteAndPoll(IspSession& s, std::uint32_t a, std::uint8_t value) {
  const IspPlace p = s.PlaceOf(a);
  WriteAt(s, p, value);
  std::uint8_t read = 0;
  if (PollFor(s, p, value, s.PollLimit(kFrameBytes), read)) return true;
  s.failure = {static_cast<std::uint16_t>(a), read, value};
  return false;
}

// The chip erase, seen to run (reads give 00 meanwhile) and to end (the first byte reads FF).
bool Erase(IspSession& s) {
  Frame(s, kChipErase[0], kChipErase[1]);
  const IspPlace first{IspMemory::Code, 0};
  const std::uint8_t during = ReadAt(s, first);
  if (during != kErasedRead) {
    s.NoAnswer("a read during the chip erase gave " + IntToHex(during, 2) +
               ", where an erasing chip gives 00");
    return false;
  }
  const int limit = kPollMargin * s.ReadsWithin(kEraseNs, kFrameBytes);
  std::uint8_t read = 0;
  if (PollFor(s, first, kBlank, limit, read)) return true;
  s.failed = "Erase Error: the chip erase did not end: address 0000 still read " +
             IntToHex(read, 2) +
             " after four times its 16 ms (a MISO line held low reads 00 too).\rNothing was "
             "written.";
  return false;
}

bool Verify(IspSession& s) {
  s.display.ShowCommand("Verifying");
  s.display.ShowAddress(0);
  for (std::uint32_t a = 0; a < s.JobSize(); ++a) {
    s.AtByte(a);
    if (!s.Judge(a, ReadAt(s, s.PlaceOf(a)), PassUse::Compare)) return false;
  }
  return true;
}

// A code job: erase, then every byte that is not blank. The data EEPROM alone: no erase, which
// would take the code with it; each byte that differs is written (its cell is erased first).
bool EraseWriteVerify(IspSession& s) {
  s.display.ShowAddress(0);
  Enter(s);
  const bool eepromOnly = s.job.Memory == DeviceMemory::DataEeprom;
  if (!eepromOnly && !Erase(s)) return false;
  const CodeImage& image = *s.job.Image;
  for (std::uint32_t a = 0; a < s.JobSize(); ++a) {
    s.AtByte(a);
    const bool write = eepromOnly ? ReadAt(s, s.PlaceOf(a)) != image[a] : image[a] != kBlank;
    if (write && !WriteAndPoll(s, a, image[a])) return false;
  }
  return Verify(s);
}

// The chip reports nothing back; the lock byte's write time is not given, 20 ms allows it.
bool WriteLockBits(IspSession& s) {
  int byte = 0xFF;
  for (int i = 0; i < 3; ++i)
    if (s.job.ProgramBits & kLockBits40[i]) byte &= ~kLockBitsInByte[i];
  if (byte == 0xFF) return true;
  Frame(s, kLockBits, static_cast<std::uint8_t>((byte & 0xE0) | kLockByteBase));
  s.link.port().Delay10ms();
  s.link.port().Delay10ms();
  return true;
}

// A byte that read FF is written FF again: the cell ends as it was, and a chip that hears shows
// its write cycle, the byte read with its top bit inverted. A chip with any lock bit programmed
// refuses the write (lock bit 1 already stops writing), so one that takes it is not locked.
bool Hears(IspSession& s, std::uint32_t address) {
  const IspPlace p = s.PlaceOf(address);
  WriteAt(s, p, kBlank);
  const std::uint8_t during = ReadAt(s, p);
  if (during != (kBlank ^ 0x80)) {
    s.NoAnswer(PlaceText(p) + " read FF, and written FF again it showed no write cycle (it read " +
               IntToHex(during, 2) +
               ", not 7F). A chip with lock bits programmed refuses that write too: a Write "
               "erases it, lock bits included");
    return false;
  }
  std::uint8_t read = 0;
  PollFor(s, p, kBlank, s.PollLimit(kFrameBytes), read);
  return true;
}

}  // namespace

const IspFamily kIspFamilyS53 = {.PhaseClocks = 24,   // tSHSL, tSLSH
                                 .PeriodClocks = 40,  // SCK below f/40
                                 .ByteWriteNs = ByteWriteNs,
                                 .Enter = Enter,
                                 .Read = Read,
                                 .EraseWriteVerify = EraseWriteVerify,
                                 .WriteLockBits = WriteLockBits,
                                 .LockBitsOfBlankChip = nullptr,
                                 .Hears = Hears,
                                 .ReadSignature = nullptr};

}  // namespace kaldo
