#include "gfx/pass_timer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace Orvo::Gfx {

namespace {

uint64_t elapsed(uint64_t from, uint64_t to) {
    // One queue's clock only moves forwards; anything else is no time at all rather than a wrapped one.
    return to > from ? to - from : 0;
}

} // namespace

void TimingStatistics::add(double milliseconds) {
    ++count;
    totalMilliseconds += milliseconds;
    maxMilliseconds = std::max(maxMilliseconds, milliseconds);
}

PassTimer::PassTimer(gpu::Device& device, gpu::DeviceContext& context) : device_(device), context_(context) {}

void PassTimer::beginFrame() {
    if (!error_.empty()) return;
    if (spare_.empty()) {
        current_ = std::make_unique<FrameQueries>();
        current_->disjoint = device_.CreateQuery({gpu::QueryType::TIMESTAMP_DISJOINT, 0});
        if (!current_->disjoint) return stop("no GPU timings: " + device_.GetLastError());
    } else {
        current_ = std::move(spare_.back());
        spare_.pop_back();
    }
    current_->used = 0;
    current_->positions.clear();
    context_.Begin(current_->disjoint.get());
    stamp();
}

void PassTimer::beginPass(uint32_t position) {
    if (!current_) return;
    current_->positions.push_back(position);
    stamp();
}

void PassTimer::endPass() {
    if (current_) stamp();
}

void PassTimer::endFrame() {
    if (!current_) return;
    stamp();
    if (!current_) return;
    context_.End(current_->disjoint.get());
    pending_.push_back(std::move(current_));
    // Never waits: results that have not arrived are taken in a later frame.
    collect(gpu::ASYNC_GETDATA_DONOTFLUSH);
}

bool PassTimer::finish() {
    // Without DONOTFLUSH, asking submits what is still recorded, so the results are on their way.
    while (collect(0) == gpu::QueryStatus::NOT_READY)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return error_.empty();
}

void PassTimer::stamp() {
    FrameQueries& frame = *current_;
    if (frame.used == frame.stamps.size()) {
        gpu::Ref<gpu::Query> query = device_.CreateQuery({gpu::QueryType::TIMESTAMP, 0});
        if (!query) return stop("no GPU timings: " + device_.GetLastError());
        frame.stamps.push_back(std::move(query));
    }
    context_.End(frame.stamps[frame.used++].get());
}

gpu::QueryStatus PassTimer::collect(uint32_t flags) {
    while (!pending_.empty()) {
        const gpu::QueryStatus status = gather(*pending_.front(), flags);
        if (status == gpu::QueryStatus::NOT_READY) return status;
        if (status == gpu::QueryStatus::UNAVAILABLE) {
            stop("GPU timings were lost: " + device_.GetLastError());
            return status;
        }
        spare_.push_back(std::move(pending_.front()));
        pending_.pop_front();
    }
    return gpu::QueryStatus::OK;
}

gpu::QueryStatus PassTimer::gather(const FrameQueries& frame, uint32_t flags) {
    gpu::QueryDataTimestampDisjoint clock;
    gpu::QueryStatus status = context_.GetData(frame.disjoint.get(), &clock, sizeof(clock), flags);
    ticks_.resize(frame.used);
    for (uint32_t i = 0; i < frame.used && status == gpu::QueryStatus::OK; ++i)
        status = context_.GetData(frame.stamps[i].get(), &ticks_[i], sizeof(uint64_t), flags);
    if (status != gpu::QueryStatus::OK) return status;
    if (clock.Disjoint || clock.Frequency == 0) {
        ++disjointFrames_;
        return status;
    }
    const double millisecondsPerTick = 1000.0 / double(clock.Frequency);
    frames_.add(double(elapsed(ticks_.front(), ticks_.back())) * millisecondsPerTick);
    for (size_t k = 0; k < frame.positions.size(); ++k) {
        const uint32_t position = frame.positions[k];
        if (position >= passes_.size()) passes_.resize(position + 1);
        passes_[position].add(double(elapsed(ticks_[2 * k + 1], ticks_[2 * k + 2])) * millisecondsPerTick);
    }
    return status;
}

void PassTimer::stop(std::string reason) {
    error_ = std::move(reason);
    current_.reset();
    pending_.clear();
}

} // namespace Orvo::Gfx
