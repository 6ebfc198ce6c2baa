// libFuzzer target for the quirks reader: any text must load (sections with faults left out
// and reported), and looking a device up in it must never crash or hang.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/Quirks.h"

using namespace trellick::input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    QuirksDatabase db;
    db.addText(text, "fuzz");
    DeviceIdentity device;
    device.name = "Fuzz Touchpad";
    device.bus = 0x03, device.vendor = 0x05ac, device.product = 0x0265, device.idsKnown = true;
    device.dmiModalias = "dmi:bvnFuzz:pnFuzzBook:";
    describe(db.lookup(device));
    return 0;
}
