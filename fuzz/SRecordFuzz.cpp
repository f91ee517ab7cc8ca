// The S-record reader on arbitrary text: it ends with one of its outcome texts, never a crash, a
// hang or a write outside the buffer; and whatever it stored, the writer's file of the whole
// buffer loads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/formats/SRecordFile.h"
#include "fuzz/LoadOutcomeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kaldo::ProgramState s;
  kaldo::LineReader in(std::string_view(reinterpret_cast<const char*>(data), size),
                       kaldo::kLongestSRecord + 1);
  const kaldo::LoadOutcome outcome = kaldo::LoadSRecordLines(s, in);
  kaldo::fuzz::CheckLoadOutcome(outcome);

  // The writer covers the buffer up to its last stored byte; above it both buffers are blank.
  int end = kaldo::kBufferSize;
  while (end > 0 && s.DataBuffer[static_cast<std::size_t>(end - 1)] == kaldo::kBlank) --end;
  s.DeviceSize = static_cast<std::uint16_t>((end + 15) / 16 * 16);
  const std::string text = kaldo::SRecordFileText(s);
  kaldo::ProgramState back;
  kaldo::LineReader again(text, kaldo::kLongestSRecord + 1);
  if (!kaldo::LoadSRecordLines(back, again).Loaded() || back.DataBuffer != s.DataBuffer)
    std::abort();
  return 0;
}
