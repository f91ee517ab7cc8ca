#include "device/SignatureCheck.h"

#include <algorithm>

#include "core/model/DeviceTable.h"

namespace kaldo {

namespace {

// The bytes both have are equal.
bool SameSignature(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  return n > 0 && std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin());
}

bool AllBytes(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

}  // namespace

std::vector<std::uint8_t> ExpectedSignature(int deviceType) {
  const DeviceInfo* d = FindDevice(deviceType);
  if (!d) return {};
  return {d->Signature.begin(), d->Signature.begin() + d->SignatureCount};
}

SignatureVerdict JudgeSignature(int deviceType, const std::vector<std::uint8_t>& read) {
  SignatureVerdict v;
  v.Expected = ExpectedSignature(deviceType);
  if (v.Expected.empty()) return v;
  v.Read = read;
  if (read.empty() || AllBytes(read, 0xFF) || AllBytes(read, 0x00)) {
    v.Result = SignatureVerdict::Kind::NoAnswer;
  } else if (SameSignature(read, v.Expected)) {
    v.Result = SignatureVerdict::Kind::Matches;
  } else {
    v.Result = SignatureVerdict::Kind::OtherDevice;
    for (int t = 0; t < kDeviceCount; ++t)
      if (t != deviceType && SameSignature(read, ExpectedSignature(t))) v.FoundTypes.push_back(t);
  }
  return v;
}

}  // namespace kaldo
