// Windows' virtual-camera API: MFCreateVirtualCamera from mfsensorgroup.dll,
// which only Windows 11 has, looked up when registration runs.
#include "mfsource/MFPlat.h"
#include "mfsource/VirtualCameras.h"
#include "platform/ComRef.h"

namespace {

class CSystemVirtualCameras final : public CVirtualCameraApi {
public:
    CSystemVirtualCameras() {
        m_hModule = LoadLibraryExW(L"mfsensorgroup.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (m_hModule) {
            m_pfnCreate = reinterpret_cast<PFN_MFCreateVirtualCamera>(
                reinterpret_cast<void*>(GetProcAddress(m_hModule, "MFCreateVirtualCamera")));
        }
    }
    ~CSystemVirtualCameras() override {
        if (m_hModule) FreeLibrary(m_hModule);
    }
    CSystemVirtualCameras(const CSystemVirtualCameras&) = delete;
    CSystemVirtualCameras& operator=(const CSystemVirtualCameras&) = delete;

    bool IsAvailable() override { return m_pfnCreate != nullptr && MFPlat() != nullptr; }

    // Started, then let go: a system-wide camera stays.
    HRESULT Add(const VirtualCameraArgs& args) override {
        return WithCamera(args, [](IMFVirtualCamera* camera) { return camera->Start(nullptr); });
    }

    HRESULT Remove(const VirtualCameraArgs& args) override {
        return WithCamera(args, [](IMFVirtualCamera* camera) { return camera->Remove(); });
    }

private:
    // Asks for the camera of `args`, does `action` with it and shuts the
    // handle down; Media Foundation runs meanwhile.
    template <class Action>
    HRESULT WithCamera(const VirtualCameraArgs& args, Action action) {
        const MFPlatFunctions* mf = MFPlat();
        if (!IsAvailable()) return kNoMediaFoundation;
        HRESULT hr = mf->Startup(MF_VERSION, MFSTARTUP_LITE);
        if (FAILED(hr)) return hr;
        {
            CComRef<IMFVirtualCamera> camera;
            hr = m_pfnCreate(args.type, args.lifetime, args.access, args.friendlyName.c_str(), args.sourceId.c_str(),
                             args.categories.data(), ULONG(args.categories.size()), camera.Put());
            if (SUCCEEDED(hr)) {
                hr = action(camera.Get());
                const HRESULT hrShutdown = camera->Shutdown();
                if (SUCCEEDED(hr)) hr = hrShutdown;
            }
        }
        mf->Shutdown();
        return hr;
    }

    HMODULE m_hModule = nullptr;
    PFN_MFCreateVirtualCamera m_pfnCreate = nullptr;
};

}  // namespace

std::unique_ptr<CVirtualCameraApi> SystemVirtualCameraApi() { return std::make_unique<CSystemVirtualCameras>(); }
