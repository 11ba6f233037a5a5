// The counting base of our own COM classes: one identity, the table's
// interfaces and no others, and a count that ends in exactly one deletion.
#include <gtest/gtest.h>

#include "platform/ComObject.h"
#include "platform/ComRef.h"

namespace {

// A filter-shaped object with two interfaces; IBaseFilter also answers for
// its bases.
class CTwoFaced final
    : public CComObject<ComInterface<IBaseFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist>,
                        ComInterface<IMediaEventSink, IID_IMediaEventSink>> {
public:
    explicit CTwoFaced(int* pDeleted) : m_pDeleted(pDeleted) {}

    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP Pause() override { return E_NOTIMPL; }
    STDMETHODIMP Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP Notify(LONG, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }

private:
    ~CTwoFaced() override { ++*m_pDeleted; }
    int* const m_pDeleted;
};

TEST(PlatformComObject, AnswersFromItsTableWithOneIdentityAndDeletesOnce) {
    int deleted = 0;
    CTwoFaced* object = new CTwoFaced(&deleted);
    IBaseFilter* filter = object;

    CComRef<IUnknown> identity;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(static_cast<IUnknown*>(filter), identity.Get());
    for (const IID* iid : {&IID_IBaseFilter, &IID_IMediaFilter, &IID_IPersist}) {
        CComRef<IUnknown> face;
        ASSERT_EQ(S_OK, object->QueryInterface(*iid, face.PutVoid()));
        EXPECT_EQ(static_cast<IUnknown*>(filter), face.Get());
    }
    CComRef<IMediaEventSink> sink;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IMediaEventSink, sink.PutVoid()));
    EXPECT_EQ(static_cast<IMediaEventSink*>(object), sink.Get());
    CComRef<IUnknown> sinksIdentity;
    ASSERT_EQ(S_OK, sink->QueryInterface(IID_IUnknown, sinksIdentity.PutVoid()));
    EXPECT_EQ(identity.Get(), sinksIdentity.Get());

    void* none = object;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IUnknown, nullptr));

    // Created with one reference; each holder above took one more.
    sink.Reset();
    identity.Reset();
    sinksIdentity.Reset();
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(0, deleted);
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(1, deleted);
}

}  // namespace
