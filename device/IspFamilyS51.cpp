// The AT89S51 and S52 through a cable: four-byte instructions, the programming enable answered
// with 69 in the fourth byte, pages of 256 bytes for reading and writing, a chip erase before
// writing (a byte write only clears bits), lock bits as modes written one after the other.
#include "core/Convert.h"
#include "device/IspSession.h"
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

// clang-format off
constexpr std::uint8_t kEnable[2]      = {0xAC, 0x53};  // answered with kEnableAnswer in byte 4
constexpr std::uint8_t kEnableAnswer   = 0x69;
constexpr std::uint8_t kChipErase[2]   = {0xAC, 0x80};
constexpr std::uint8_t kReadByte       = 0x20;  // 20 A12-A8 A7-A0 -> data
constexpr std::uint8_t kWriteByte      = 0x40;  // 40 A12-A8 A7-A0 data
constexpr std::uint8_t kReadLockBits   = 0x24;  // byte 4: bits 2, 3, 4 = lock bit 1, 2, 3 set
constexpr std::uint8_t kReadSignature  = 0x28;  // 28 index 00 -> signature byte at 0x000/100/200
constexpr std::uint8_t kReadPage       = 0x30;  // 30 A12-A8, then 256 bytes out
constexpr std::uint8_t kWritePage      = 0x50;  // 50 A12-A8, then 256 bytes in
constexpr std::uint8_t kLockMode       = 0xAC;  // AC E1, E2, E3: modes 2, 3, 4, one after another
constexpr std::uint8_t kLockModes[3]   = {0xE1, 0xE2, 0xE3};
constexpr int kLockBitsInLockByte[3]   = {0x04, 0x08, 0x10};
constexpr int kPageSize                = 256;
constexpr int kEnableTries             = 4;
// clang-format on

// Serial byte write cycle, tSWC: at most 64 crystal clocks + 400 us.
std::int64_t ByteWriteNs(std::uint32_t crystalHz) {
  return 64 * std::int64_t{1'000'000'000} / crystalHz + 400'000;
}

std::uint8_t Frame(IspSession& s, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                   std::uint8_t b4 = 0) {
  s.link.Send(b1);
  s.link.Send(b2);
  s.link.Send(b3);
  const std::uint8_t answer = s.link.Transfer(b4);
  s.link.EndFrame();
  return answer;
}

std::uint8_t ReadByte(IspSession& s, std::uint32_t a) {
  return Frame(s, kReadByte, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a));
}

// RST rises, and after the settling wait the programming enable must be answered with 69; RST is
// cycled between tries.
bool Enter(IspSession& s) {
  s.link.Connect();
  std::uint8_t answer = 0;
  for (int attempt = 0; attempt < kEnableTries; ++attempt) {
    if (attempt > 0) {
      s.link.SetReset(false);
      s.link.port().Delay10ms();
    }
    s.link.SetReset(true);
    s.SettleAfterReset();
    answer = Frame(s, kEnable[0], kEnable[1], 0);
    if (answer == kEnableAnswer) return true;
  }
  s.NoAnswer("the programming enable was answered with " + IntToHex(answer, 2) + ", not " +
             IntToHex(kEnableAnswer, 2) + ", " + std::to_string(kEnableTries) + " times");
  return false;
}

bool ReadingPass(IspSession& s, PassUse use) {
  const std::uint32_t size = s.JobSize();
  for (std::uint32_t page = 0; page * kPageSize < size; ++page) {
    if (s.pageMode) {
      s.link.Send(kReadPage);
      s.link.Send(static_cast<std::uint8_t>(page));
    }
    for (std::uint32_t a = page * kPageSize; a < (page + 1) * kPageSize && a < size; ++a) {
      s.AtByte(a);
      const std::uint8_t read = s.pageMode ? s.link.Transfer(0) : ReadByte(s, a);
      if (!s.Judge(a, read, use)) return false;
    }
    // A short last page is read out to its end, so that the frame is whole.
    for (std::uint32_t a = size; s.pageMode && a < (page + 1) * kPageSize; ++a) s.link.Transfer(0);
    s.link.EndFrame();
  }
  return true;
}

bool Read(IspSession& s, PassUse use) {
  s.display.ShowAddress(0);
  return Enter(s) && ReadingPass(s, use);
}

// Reads `a` until it gives `expected`: while the write cycle runs the chip gives the byte with
// its most significant bit inverted.
bool PollWritten(IspSession& s, std::uint32_t a, std::uint8_t expected, int limit) {
  std::uint8_t read = 0;
  for (int poll = limit; poll > 0; --poll) {
    read = ReadByte(s, a);
    if (read == expected) return true;
  }
  s.failure = {static_cast<std::uint16_t>(a), read, expected};
  return false;
}

bool WritePages(IspSession& s) {
  const CodeImage& image = *s.job.Image;
  const std::uint32_t size = s.JobSize();
  for (std::uint32_t page = 0; page * kPageSize < size; ++page) {
    const std::uint32_t first = page * kPageSize;
    const std::uint32_t end = std::min<std::uint32_t>(first + kPageSize, size);
    s.AtByte(first);
    bool blank = true;
    for (std::uint32_t a = first; a < end; ++a) blank = blank && image[a] == kBlank;
    if (blank) continue;
    s.link.Send(kWritePage);
    s.link.Send(static_cast<std::uint8_t>(page));
    for (std::uint32_t a = first; a < first + kPageSize; ++a) {
      s.link.port().ThrowIfStopped();
      s.link.Send(a < end ? image[a] : kBlank);
    }
    s.link.EndFrame();
    const std::uint32_t last = first + kPageSize - 1;
    // No page write time is given: the polling allows a byte's worst case for every byte.
    if (!PollWritten(s, last, last < end ? image[last] : kBlank, s.PollLimit(4) * kPageSize))
      return false;
  }
  return true;
}

bool WriteBytes(IspSession& s) {
  const CodeImage& image = *s.job.Image;
  for (std::uint32_t a = 0; a < s.JobSize(); ++a) {
    s.AtByte(a);
    if (image[a] == kBlank) continue;
    Frame(s, kWriteByte, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), image[a]);
    if (!PollWritten(s, a, image[a], s.PollLimit(4))) return false;
  }
  return true;
}

bool EraseWriteVerify(IspSession& s) {
  s.display.ShowAddress(0);
  if (!Enter(s)) return false;
  Frame(s, kChipErase[0], kChipErase[1], 0);
  s.link.port().Delay500ms();  // tERASE, at most 500 ms
  if (!(s.pageMode ? WritePages(s) : WriteBytes(s))) return false;
  s.display.ShowCommand("Verifying");
  s.display.ShowAddress(0);
  return ReadingPass(s, PassUse::Compare);
}

int ReadLockBits(IspSession& s) {
  return LockBitsOn(Frame(s, kReadLockBits, 0, 0), kLockBitsInLockByte, true);
}

// Mode 2 sets lock bit 1, mode 3 lock bit 2, mode 4 lock bit 3, each only after the one before:
// a selected bit is written with every mode below it. The chip reports them back.
bool WriteLockBits(IspSession& s) {
  const int selected = s.job.ProgramBits & (kLockBit1 | kLockBit2 | kLockBit3);
  int modes = 0;
  for (int i = 0; i < 3; ++i)
    if (selected & kLockBits40[i]) modes = i + 1;
  int expected = 0;
  for (int i = 0; i < modes; ++i) {
    Frame(s, kLockMode, kLockModes[i], 0);
    s.link.port().Delay10ms();
    expected |= kLockBits40[i];
  }
  const int found = ReadLockBits(s);
  if ((found & expected) == expected) return true;
  std::string missing;
  for (int i = 0; i < 3; ++i)
    if ((expected & ~found) & kLockBits40[i])
      missing += (missing.empty() ? "" : ", ") + std::to_string(i + 1);
  s.failed = "Lock Bits Error: the chip reports lock bit " + missing +
             " not programmed after its lock mode was written.\rThe code is written and "
             "verified; write it again to try the lock bits once more.";
  return false;
}

SignatureReading ReadSignature(IspSession& s) {
  SignatureReading reading;
  if (!Enter(s)) return reading;
  for (std::uint8_t i = 0; i < 3; ++i) reading.Bytes.push_back(Frame(s, kReadSignature, i, 0));
  const std::uint8_t lockByte = Frame(s, kReadLockBits, 0, 0);
  reading.LockByte = lockByte;
  reading.ProgrammedBits = LockBitsOn(lockByte, kLockBitsInLockByte, true);
  reading.Report = std::string("Signature & Program Bits Info For ") + s.Device().PartName +
                   "\rByte-1         " + ReportByte(reading.Bytes[0]) + "\rByte-2         " +
                   ReportByte(reading.Bytes[1]) + "\rByte-3         " +
                   ReportByte(reading.Bytes[2]) + LockBitLines(lockByte, kLockBitsInLockByte, true);
  return reading;
}

}  // namespace

const IspFamily kIspFamilyS51 = {.PhaseClocks = 8,    // tSHSL, tSLSH
                                 .PeriodClocks = 16,  // SCK below f/16
                                 .ByteWriteNs = ByteWriteNs,
                                 .Enter = Enter,
                                 .Read = Read,
                                 .EraseWriteVerify = EraseWriteVerify,
                                 .WriteLockBits = WriteLockBits,
                                 .LockBitsOfBlankChip = ReadLockBits,
                                 .Hears = nullptr,
                                 .ReadSignature = ReadSignature};

}  // namespace kaldo
