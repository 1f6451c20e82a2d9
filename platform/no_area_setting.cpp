#include "platform/no_area_setting.h"

#include <cstdio>
#include <cstdlib>

namespace gpu {

NoAreaSetting::NoAreaSetting() {
    if (const char* span = std::getenv("MIRELANDT_TEST_NO_AREA")) std::sscanf(span, "%lf,%lf", &from_, &to_);
}

bool NoAreaSetting::active() const {
    const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - made_).count();
    return since >= from_ && since < to_;
}

} // namespace gpu
