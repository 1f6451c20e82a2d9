#include "platform/vulkan/queries.h"

#include "platform/vulkan/context.h"
#include "platform/vulkan/device_impl.h"

#include <cmath>
#include <cstring>

namespace gpu::vulkan {

Ref<Query> DeviceImpl::CreateQuery(const QueryDesc& desc) {
    if (!core_->pass(CheckQueryDesc(desc), "CreateQuery")) return nullptr;
    if (core_->timestampValidBits == 0 || !(core_->properties.limits.timestampPeriod > 0.0f))
        return fail("the adapter '" + core_->adapterName + "' keeps no GPU clock on its queue");
    VkQueryPool pool = VK_NULL_HANDLE;
    if (desc.Query == QueryType::TIMESTAMP) {
        VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
        info.queryType = VK_QUERY_TYPE_TIMESTAMP;
        info.queryCount = 1;
        if (vkCreateQueryPool(core_->device, &info, nullptr, &pool) != VK_SUCCESS)
            return fail("out of memory for a timestamp query");
    }
    return Ref<QueryImpl>::adopt(new QueryImpl(core_, desc, pool));
}

// Both kinds take their result at End alone.
void ContextImpl::Begin(Query* query) {
    core_->pass(CheckQuery(query), "Begin");
}

void ContextImpl::End(Query* query) {
    if (!core_->pass(CheckQuery(query), "End")) return;
    auto* q = static_cast<QueryImpl*>(query);
    // A query is reset before each use, which rendering does not allow; timestamps go between passes,
    // where the rendering of one pass has ended anyway.
    const VkCommandBuffer recording = outsideRendering();
    if (q->pool) {
        vkCmdResetQueryPool(recording, q->pool, 0, 1);
        core_->vk.cmdWriteTimestamp2(recording, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, q->pool, 0);
    }
    q->serial = core_->recordingSerial();
}

QueryStatus ContextImpl::GetData(Query* query, void* data, uint32_t size, uint32_t flags) {
    if (!core_->pass(CheckGetData(query, data, size), "GetData")) return QueryStatus::UNAVAILABLE;
    auto* q = static_cast<QueryImpl*>(query);
    const bool timestamp = q->pool != VK_NULL_HANDLE;
    if (q->serial == 0) return QueryStatus::UNAVAILABLE;
    if (q->serial == core_->recordingSerial()) {
        if (flags & ASYNC_GETDATA_DONOTFLUSH) return QueryStatus::NOT_READY;
        Flush();
    }
    if (core_->lost()) return QueryStatus::UNAVAILABLE;
    if (core_->completedSerial() < q->serial) return QueryStatus::NOT_READY;
    if (!timestamp) {
        QueryDataTimestampDisjoint result;
        result.Frequency = uint64_t(std::llround(1e9 / core_->properties.limits.timestampPeriod));
        std::memcpy(data, &result, sizeof(result));
        return QueryStatus::OK;
    }
    uint64_t ticks = 0;
    if (vkGetQueryPoolResults(core_->device, q->pool, 0, 1, sizeof(ticks), &ticks, sizeof(ticks),
                              VK_QUERY_RESULT_64_BIT) != VK_SUCCESS)
        return QueryStatus::UNAVAILABLE;
    // Bits above the clock's width are undefined.
    if (core_->timestampValidBits < 64) ticks &= (uint64_t(1) << core_->timestampValidBits) - 1;
    std::memcpy(data, &ticks, sizeof(ticks));
    return QueryStatus::OK;
}

} // namespace gpu::vulkan
