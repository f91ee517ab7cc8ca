// The raw binary image reader on arbitrary bytes: the first byte picks the device, the rest is the
// image. The device's code memory takes the image's first bytes, nothing past it changes, and what
// is saved loads back the same; never a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/formats/BinFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kaldo::ProgramState s;
  s.DeviceType = data[0] % kaldo::kDeviceCount;
  kaldo::SetDeviceSize(s);
  kaldo::BlankBuffer(s);
  const std::span<const std::uint8_t> image(data + 1, size - 1);
  const kaldo::LoadOutcome outcome = kaldo::LoadBinBytes(s, image);
  const std::size_t device = s.DeviceSize;
  const bool fits = image.size() <= device;
  if (outcome.Text != (fits ? kaldo::kResultOK : kaldo::kAddressOutOfRange)) std::abort();
  const std::size_t stored = std::min(image.size(), device);
  if (!std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(stored),
                  s.DataBuffer.begin()))
    std::abort();
  if (std::any_of(s.DataBuffer.begin() + static_cast<std::ptrdiff_t>(stored), s.DataBuffer.end(),
                  [](std::uint8_t b) { return b != 0xFF; }))
    std::abort();
  const std::string saved = kaldo::BinFileBytes(s);
  if (saved.size() != device) std::abort();
  kaldo::ProgramState again;
  again.DeviceType = s.DeviceType;
  kaldo::SetDeviceSize(again);
  kaldo::BlankBuffer(again);
  const kaldo::LoadOutcome back = kaldo::LoadBinBytes(
      again, std::span(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size()));
  if (!back.Loaded() || again.DataBuffer != s.DataBuffer) std::abort();
  return 0;
}
