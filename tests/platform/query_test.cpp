// Timestamp queries on the GPU clock: ordering against the work between them, results that arrive
// only after submission, and the answers for queries that cannot give one.
#include "tests/platform/gpu_fixture.h"

#include <chrono>
#include <thread>

using Queries = GpuTest;

namespace {

// Asks until the result is there, for at most ten seconds.
gpu::QueryStatus waitFor(gpu::DeviceContext& context, gpu::Query* query, void* data, uint32_t size) {
    gpu::QueryStatus status = gpu::QueryStatus::NOT_READY;
    for (int i = 0; i < 10000 && status == gpu::QueryStatus::NOT_READY; ++i) {
        status = context.GetData(query, data, size, 0);
        if (status == gpu::QueryStatus::NOT_READY) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return status;
}

} // namespace

TEST_F(Queries, TimestampsBracketTheWorkBetweenThem) {
    auto disjoint = device->CreateQuery({gpu::QueryType::TIMESTAMP_DISJOINT, 0});
    auto before = device->CreateQuery({gpu::QueryType::TIMESTAMP, 0});
    auto after = device->CreateQuery({gpu::QueryType::TIMESTAMP, 0});
    ASSERT_TRUE(disjoint && before && after) << device->GetLastError();
    uint64_t start = 0, end = 0;
    EXPECT_EQ(context->GetData(before.get(), &start, 8, 0), gpu::QueryStatus::UNAVAILABLE) << "never ended";

    Target target = renderTarget(960, 540);
    auto vs = vertexShader("fullscreen_vs");
    auto ps = pixelShader("uv_ps");
    context->Begin(disjoint.get());
    context->End(before.get());
    drawFullscreen(target, vs.get(), ps.get());
    // Ended while the draws into the target are still open, then ended again in the same batch: each
    // End resets the query, outside the rendering, before writing it.
    context->End(after.get());
    context->DrawInstanced(3, 1, 0, 0);
    context->End(after.get());
    context->End(disjoint.get());

    EXPECT_EQ(context->GetData(after.get(), &end, 8, gpu::ASYNC_GETDATA_DONOTFLUSH),
              gpu::QueryStatus::NOT_READY)
        << "nothing was submitted";
    EXPECT_EQ(context->GetData(after.get(), &end, 4, 0), gpu::QueryStatus::UNAVAILABLE) << "wrong size";
    ASSERT_EQ(waitFor(*context, after.get(), &end, 8), gpu::QueryStatus::OK);
    ASSERT_EQ(context->GetData(before.get(), &start, 8, 0), gpu::QueryStatus::OK);
    gpu::QueryDataTimestampDisjoint clock;
    ASSERT_EQ(context->GetData(disjoint.get(), &clock, sizeof(clock), 0), gpu::QueryStatus::OK);
    EXPECT_FALSE(clock.Disjoint);
    ASSERT_GT(clock.Frequency, 0u);
    EXPECT_GT(end, start);
    EXPECT_LT(double(end - start) / double(clock.Frequency), 10.0) << "seconds for two full-screen draws";

    const auto texels = readFloat4(target.texture.get(), 960 * 540);
    EXPECT_TRUE(near(texels[539 * 960 + 959], {959.5f / 960, 539.5f / 540, 0.0f, 1.0f}, 1e-5f));
}
