// The filter mappers and the registry form of GUIDs.
//
// IFilterMapper2::RegisterFilter writes
//   HKCR\CLSID\{category}\Instance\<instance name, else {filter clsid}>
// with "FriendlyName" (the name), "CLSID" (the filter's class id as text)
// and "FilterData", the REGFILTER2 serialised as little-endian DWORDs and
// GUIDs in their in-memory layout:
//   version, merit, pin count, then per pin
//   version 1: flags (1 rendered, 2 output, 4 zero, 8 many), media type count,
//              connects-to filter (GUID, zero when none), the pin name is not kept;
//   version 2: dwFlags, instances, media type count, medium count (always 0:
//              mediums are not kept), pin category (GUID, zero when none);
//   then per media type: major type GUID, subtype GUID (zero when null).
// IFilterMapper::RegisterFilter writes HKCR\Filter\{clsid} (default value:
// the name) and "Merit" under HKCR\CLSID\{clsid}. Everything else the
// mappers offer answers E_NOTIMPL.
#include <new>
#include <vector>

#include "platform/ComObject.h"
#include "platform/ComRef.h"
#include "platform/RegKey.h"
#include "platform/posix/FilterMapper.h"

namespace oculo::posix {
namespace {

// Where Windows puts filters registered without a category.
const GUID kLegacyFilterCategory = {0x083863F1, 0x70DE, 0x11D0, {0xBD, 0x40, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr ULONG kMaxEntries = 4096;  // pins or media types: beyond any real filter

HRESULT FromWin32(LONG status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

class Blob {
public:
    void Dword(DWORD value) { Bytes(&value, sizeof(value)); }
    void Guid(const GUID* guid) {
        GUID value = guid ? *guid : GUID_NULL;
        Bytes(&value, sizeof(value));
    }
    const std::vector<BYTE>& Data() const { return m_data; }

private:
    void Bytes(const void* data, size_t size) {
        const BYTE* start = static_cast<const BYTE*>(data);
        m_data.insert(m_data.end(), start, start + size);
    }
    std::vector<BYTE> m_data;
};

void PutTypes(Blob& blob, UINT count, const REGPINTYPES* types) {
    for (UINT i = 0; i < count; ++i) {
        blob.Guid(types[i].clsMajorType);
        blob.Guid(types[i].clsMinorType);
    }
}

// Serialises prf2; E_POINTER or E_INVALIDARG for records that cannot be read.
HRESULT Serialise(const REGFILTER2* prf2, Blob& blob) {
    if (prf2->dwVersion != 1 && prf2->dwVersion != 2) return E_INVALIDARG;
    const ULONG pins = prf2->dwVersion == 1 ? prf2->cPins : prf2->cPins2;
    if (pins > kMaxEntries) return E_INVALIDARG;
    if (pins && !(prf2->dwVersion == 1 ? static_cast<const void*>(prf2->rgPins) : prf2->rgPins2)) return E_POINTER;
    blob.Dword(prf2->dwVersion);
    blob.Dword(prf2->dwMerit);
    blob.Dword(pins);
    for (ULONG i = 0; i < pins; ++i) {
        UINT count = prf2->dwVersion == 1 ? prf2->rgPins[i].nMediaTypes : prf2->rgPins2[i].nMediaTypes;
        const REGPINTYPES* types = prf2->dwVersion == 1 ? prf2->rgPins[i].lpMediaType : prf2->rgPins2[i].lpMediaType;
        if (count > kMaxEntries) return E_INVALIDARG;
        if (count && !types) return E_POINTER;
        if (prf2->dwVersion == 1) {
            const REGFILTERPINS& pin = prf2->rgPins[i];
            blob.Dword((pin.bRendered ? 1 : 0) | (pin.bOutput ? 2 : 0) | (pin.bZero ? 4 : 0) | (pin.bMany ? 8 : 0));
            blob.Dword(count);
            blob.Guid(pin.clsConnectsToFilter);
        } else {
            const REGFILTERPINS2& pin = prf2->rgPins2[i];
            blob.Dword(pin.dwFlags);
            blob.Dword(pin.cInstances);
            blob.Dword(count);
            blob.Dword(0);
            blob.Guid(pin.clsPinCategory);
        }
        PutTypes(blob, count, types);
    }
    return S_OK;
}

LONG SetString(HKEY key, LPCWSTR name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

std::wstring InstanceKey(const CLSID* category, LPCOLESTR instance, REFCLSID filter) {
    return L"CLSID\\" + GuidText(category ? *category : kLegacyFilterCategory) + L"\\Instance\\" +
           (instance ? std::wstring(instance) : GuidText(filter));
}

HRESULT WriteInstance(const std::wstring& path, LPCWSTR name, REFCLSID filter, const Blob& blob) {
    CRegKey key;
    LONG status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return FromWin32(status);
    status = SetString(key.Get(), L"FriendlyName", name);
    if (status == ERROR_SUCCESS) status = SetString(key.Get(), L"CLSID", GuidText(filter));
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.Get(), L"FilterData", 0, REG_BINARY, blob.Data().data(),
                                static_cast<DWORD>(blob.Data().size()));
    return FromWin32(status);
}

class FilterMapper2 final : public CComObject<ComInterface<IFilterMapper2, IID_IFilterMapper2>> {
public:
    STDMETHODIMP CreateCategory(REFCLSID, DWORD, LPCWSTR) override { return E_NOTIMPL; }

    STDMETHODIMP UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter) override {
        try {
            return FromWin32(RegDeleteKeyW(HKEY_CLASSES_ROOT, InstanceKey(category, instance, filter).c_str()));
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    STDMETHODIMP RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker, const CLSID* category,
                                LPCOLESTR instance, const REGFILTER2* prf2) override {
        if (moniker) *moniker = nullptr;  // no moniker is handed out here
        if (!name || !prf2) return E_POINTER;
        try {
            Blob blob;
            HRESULT result = Serialise(prf2, blob);
            if (FAILED(result)) return result;
            return WriteInstance(InstanceKey(category, instance, filter), name, filter, blob);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    STDMETHODIMP EnumMatchingFilters(IEnumMoniker**, DWORD, BOOL, DWORD, BOOL, DWORD, const GUID*, const REGPINMEDIUM*,
                                     const CLSID*, BOOL, BOOL, DWORD, const GUID*, const REGPINMEDIUM*,
                                     const CLSID*) override {
        return E_NOTIMPL;
    }
};

class FilterMapper final : public CComObject<ComInterface<IFilterMapper, IID_IFilterMapper>> {
public:
    STDMETHODIMP RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit) override {
        if (!name) return E_POINTER;
        try {
            const std::wstring guid = GuidText(clsid);
            LONG status = RegSetValueW(HKEY_CLASSES_ROOT, (L"Filter\\" + guid).c_str(), REG_SZ, name, 0);
            if (status != ERROR_SUCCESS) return FromWin32(status);
            CRegKey key;
            status = RegCreateKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid).c_str(), key.Put());
            if (status != ERROR_SUCCESS) return FromWin32(status);
            status = RegSetValueExW(key.Get(), L"Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit),
                                    sizeof(merit));
            return FromWin32(status);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    // Fails with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the filter is not registered.
    STDMETHODIMP UnregisterFilter(CLSID filter) override {
        try {
            const std::wstring guid = GuidText(filter);
            LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"Filter\\" + guid).c_str());
            if (status != ERROR_SUCCESS) return FromWin32(status);
            CRegKey key;
            if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid).c_str(), 0, KEY_ALL_ACCESS, key.Put()) ==
                ERROR_SUCCESS) {
                RegDeleteValueW(key.Get(), L"Merit");
            }
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    STDMETHODIMP RegisterFilterInstance(CLSID, LPCWSTR, CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterPin(CLSID, LPCWSTR, BOOL, BOOL, BOOL, BOOL, CLSID, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterPinType(CLSID, LPCWSTR, CLSID, CLSID) override { return E_NOTIMPL; }
    STDMETHODIMP UnregisterFilterInstance(CLSID) override { return E_NOTIMPL; }
    STDMETHODIMP UnregisterPin(CLSID, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP EnumMatchingFilters(IEnumRegFilters**, DWORD, BOOL, CLSID, CLSID, BOOL, BOOL, CLSID, CLSID) override {
        return E_NOTIMPL;
    }
};

// A class object that lives as long as the process and creates mappers.
template <class Mapper>
class MapperFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        CComRef<Mapper> mapper;
        mapper.Attach(new (std::nothrow) Mapper());
        if (!mapper) return E_OUTOFMEMORY;
        return mapper->QueryInterface(riid, object);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

void FormatGuid(REFGUID guid, WCHAR* text) {
    static const WCHAR kDigits[] = L"0123456789ABCDEF";
    BYTE bytes[16];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(guid.Data1 >> (24 - 8 * i));
    bytes[4] = static_cast<BYTE>(guid.Data2 >> 8);
    bytes[5] = static_cast<BYTE>(guid.Data2);
    bytes[6] = static_cast<BYTE>(guid.Data3 >> 8);
    bytes[7] = static_cast<BYTE>(guid.Data3);
    std::memcpy(bytes + 8, guid.Data4, 8);
    WCHAR* at = text;
    *at++ = L'{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *at++ = L'-';
        *at++ = kDigits[bytes[i] >> 4];
        *at++ = kDigits[bytes[i] & 15];
    }
    *at++ = L'}';
    *at = L'\0';
}

std::wstring GuidText(REFGUID guid) {
    WCHAR text[39];
    FormatGuid(guid, text);
    return text;
}

IClassFactory* FilterMapper2Factory() {
    static MapperFactory<FilterMapper2> factory;
    return &factory;
}

IClassFactory* FilterMapperFactory() {
    static MapperFactory<FilterMapper> factory;
    return &factory;
}

}  // namespace oculo::posix
