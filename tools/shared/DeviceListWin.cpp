// Asks the system device enumerator, as a capture application does.
#include "tools/shared/DeviceMonikers.h"

#include "platform/ComRef.h"

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
    CComRef<ICreateDevEnum> devEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devEnum.PutVoid());
    if (FAILED(hr)) return hr;
    CComRef<IEnumMoniker> monikers;
    hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
    if (hr != S_OK || !monikers) return FAILED(hr) ? hr : S_OK;  // S_FALSE: the category is empty
    CComRef<IMoniker> moniker;
    bool bMore = true;
    while (bMore && monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        CComRef<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) {
            CaptureDevice device;
            device.friendlyName = ReadProperty(bag.Get(), L"FriendlyName");
            device.clsid = ReadProperty(bag.Get(), L"CLSID");
            if (!device.friendlyName.empty()) bMore = visit(device, moniker.Get());
        }
    }
    return S_OK;
}

HRESULT ListVideoInputDevices(std::vector<CaptureDevice>* devices) {
    devices->clear();
    return ForEachVideoInputDevice([devices](const CaptureDevice& device, IMoniker*) {
        devices->push_back(device);
        return true;
    });
}
