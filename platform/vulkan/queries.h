// Timestamp and timestamp-disjoint queries on Vulkan.
#pragma once

#include "platform/vulkan/device.h"

namespace gpu::vulkan {

// A timestamp owns a pool of one query. A disjoint query needs no GPU object: a Vulkan queue's clock
// runs at one fixed rate, so its result is known once the work before its End has completed.
class QueryImpl final : public Query {
  public:
    QueryImpl(CorePtr core, const QueryDesc& desc, VkQueryPool pool)
        : pool(pool), core_(std::move(core)), desc_(desc) {}
    ~QueryImpl() override { core_->retire(VK_OBJECT_TYPE_QUERY_POOL, pool); }
    QueryDesc GetDesc() const override { return desc_; }

    VkQueryPool pool;
    // The batch that holds the latest End; 0 before the first End (batch serials start at 1).
    uint64_t serial = 0;

  private:
    CorePtr core_;
    QueryDesc desc_;
};

} // namespace gpu::vulkan
