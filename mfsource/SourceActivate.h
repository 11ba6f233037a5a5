// CSourceActivate: what a slot's media-source class gives its creator (the
// camera service, or any application): an IMFActivate whose ActivateObject
// builds the slot's media source (MediaSource.h) once and hands out that one
// source until ShutdownObject or DetachObject lets it go. Its attributes are a
// store of Media Foundation's own, which the creator may fill.
//
// Built by the module's class factory (framework/ClassFactory.h), so it is a
// CUnknown and counts as a live object of the module.
//
// Threads: any; m_cLock guards the source held, and nothing else is taken or
// called under it but the source's creation and QueryInterface.
#pragma once

#include "framework/Unknown.h"
#include "media/CritSec.h"
#include "mfsource/MFPlat.h"
#include "platform/ComRef.h"

class CSourceActivate final : public CUnknown, public IMFActivate {
public:
    // The class factory's creation function for slot's class.
    static CUnknown* Create(DWORD slot, LPUNKNOWN pUnk, HRESULT* phr);
    template <DWORD Slot>
    static CUnknown* CreateForSlot(LPUNKNOWN pUnk, HRESULT* phr) {
        return Create(Slot, pUnk, phr);
    }

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMFActivate
    STDMETHODIMP ActivateObject(REFIID riid, void** ppv) override;
    STDMETHODIMP ShutdownObject() override;
    STDMETHODIMP DetachObject() override;

    // IMFAttributes: the store's.
    STDMETHODIMP GetItem(REFGUID key, PROPVARIANT* value) override { return m_pStore->GetItem(key, value); }
    STDMETHODIMP GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) override { return m_pStore->GetItemType(key, type); }
    STDMETHODIMP CompareItem(REFGUID key, REFPROPVARIANT value, WINBOOL* result) override {
        return m_pStore->CompareItem(key, value, result);
    }
    STDMETHODIMP Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE type, WINBOOL* result) override {
        return m_pStore->Compare(theirs, type, result);
    }
    STDMETHODIMP GetUINT32(REFGUID key, UINT32* value) override { return m_pStore->GetUINT32(key, value); }
    STDMETHODIMP GetUINT64(REFGUID key, UINT64* value) override { return m_pStore->GetUINT64(key, value); }
    STDMETHODIMP GetDouble(REFGUID key, double* value) override { return m_pStore->GetDouble(key, value); }
    STDMETHODIMP GetGUID(REFGUID key, GUID* value) override { return m_pStore->GetGUID(key, value); }
    STDMETHODIMP GetStringLength(REFGUID key, UINT32* length) override { return m_pStore->GetStringLength(key, length); }
    STDMETHODIMP GetString(REFGUID key, LPWSTR value, UINT32 size, UINT32* length) override {
        return m_pStore->GetString(key, value, size, length);
    }
    STDMETHODIMP GetAllocatedString(REFGUID key, LPWSTR* value, UINT32* length) override {
        return m_pStore->GetAllocatedString(key, value, length);
    }
    STDMETHODIMP GetBlobSize(REFGUID key, UINT32* size) override { return m_pStore->GetBlobSize(key, size); }
    STDMETHODIMP GetBlob(REFGUID key, UINT8* buffer, UINT32 size, UINT32* written) override {
        return m_pStore->GetBlob(key, buffer, size, written);
    }
    STDMETHODIMP GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) override {
        return m_pStore->GetAllocatedBlob(key, buffer, size);
    }
    STDMETHODIMP GetUnknown(REFGUID key, REFIID riid, LPVOID* ppv) override { return m_pStore->GetUnknown(key, riid, ppv); }
    STDMETHODIMP SetItem(REFGUID key, REFPROPVARIANT value) override { return m_pStore->SetItem(key, value); }
    STDMETHODIMP DeleteItem(REFGUID key) override { return m_pStore->DeleteItem(key); }
    STDMETHODIMP DeleteAllItems() override { return m_pStore->DeleteAllItems(); }
    STDMETHODIMP SetUINT32(REFGUID key, UINT32 value) override { return m_pStore->SetUINT32(key, value); }
    STDMETHODIMP SetUINT64(REFGUID key, UINT64 value) override { return m_pStore->SetUINT64(key, value); }
    STDMETHODIMP SetDouble(REFGUID key, double value) override { return m_pStore->SetDouble(key, value); }
    STDMETHODIMP SetGUID(REFGUID key, REFGUID value) override { return m_pStore->SetGUID(key, value); }
    STDMETHODIMP SetString(REFGUID key, LPCWSTR value) override { return m_pStore->SetString(key, value); }
    STDMETHODIMP SetBlob(REFGUID key, const UINT8* buffer, UINT32 size) override {
        return m_pStore->SetBlob(key, buffer, size);
    }
    STDMETHODIMP SetUnknown(REFGUID key, IUnknown* value) override { return m_pStore->SetUnknown(key, value); }
    STDMETHODIMP LockStore() override { return m_pStore->LockStore(); }
    STDMETHODIMP UnlockStore() override { return m_pStore->UnlockStore(); }
    STDMETHODIMP GetCount(UINT32* count) override { return m_pStore->GetCount(count); }
    STDMETHODIMP GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) override {
        return m_pStore->GetItemByIndex(index, key, value);
    }
    STDMETHODIMP CopyAllItems(IMFAttributes* dest) override { return m_pStore->CopyAllItems(dest); }

private:
    CSourceActivate(DWORD slot, LPUNKNOWN pUnk, HRESULT* phr);

    const DWORD m_dwSlot;
    CComRef<IMFAttributes> m_pStore;  // made by the constructor, then read-only
    CCritSec m_cLock;
    CComRef<IMFMediaSource> m_pSource GUARDED_BY(m_cLock);
};
