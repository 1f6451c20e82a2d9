#include "platform/win32/monitors.h"

namespace window {

std::vector<Monitor> listMonitors() {
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM list) -> BOOL {
            MONITORINFOEXW info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                auto& found = *reinterpret_cast<std::vector<Monitor>*>(list);
                const Monitor entry{info.rcMonitor, info.szDevice};
                if (info.dwFlags & MONITORINFOF_PRIMARY)
                    found.insert(found.begin(), entry);
                else
                    found.push_back(entry);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

} // namespace window
