// DXBC containers. The input is read as it is, then again with its checksum made right, so that mutations
// reach the chunk table and the RDEF bindings behind the checksum; an accepted container must hold its
// program chunk and only registers of the four classes.
#include "platform/dxbc_container.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void check(const uint8_t* data, size_t size) {
    gpu::DxbcContainer container;
    if (!gpu::ReadDxbcContainer(data, size, &container).empty()) return;
    if (container.programTag == 0) __builtin_trap();
    for (const gpu::DxbcRegister& r : container.registers) {
        if (r.type != 't' && r.type != 'u' && r.type != 'b' && r.type != 's') __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(data, size);
    if (size < 20) return 0;
    std::vector<uint8_t> sealed(data, data + size);
    uint32_t checksum[4];
    gpu::DxbcChecksum(sealed.data(), sealed.size(), checksum);
    std::memcpy(sealed.data() + 4, checksum, sizeof(checksum));
    check(sealed.data(), sealed.size());
    return 0;
}
