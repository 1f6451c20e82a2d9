#include "platform/d3d11/swap_chain.h"

#include "platform/device_choice.h"
#include "platform/no_area_setting.h"

#include <dcomp.h>
#include <dxgi1_5.h>

#include <algorithm>
#include <cstdio>

namespace gpu::d3d11 {

namespace {

// The buffers' size: the picture's, widened or heightened to the window's shape; and where in them the
// picture lies.
struct Layout {
    UINT width = 0, height = 0;
    UINT pictureX = 0, pictureY = 0;
    bool canvas = false; // the picture is drawn apart and copied in
};

Layout layoutFor(HWND window, const SwapChainDesc& desc) {
    RECT client{};
    GetClientRect(window, &client);
    const uint64_t cw = std::max<LONG>(client.right - client.left, 0),
                   ch = std::max<LONG>(client.bottom - client.top, 0);
    Layout layout{desc.Width, desc.Height, 0, 0, false};
    if (cw == 0 || ch == 0 || desc.Width * ch == desc.Height * cw) return layout;
    if (desc.Width * ch > desc.Height * cw)
        layout.height = UINT((desc.Width * ch + cw / 2) / cw);
    else
        layout.width = UINT((desc.Height * cw + ch / 2) / ch);
    layout.pictureX = (layout.width - desc.Width) / 2;
    layout.pictureY = (layout.height - desc.Height) / 2;
    layout.canvas = true;
    return layout;
}

bool tearingOffered(IDXGIFactory2& factory) {
    ComPtr<IDXGIFactory5> factory5;
    BOOL allowed = FALSE;
    return SUCCEEDED(factory.QueryInterface(IID_PPV_ARGS(&factory5))) &&
           SUCCEEDED(
               factory5->CheckFeatureSupport(DXGI_FEATURE_PRESENT_ALLOW_TEARING, &allowed, sizeof allowed)) &&
           allowed;
}

class SwapChainImpl final : public SwapChain {
  public:
    SwapChainImpl(Ref<ContextImpl> context, HWND window, const SwapChainDesc& desc)
        : context_(std::move(context)), core_(context_->core()), window_(window), desc_(desc) {}
    ~SwapChainImpl() override {
        if (buffer0_ && core_.windowBuffer == NativeOf(buffer0_.get())) core_.windowBuffer = nullptr;
    }

    bool create();
    SwapChainDesc GetDesc() const override { return desc_; }
    Ref<Texture2D> GetBuffer(uint32_t index) override;
    bool Present(uint32_t syncInterval, uint32_t flags) override;
    bool HasArea() override;

  private:
    bool createForWindow(DXGI_SWAP_CHAIN_DESC1 desc);
    bool createForComposition(DXGI_SWAP_CHAIN_DESC1 desc);

    Ref<ContextImpl> context_;
    DeviceCore& core_;
    HWND window_;
    SwapChainDesc desc_;
    Layout layout_;
    bool tearing_ = false;
    const char* model_ = "flip-discard";
    ComPtr<IDXGISwapChain1> swapChain_;
    ComPtr<ID3D11RenderTargetView> backBufferTarget_; // for the bands around a canvas
    Ref<Texture2D> buffer0_;                          // the canvas, or the swap chain's buffer 0
    // DirectComposition's objects live as long as the swap chain they show.
    ComPtr<IDCompositionDevice> composition_;
    ComPtr<IDCompositionTarget> compositionTarget_;
    ComPtr<IDCompositionVisual> visual_;
    NoAreaSetting noArea_;
};

bool SwapChainImpl::create() {
    layout_ = layoutFor(window_, desc_);
    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = layout_.width;
    desc.Height = layout_.height;
    desc.Format = DXGI_FORMAT(uint32_t(desc_.Format));
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = std::max(desc_.BufferCount, 2u);
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    const bool composition = core_.options.present == PresentModel::Composition;
    if (!(composition ? createForComposition(desc) : createForWindow(desc))) return false;

    ComPtr<ID3D11Texture2D> back;
    if (!core_.succeeded(swapChain_->GetBuffer(0, IID_PPV_ARGS(&back)), "IDXGISwapChain1::GetBuffer") ||
        !core_.succeeded(core_.device->CreateRenderTargetView(back.Get(), nullptr, &backBufferTarget_),
                         "the back buffer's render-target view"))
        return false;
    Texture2DDesc bufferDesc{desc_.Width, desc_.Height, 1, desc_.Format, BIND_RENDER_TARGET, 0};
    if (layout_.canvas) {
        D3D11_TEXTURE2D_DESC canvas{};
        back->GetDesc(&canvas);
        canvas = {desc_.Width,
                  desc_.Height,
                  1,
                  1,
                  canvas.Format,
                  {1, 0},
                  D3D11_USAGE_DEFAULT,
                  D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE,
                  0,
                  0};
        back.Reset();
        if (!core_.succeeded(core_.device->CreateTexture2D(&canvas, nullptr, &back), "the picture's canvas"))
            return false;
        bufferDesc.BindFlags |= BIND_SHADER_RESOURCE;
    }
    buffer0_ = Ref<Texture2D>::adopt(new Texture2DImpl(bufferDesc, std::move(back)));
    core_.windowBuffer = NativeOf(buffer0_.get());
    core_.windowHasArea = [this] { return HasArea(); };
    if (GpuInfoRequested())
        std::fprintf(stderr, "d3d11: %s, %s, %s present, sync interval %s\n", core_.adapterName.c_str(),
                     core_.levelText().c_str(), model_,
                     desc_.VSync ? "1"
                     : tearing_  ? "0 with tearing"
                                 : "0");
    return true;
}

bool SwapChainImpl::createForWindow(DXGI_SWAP_CHAIN_DESC1 desc) {
    tearing_ = !desc_.VSync && tearingOffered(*core_.factory.Get());
    if (tearing_) desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_TEARING;
    HRESULT result = core_.factory->CreateSwapChainForHwnd(core_.device.Get(), window_, &desc, nullptr,
                                                           nullptr, &swapChain_);
    // Flip-discard came with Windows 10; before it flip-sequential is the flip model.
    if (FAILED(result)) {
        desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
        model_ = "flip-sequential";
        result = core_.factory->CreateSwapChainForHwnd(core_.device.Get(), window_, &desc, nullptr, nullptr,
                                                       &swapChain_);
    }
    if (!core_.succeeded(result, "CreateSwapChainForHwnd")) return false;
    // The window stays a window: Alt+Enter must not switch the display to exclusive full screen.
    core_.factory->MakeWindowAssociation(window_, DXGI_MWA_NO_ALT_ENTER);
    return true;
}

// DirectComposition is opened at run time, so that a system without dcomp.dll still starts with the flip
// model; a composition swap chain cannot tear.
bool SwapChainImpl::createForComposition(DXGI_SWAP_CHAIN_DESC1 desc) {
    model_ = "composition";
    using CreateDevice = HRESULT(WINAPI*)(IDXGIDevice*, REFIID, void**);
    auto createDevice = LibraryFunction<CreateDevice>(LoadLibraryW(L"dcomp.dll"), "DCompositionCreateDevice");
    if (!createDevice) {
        core_.lastError = "DirectComposition (dcomp.dll) is not there; present with the flip model instead";
        return false;
    }
    ComPtr<IDXGIDevice> dxgiDevice;
    if (!core_.succeeded(core_.device.As(&dxgiDevice), "IDXGIDevice") ||
        !core_.succeeded(createDevice(dxgiDevice.Get(), __uuidof(IDCompositionDevice), &composition_),
                         "DCompositionCreateDevice") ||
        !core_.succeeded(composition_->CreateTargetForHwnd(window_, TRUE, &compositionTarget_),
                         "IDCompositionDevice::CreateTargetForHwnd") ||
        !core_.succeeded(composition_->CreateVisual(&visual_), "IDCompositionDevice::CreateVisual") ||
        !core_.succeeded(
            core_.factory->CreateSwapChainForComposition(core_.device.Get(), &desc, nullptr, &swapChain_),
            "CreateSwapChainForComposition"))
        return false;
    // The visual shows the buffers at their own size; scaled, they fill the window.
    RECT client{};
    GetClientRect(window_, &client);
    const float scale =
        client.right > client.left ? float(client.right - client.left) / float(desc.Width) : 1.0f;
    const D2D_MATRIX_3X2_F transform{{{scale, 0.0f, 0.0f, scale, 0.0f, 0.0f}}};
    return core_.succeeded(visual_->SetContent(swapChain_.Get()), "IDCompositionVisual::SetContent") &&
           core_.succeeded(visual_->SetTransform(transform), "IDCompositionVisual::SetTransform") &&
           core_.succeeded(compositionTarget_->SetRoot(visual_.Get()), "IDCompositionTarget::SetRoot") &&
           core_.succeeded(composition_->Commit(), "IDCompositionDevice::Commit");
}

Ref<Texture2D> SwapChainImpl::GetBuffer(uint32_t index) {
    if (index == 0) return buffer0_;
    core_.lastError = "a flip-model swap chain offers buffer 0 only";
    return nullptr;
}

bool SwapChainImpl::HasArea() {
    RECT client{};
    return !noArea_.active() && !IsIconic(window_) && GetClientRect(window_, &client) &&
           client.right > client.left && client.bottom > client.top;
}

bool SwapChainImpl::Present(uint32_t, uint32_t) {
    if (!HasArea()) {
        context_->Flush();
        return true;
    }
    if (layout_.canvas) {
        static const float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        ComPtr<ID3D11Resource> back;
        backBufferTarget_->GetResource(&back);
        core_.context->ClearRenderTargetView(backBufferTarget_.Get(), kBlack);
        core_.context->CopySubresourceRegion(back.Get(), 0, layout_.pictureX, layout_.pictureY, 0,
                                             NativeOf(buffer0_.get()), 0, nullptr);
    }
    const HRESULT result =
        swapChain_->Present(desc_.VSync ? 1 : 0, tearing_ ? DXGI_PRESENT_ALLOW_TEARING : 0);
    core_.passOnMessages();
    // An occluded window shows nothing, and the frame still counts as presented.
    if (result == DXGI_STATUS_OCCLUDED || SUCCEEDED(result)) return true;
    return core_.succeeded(result, "Present");
}

} // namespace

Ref<SwapChain> CreateSwapChain(const Ref<ContextImpl>& context, HWND window, const SwapChainDesc& desc) {
    Ref<SwapChainImpl> swapChain = Ref<SwapChainImpl>::adopt(new SwapChainImpl(context, window, desc));
    if (!swapChain->create()) return nullptr;
    return swapChain;
}

} // namespace gpu::d3d11
