#pragma once
// A recording device made current for the graphics runtime, with a fresh log for every test.
#include "gfx/install_frame_context.h"
#include "tests/gfx/recording_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

class RecordingTest : public ::testing::Test {
  protected:
    gpu::Ref<recording::Device> device = gpu::Ref<recording::Device>::adopt(new recording::Device);

    void SetUp() override {
        Orvo::Gfx::FrameContext context = {};
        context.device = device.get();
        context.immediateContext = &device->context();
        Orvo::Gfx::installFrameContext(context);
        device->log.clear();
    }
    void TearDown() override { Orvo::Gfx::releaseFrameContext(); }

    // The calls since the last take.
    std::vector<std::string> takeLog() {
        std::vector<std::string> calls;
        calls.swap(device->log);
        return calls;
    }
};

// How many calls of the log start with `prefix`.
inline size_t countCalls(const std::vector<std::string>& log, const std::string& prefix) {
    return size_t(std::count_if(log.begin(), log.end(),
                                [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}
