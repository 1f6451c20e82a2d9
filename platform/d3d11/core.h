// What every Direct3D 11 object of one device shares: the device, its immediate context, the DXGI factory,
// the outcome of the interface's checks and the reason of the last failure.
#pragma once

#include "platform/gpu.h"
#include "platform/gpu_checks.h"

#define WIN32_LEAN_AND_MEAN
#include <d3d11.h>
#include <dxgi1_2.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

namespace gpu::d3d11 {

using Microsoft::WRL::ComPtr;

// A function of a library opened at run time; null when the library or the function is missing.
template <class Function> Function LibraryFunction(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)))
                   : nullptr;
}

// "E_INVALIDARG (0x80070057)" and the like.
std::string ResultText(HRESULT result);

struct DeviceCore {
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<IDXGIFactory2> factory;
    ComPtr<IDXGIAdapter1> adapter;
    // The runtime's message queue when the debug layer is on; null otherwise.
    ComPtr<ID3D11InfoQueue> messages;
    D3D_FEATURE_LEVEL featureLevel = D3D_FEATURE_LEVEL_11_0;
    bool warp = false;
    std::string adapterName;
    DeviceOptions options;
    std::string lastError;
    CheckLog checks;
    // The buffer 0 of the window's swap chain, and whether the window has area to show it now: while it has
    // none, buffer 0 has no image to draw into or read.
    ID3D11Resource* windowBuffer = nullptr;
    std::function<bool()> windowHasArea;
    // False, with the reason in lastError, when `resource` is that buffer and the window has no area.
    bool hasImage(ID3D11Resource* resource);

    // Runs the check of the interface call `call`: true when it passed, otherwise records it, with its
    // message in lastError.
    bool pass(Check check, const char* call) {
        if (checks.pass(check, call)) return true;
        lastError = CheckMessage(check);
        return false;
    }
    // True when `result` succeeded; otherwise lastError says that `what` failed and why.
    bool succeeded(HRESULT result, const char* what);
    // Hands the debug layer's messages to the options' debugMessage.
    void passOnMessages();
    // Waits (at most two seconds) until the device has done all work handed to it so far.
    void waitIdle();
    // "feature level 11_1, hardware" or "..., WARP".
    std::string levelText() const;
};

using CorePtr = std::shared_ptr<DeviceCore>;

} // namespace gpu::d3d11
