// libFuzzer targets for the recording readers: any input must give a recording or a
// RecordingError, never a crash, a leak or a hang; recordings that parse are also assembled
// into frames. One source, built once per reader (TRELLICK_FUZZ_READER selects it).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/Recording.h"

using namespace trellick::input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
#if TRELLICK_FUZZ_READER == 1
        Recording rec = readEvemu(text, "fuzz");
#elif TRELLICK_FUZZ_READER == 2
        Recording rec = readEvtest(text, "fuzz");
#elif TRELLICK_FUZZ_READER == 3
        Recording rec = readLibinputRecord(text, "fuzz");
#else
        Recording rec = readRecording(text, "fuzz");
#endif
        if (!rec.device.unusableReason()) assembleFrames(rec);
    } catch (const RecordingError&) {
        // The expected answer to a malformed file.
    }
    return 0;
}
