#include "gfx/pass_plan.h"

#include "gfx/scene.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace base;
using namespace sync_tracks;

namespace Orvo::Gfx {

namespace {

// Whether the entry is a pass of a known kind whose activation lets it run in this frame.
bool entryActive(const PassListEntry& entry, float time, bool firstFrame) {
    if (entry.kind == PassListGraphics && entry.graphics) {
        const GraphicsPassDesc& d = entry.graphics->desc;
        return passIsActive(d.activation, d.windowStart, d.windowEnd, time, firstFrame);
    }
    if (entry.kind == PassListCompute && entry.compute) {
        const ComputePassDesc& d = entry.compute->desc;
        return passIsActive(d.activation, d.windowStart, d.windowEnd, time, firstFrame);
    }
    return false;
}

int32_t activationOf(const PassListEntry& entry) {
    if (entry.kind == PassListGraphics && entry.graphics) return entry.graphics->desc.activation;
    if (entry.kind == PassListCompute && entry.compute) return entry.compute->desc.activation;
    return ActivationAlways;
}

// Calls visit(resource) for every resource the pass writes: its targets and the depth it uses, or its
// unordered-access outputs.
template <class Visit> void forEachWrite(const PassListEntry& entry, Visit&& visit) {
    if (entry.kind == PassListGraphics && entry.graphics) {
        const GraphicsPassDesc& d = entry.graphics->desc;
        for (const TargetBinding& target : d.targets)
            if (target.resource) visit(static_cast<const Resource*>(target.resource));
        if (d.depthEnabled && d.depth.resource) visit(static_cast<const Resource*>(d.depth.resource));
    } else if (entry.kind == PassListCompute && entry.compute) {
        for (const ResourceBinding& output : entry.compute->desc.outputs)
            if (output.resource) visit(static_cast<const Resource*>(output.resource));
    }
}

// Calls visit(resource, switchedBy) for every resource whose contents the pass reads: its inputs, the
// targets and depth it draws over without clearing them, and the outputs it keeps state in.
template <class Visit> void forEachRead(const PassListEntry& entry, Visit&& visit) {
    if (entry.kind == PassListGraphics && entry.graphics) {
        const GraphicsPassDesc& d = entry.graphics->desc;
        for (const ResourceBinding& input : d.inputs)
            if (input.resource) visit(static_cast<const Resource*>(input.resource), input.switchedBy);
        if (d.clear) return;
        for (const TargetBinding& target : d.targets)
            if (target.resource) visit(static_cast<const Resource*>(target.resource), nullptr);
        if (d.depthEnabled && d.depth.resource)
            visit(static_cast<const Resource*>(d.depth.resource), nullptr);
    } else if (entry.kind == PassListCompute && entry.compute) {
        const ComputePassDesc& d = entry.compute->desc;
        for (const ResourceBinding& input : d.inputs)
            if (input.resource) visit(static_cast<const Resource*>(input.resource), input.switchedBy);
        for (const ResourceBinding& output : d.outputs)
            if (output.resource && output.keepsState)
                visit(static_cast<const Resource*>(output.resource), nullptr);
    }
}

// Whether some pass at or before `position` reads, in any frame, what the pass at `position` writes: it
// then reads the previous frame's result, or its own.
bool readBeforeWritten(const Scene& scene, uint32_t position) {
    bool found = false;
    forEachWrite(scene.passes[position], [&](const Resource* written) {
        for (uint32_t reader = 0; reader <= position && !found; ++reader)
            forEachRead(scene.passes[reader],
                        [&](const Resource* read, const char*) { found |= read == written; });
    });
    return found;
}

// Whether the pass's results outlive the frame, so that it must run whenever it is active.
bool resultsOutliveFrame(const Scene& scene, uint32_t position) {
    const PassListEntry& entry = scene.passes[position];
    if (activationOf(entry) != ActivationAlways) return true;
    bool doubleBuffered = false;
    forEachWrite(entry, [&](const Resource* written) { doubleBuffered |= written->doubleBuffered; });
    return doubleBuffered || readBeforeWritten(scene, position);
}

} // namespace

bool passSkippingWanted() {
    const char* off = std::getenv("MIRELANDT_NO_PASS_SKIP");
    return !(off && std::strcmp(off, "1") == 0);
}

bool inputSwitchedOn(const char* name, const DynArray<ContextVariable>& variables) {
    if (!name) return true;
    for (const ContextVariable& variable : variables) {
        if (std::strncmp(variable.name, name, sizeof(variable.name)) != 0) continue;
        // The programs compare the value as a float, and so does this; NaN switches the input off there too.
        float value;
        std::memcpy(&value, variable.value, sizeof(value));
        return value > 0.5f;
    }
    return true;
}

void PassPlan::plan(const Scene& scene, float time, bool firstFrame, bool skipping) {
    const uint32_t count = scene.passes.count;
    runs_.assign(count, 0);
    needed_.clear();
    const bool walk = skipping && scene.output;
    if (walk) needed_.push_back(scene.output);
    const auto isNeeded = [&](const Resource* resource) {
        return std::find(needed_.begin(), needed_.end(), resource) != needed_.end();
    };
    for (uint32_t position = count; position-- > 0;) {
        const PassListEntry& entry = scene.passes[position];
        if (!entryActive(entry, time, firstFrame)) continue;
        if (walk) {
            bool writesNeeded = false;
            forEachWrite(entry, [&](const Resource* written) { writesNeeded |= isNeeded(written); });
            if (!writesNeeded && !resultsOutliveFrame(scene, position)) continue;
            forEachRead(entry, [&](const Resource* read, const char* switchedBy) {
                if (!isNeeded(read) && inputSwitchedOn(switchedBy, scene.variables)) needed_.push_back(read);
            });
        }
        runs_[position] = 1;
    }
}

} // namespace Orvo::Gfx
