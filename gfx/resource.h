// The base of the three resource kinds. A resource owns the GPU objects made from its descriptor and,
// when double-buffered, a second copy of all of them for ping-pong use: passes write the current copy
// and read the other one, so a double-buffered resource is always read as the previous frame left it.
#pragma once

#include "platform/gpu.h"

namespace Orvo::Gfx {

struct Resource {
    bool doubleBuffered = false;
    bool flipped = false; // false: copy A is the current one

    Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;
    virtual ~Resource() = default;

    // Creates the GPU objects from the stored descriptor. A creation the device refuses leaves its
    // object null; getters then hand out null and the pass slot stays unbound.
    virtual bool create() = 0;
    // Called on every registered resource once per frame before any pass runs.
    virtual void frameUpdate() {}
    virtual bool release() = 0;
    // `other` false: the copy passes write this frame; true: the copy they read.
    virtual gpu::Resource* getResource(bool other) const = 0;
    virtual gpu::UnorderedAccessView* getUAV(bool other) const = 0;
    virtual gpu::ShaderResourceView* getSRV(bool other) const = 0;
    virtual gpu::RenderTargetView* getRTV(bool /*other*/) const { return nullptr; }
    virtual gpu::DepthStencilView* getDSV() const { return nullptr; }

  protected:
    // Whether the B copy is the one to hand out.
    bool pickB(bool other) const { return doubleBuffered && flipped != other; }
    template <class T> T* pick(const gpu::Ref<T>& a, const gpu::Ref<T>& b, bool other) const {
        return pickB(other) ? b.get() : a.get();
    }
};

} // namespace Orvo::Gfx
