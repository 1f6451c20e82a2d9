#include "app/director/live_programs.h"

#include "gfx/gpu_access.h"
#include "gfx/pass_programs.h"

using namespace shaders;

namespace app {

bool LivePrograms::swap(std::string_view name, RebuiltProgram program, std::string& error,
                        uint32_t* passesChanged) {
    const void* current = nullptr;
    if (auto swapped = swapped_.find(name); swapped != swapped_.end())
        current = swapped->second.data();
    else if (const ShaderProgram* embedded = embedded_(name))
        current = embedded->bytecode;
    if (!current) {
        error = std::string(name) + ": the show has no such program";
        return false;
    }
    const uint32_t size = uint32_t(program.bytecode.size() * sizeof(uint32_t));
    if (!Orvo::Gfx::replaceProgram(scene_, current, program.bytecode.data(), size, passesChanged)) {
        gpu::Device* device = Orvo::Gfx::currentDevice();
        error = std::string(name) + ": the new program was not taken, the old one runs on (" +
                (device ? device->GetLastError() : std::string("no device")) + ")";
        return false;
    }
    // The passes now point into the new words; the words they pointed at before are no longer needed.
    swapped_[std::string(name)] = std::move(program.bytecode);
    return true;
}

} // namespace app
