// Asks the system device enumerator, as a capture application does.
#include "tools/DeviceList.h"

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

HRESULT ListVideoInputDevices(std::vector<CaptureDevice>* devices) {
    devices->clear();
    ICreateDevEnum* pDevEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&pDevEnum));
    if (FAILED(hr)) return hr;
    IEnumMoniker* pEnum = nullptr;
    hr = pDevEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &pEnum, 0);
    pDevEnum->Release();
    if (hr != S_OK || pEnum == nullptr) return FAILED(hr) ? hr : S_OK;  // S_FALSE: the category is empty
    IMoniker* pMoniker = nullptr;
    while (pEnum->Next(1, &pMoniker, nullptr) == S_OK) {
        IPropertyBag* pBag = nullptr;
        if (SUCCEEDED(pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&pBag)))) {
            CaptureDevice device;
            device.friendlyName = ReadProperty(pBag, L"FriendlyName");
            device.clsid = ReadProperty(pBag, L"CLSID");
            pBag->Release();
            if (!device.friendlyName.empty()) devices->push_back(device);
        }
        pMoniker->Release();
    }
    pEnum->Release();
    return S_OK;
}
