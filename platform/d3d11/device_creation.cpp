// Making the Direct3D 11 device: d3d11.dll and dxgi.dll are opened at run time, so that a system without
// them still starts (and renders with Vulkan); the adapter is the one showing the window's monitor; where no
// hardware device can be made, WARP renders on the CPU.
#include "platform/d3d11/device.h"

#include "platform/d3d11/device_impl.h"
#include "platform/device_choice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gpu::d3d11 {

namespace {

using CreateFactoryFunction = HRESULT(WINAPI*)(REFIID, void**);

struct Entry {
    PFN_D3D11_CREATE_DEVICE createDevice = nullptr;
    CreateFactoryFunction createFactory = nullptr;
};

// The libraries stay loaded for the life of the process.
bool loadEntry(Entry* entry, std::string* error) {
    entry->createDevice =
        LibraryFunction<PFN_D3D11_CREATE_DEVICE>(LoadLibraryW(L"d3d11.dll"), "D3D11CreateDevice");
    entry->createFactory =
        LibraryFunction<CreateFactoryFunction>(LoadLibraryW(L"dxgi.dll"), "CreateDXGIFactory1");
    if (entry->createDevice && entry->createFactory) return true;
    *error = std::string(entry->createDevice ? "dxgi.dll" : "d3d11.dll") + " cannot be loaded";
    return false;
}

// The adapter whose outputs include the window's monitor; null (the default adapter) when none does.
ComPtr<IDXGIAdapter1> monitorAdapter(IDXGIFactory2& factory, const window::NativeWindow& window) {
    if (window.system != window::WindowSystem::Win32 || !window.window) return nullptr;
    const HMONITOR monitor = MonitorFromWindow(HWND(window.window), MONITOR_DEFAULTTOPRIMARY);
    ComPtr<IDXGIAdapter1> adapter;
    for (UINT a = 0; factory.EnumAdapters1(a, &adapter) != DXGI_ERROR_NOT_FOUND; ++a) {
        ComPtr<IDXGIOutput> output;
        for (UINT o = 0; adapter->EnumOutputs(o, &output) != DXGI_ERROR_NOT_FOUND; ++o) {
            DXGI_OUTPUT_DESC desc;
            if (SUCCEEDED(output->GetDesc(&desc)) && desc.Monitor == monitor) return adapter;
        }
    }
    return nullptr;
}

// A device of this driver type at 11_1, else 11_0 (a runtime that predates 11_1 refuses the longer list),
// with the debug layer when it is asked for and installed.
HRESULT makeDevice(const Entry& entry, IDXGIAdapter* adapter, D3D_DRIVER_TYPE type, bool debug,
                   DeviceCore& core) {
    static const D3D_FEATURE_LEVEL kLevels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0};
    HRESULT result = E_FAIL;
    for (UINT flags : {debug ? UINT(D3D11_CREATE_DEVICE_DEBUG) : 0u, 0u}) {
        for (UINT first = 0; first < 2; ++first) {
            result = entry.createDevice(adapter, type, nullptr, flags, kLevels + first, 2 - first,
                                        D3D11_SDK_VERSION, &core.device, &core.featureLevel, &core.context);
            if (result != E_INVALIDARG) break;
        }
        if (SUCCEEDED(result) || !flags) break;
    }
    return result;
}

std::string adapterNameOf(ID3D11Device& device) {
    ComPtr<IDXGIDevice> dxgiDevice;
    ComPtr<IDXGIAdapter> adapter;
    DXGI_ADAPTER_DESC desc;
    if (FAILED(device.QueryInterface(IID_PPV_ARGS(&dxgiDevice))) ||
        FAILED(dxgiDevice->GetAdapter(&adapter)) || FAILED(adapter->GetDesc(&desc)))
        return "unknown adapter";
    char name[256];
    WideCharToMultiByte(CP_UTF8, 0, desc.Description, -1, name, sizeof name, nullptr, nullptr);
    name[sizeof name - 1] = '\0';
    return name;
}

// The devices made so far. When the process ends (return from main, exit()), each waits for its work first:
// a process that ends while Direct3D still presents to its window can fault in the system's own threads (seen
// under wine on its OpenGL renderer). The programs leave their devices to process exit, so this is the one
// place that sees the end.
std::vector<std::weak_ptr<DeviceCore>>& madeDevices() {
    static std::vector<std::weak_ptr<DeviceCore>> devices;
    return devices;
}

void waitForEveryDevice() {
    for (const auto& made : madeDevices())
        if (CorePtr core = made.lock()) core->waitIdle();
}

void remember(const CorePtr& core) {
    if (madeDevices().empty()) std::atexit(waitForEveryDevice);
    madeDevices().push_back(core);
}

// MIRELANDT_D3D11_WARP=1 skips the hardware device, so that the WARP path can be tried on any machine.
bool warpForced() {
    const char* value = std::getenv("MIRELANDT_D3D11_WARP");
    return value && std::strcmp(value, "1") == 0;
}

} // namespace

bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error) {
    Entry entry;
    std::string reason;
    if (!loadEntry(&entry, &reason)) {
        if (error) *error = reason;
        return false;
    }
    auto core = std::make_shared<DeviceCore>();
    core->options = options;
    ComPtr<IDXGIFactory1> factory;
    if (FAILED(entry.createFactory(IID_PPV_ARGS(&factory))) || FAILED(factory.As(&core->factory))) {
        if (error) *error = "DXGI 1.2 is not there (Windows 7 needs its platform update)";
        return false;
    }
    core->adapter = monitorAdapter(*core->factory.Get(), options.window);
    HRESULT result = DXGI_ERROR_UNSUPPORTED;
    if (!warpForced())
        result = makeDevice(entry, core->adapter.Get(),
                            core->adapter ? D3D_DRIVER_TYPE_UNKNOWN : D3D_DRIVER_TYPE_HARDWARE,
                            options.debugLayer, *core);
    if (FAILED(result)) {
        const HRESULT warp = makeDevice(entry, nullptr, D3D_DRIVER_TYPE_WARP, options.debugLayer, *core);
        if (FAILED(warp)) {
            if (error)
                *error = "no Direct3D 11 device at feature level 11_0 (hardware: " + ResultText(result) +
                         ", WARP: " + ResultText(warp) + ")";
            return false;
        }
        core->warp = true;
        const std::string why =
            warpForced() ? "MIRELANDT_D3D11_WARP=1" : "no hardware device: " + ResultText(result);
        std::fprintf(stderr, "d3d11: rendering on WARP, Direct3D's software rasteriser, which is slow (%s)\n",
                     why.c_str());
    }
    core->device.As(&core->messages);
    core->adapterName = adapterNameOf(*core->device.Get());
    // With a window the line comes with the swap chain, which adds its present model.
    if (options.window.system == window::WindowSystem::None && GpuInfoRequested())
        std::fprintf(stderr, "d3d11: %s, %s, no presentation\n", core->adapterName.c_str(),
                     core->levelText().c_str());
    remember(core);
    Ref<DeviceImpl> created = Ref<DeviceImpl>::adopt(new DeviceImpl(core));
    if (immediateContext) *immediateContext = created->GetImmediateContext();
    if (device) *device = std::move(created);
    return true;
}

} // namespace gpu::d3d11
