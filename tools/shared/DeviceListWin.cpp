// Asks the system device enumerator, as a capture application does.
#include "tools/shared/DeviceMonikers.h"

namespace {

// The property as text; empty when it is missing or not a string.
std::wstring ReadProperty(IPropertyBag* pBag, LPCOLESTR name) {
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (SUCCEEDED(pBag->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
        text = value.bstrVal;
    }
    VariantClear(&value);
    return text;
}

}  // namespace

HRESULT ForEachVideoInputDevice(const std::function<bool(const CaptureDevice&, IMoniker*)>& visit) {
    ICreateDevEnum* pDevEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&pDevEnum));
    if (FAILED(hr)) return hr;
    IEnumMoniker* pEnum = nullptr;
    hr = pDevEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &pEnum, 0);
    pDevEnum->Release();
    if (hr != S_OK || pEnum == nullptr) return FAILED(hr) ? hr : S_OK;  // S_FALSE: the category is empty
    IMoniker* pMoniker = nullptr;
    bool bMore = true;
    while (bMore && pEnum->Next(1, &pMoniker, nullptr) == S_OK) {
        IPropertyBag* pBag = nullptr;
        if (SUCCEEDED(pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&pBag)))) {
            CaptureDevice device;
            device.friendlyName = ReadProperty(pBag, L"FriendlyName");
            device.clsid = ReadProperty(pBag, L"CLSID");
            pBag->Release();
            if (!device.friendlyName.empty()) bMore = visit(device, pMoniker);
        }
        pMoniker->Release();
    }
    pEnum->Release();
    return S_OK;
}

HRESULT ListVideoInputDevices(std::vector<CaptureDevice>* devices) {
    devices->clear();
    return ForEachVideoInputDevice([devices](const CaptureDevice& device, IMoniker*) {
        devices->push_back(device);
        return true;
    });
}
