// Linux has no camera service: the slots are DirectShow devices of the
// platform stand-in only.
#include "mfsource/VirtualCameras.h"

namespace {

class CNoVirtualCameras final : public CVirtualCameraApi {
public:
    bool IsAvailable() override { return false; }
    HRESULT Add(const VirtualCameraArgs&) override { return E_NOTIMPL; }
    HRESULT Remove(const VirtualCameraArgs&) override { return E_NOTIMPL; }
};

}  // namespace

std::unique_ptr<CVirtualCameraApi> SystemVirtualCameraApi() { return std::make_unique<CNoVirtualCameras>(); }
