// Reference counting, aggregation, the class factory and the module's unload
// answer, over a template table of this test's own.
#include <gtest/gtest.h>

#include "framework/ClassFactory.h"

namespace {

// {6C1F0E0A-2B1D-4C44-9E0B-1A3C5D7E9F01} and the following ones.
const CLSID CLSID_Plain = {0x6c1f0e0a, 0x2b1d, 0x4c44, {0x9e, 0x0b, 0x1a, 0x3c, 0x5d, 0x7e, 0x9f, 0x01}};
const CLSID CLSID_FailsWithObject = {0x6c1f0e0a, 0x2b1d, 0x4c44, {0x9e, 0x0b, 0x1a, 0x3c, 0x5d, 0x7e, 0x9f, 0x02}};
const CLSID CLSID_ReturnsNothing = {0x6c1f0e0a, 0x2b1d, 0x4c44, {0x9e, 0x0b, 0x1a, 0x3c, 0x5d, 0x7e, 0x9f, 0x03}};
const CLSID CLSID_Missing = {0x6c1f0e0a, 0x2b1d, 0x4c44, {0x9e, 0x0b, 0x1a, 0x3c, 0x5d, 0x7e, 0x9f, 0x04}};

int g_created = 0;
int g_destroyed = 0;
int g_initCalls[2] = {0, 0};  // [loading]
const CLSID* g_lastInitClsid = nullptr;

// An object with one extra interface (IPersist) whose destructor takes and
// drops a reference to itself, as teardown code sometimes does.
class CTestObject final : public CUnknown, public IPersist {
public:
    explicit CTestObject(LPUNKNOWN pUnk) : CUnknown(L"Test object", pUnk) { g_created++; }
    ~CTestObject() override {
        NonDelegatingAddRef();
        NonDelegatingRelease();
        g_destroyed++;
    }
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualGUID(riid, IID_IPersist)) {
            return GetInterface(static_cast<IPersist*>(this), ppv);
        }
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP GetClassID(CLSID* pClassID) override {
        *pClassID = CLSID_Plain;
        return S_OK;
    }
};

CUnknown* CreatePlain(LPUNKNOWN pUnk, HRESULT*) { return new (std::nothrow) CTestObject(pUnk); }
CUnknown* CreateFailing(LPUNKNOWN pUnk, HRESULT* phr) {
    *phr = E_ACCESSDENIED;
    return new (std::nothrow) CTestObject(pUnk);
}
CUnknown* CreateNothing(LPUNKNOWN, HRESULT*) { return nullptr; }
void InitRoutine(BOOL bLoading, const CLSID* rclsid) {
    g_initCalls[bLoading ? 1 : 0]++;
    g_lastInitClsid = rclsid;
}

// A controlling object that aggregates an inner one: counts its own
// references and hands out the inner's IPersist.
class COuter final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_pInner->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    ULONG m_cRef = 1;
    IUnknown* m_pInner = nullptr;  // the inner's non-delegating unknown; one reference
};

}  // namespace

CFactoryTemplate g_Templates[] = {
    {L"Plain", &CLSID_Plain, CreatePlain, InitRoutine, nullptr},
    {L"Fails with object", &CLSID_FailsWithObject, CreateFailing, nullptr, nullptr},
    {L"Returns nothing", &CLSID_ReturnsNothing, CreateNothing, InitRoutine, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

namespace {

IClassFactory* GetFactory(REFCLSID clsid) {
    IClassFactory* pFactory = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
    return pFactory;
}

TEST(Unknown, CountsReferencesAndDestroysOnceAtZero) {
    const LONG before = CBaseObject::ObjectsActive();
    const int destroyed = g_destroyed;
    CTestObject* pObject = new CTestObject(nullptr);
    EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());
    EXPECT_EQ(1u, pObject->NonDelegatingAddRef());
    EXPECT_EQ(2u, pObject->AddRef());  // not aggregated: the owner is the object itself
    EXPECT_EQ(1u, pObject->Release());
    EXPECT_EQ(0u, pObject->NonDelegatingRelease());
    EXPECT_EQ(destroyed + 1, g_destroyed);
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(Unknown, QueryInterfaceKeepsOneIdentity) {
    CTestObject* pObject = new CTestObject(nullptr);
    pObject->NonDelegatingAddRef();
    IPersist* pPersist = nullptr;
    ASSERT_EQ(S_OK, pObject->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&pPersist)));
    IUnknown* pFromObject = nullptr;
    IUnknown* pFromPersist = nullptr;
    ASSERT_EQ(S_OK, pObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pFromObject)));
    ASSERT_EQ(S_OK, pPersist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pFromPersist)));
    EXPECT_EQ(pFromObject, pFromPersist);
    EXPECT_EQ(pObject->GetNonDelegatingUnknown(), pFromObject);

    void* pNothing = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, pObject->QueryInterface(IID_IClassFactory, &pNothing));
    EXPECT_EQ(nullptr, pNothing);
    EXPECT_EQ(E_POINTER, pObject->NonDelegatingQueryInterface(IID_IUnknown, nullptr));

    pFromPersist->Release();
    pFromObject->Release();
    pPersist->Release();
    EXPECT_EQ(0u, pObject->NonDelegatingRelease());
}

TEST(Unknown, AggregatedObjectCountsOnItsOuter) {
    const int destroyed = g_destroyed;
    COuter outer;
    IClassFactory* pFactory = GetFactory(CLSID_Plain);
    ASSERT_EQ(S_OK, pFactory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.m_pInner)));
    pFactory->Release();
    EXPECT_EQ(1u, outer.m_cRef);  // creating the inner does not count on the outer

    // An interface of the inner, asked through the outer, counts on the outer.
    IPersist* pPersist = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_IPersist, reinterpret_cast<void**>(&pPersist)));
    EXPECT_EQ(2u, outer.m_cRef);
    // The inner's interfaces forward IUnknown to the outer: identity is the outer's.
    IUnknown* pIdentity = nullptr;
    ASSERT_EQ(S_OK, pPersist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pIdentity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), pIdentity);
    pIdentity->Release();
    pPersist->Release();
    EXPECT_EQ(1u, outer.m_cRef);
    EXPECT_EQ(destroyed, g_destroyed);

    // The outer's one reference on the inner's non-delegating unknown ends it.
    EXPECT_EQ(0u, outer.m_pInner->Release());
    EXPECT_EQ(destroyed + 1, g_destroyed);
}

TEST(ClassFactory, GetClassObjectResults) {
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_Plain, IID_IPersist, &pv));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(CLSID_Missing, IID_IClassFactory, &pv));
    EXPECT_EQ(reinterpret_cast<void*>(1), pv);  // untouched on both failures

    IClassFactory* pFirst = GetFactory(CLSID_Plain);
    IUnknown* pSecond = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Plain, IID_IUnknown, reinterpret_cast<void**>(&pSecond)));
    EXPECT_NE(static_cast<IUnknown*>(pFirst), pSecond);
    EXPECT_EQ(0u, pFirst->Release());
    EXPECT_EQ(0u, pSecond->Release());
}

TEST(ClassFactory, CreateInstanceResults) {
    const LONG before = CBaseObject::ObjectsActive();
    const int created = g_created;
    const int destroyed = g_destroyed;
    COuter outer;
    void* pv = reinterpret_cast<void*>(1);

    IClassFactory* pFactory = GetFactory(CLSID_Plain);
    EXPECT_EQ(E_POINTER, pFactory->CreateInstance(nullptr, IID_IPersist, nullptr));
    // Aggregation only through IUnknown, refused before anything is built.
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(&outer, IID_IClassFactory, &pv));
    EXPECT_EQ(created, g_created);
    EXPECT_EQ(reinterpret_cast<void*>(1), pv);
    // An interface the object lacks: the object is built and destroyed again.
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(nullptr, IID_IClassFactory, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(created + 1, g_created);
    EXPECT_EQ(destroyed + 1, g_destroyed);
    IPersist* pPersist = nullptr;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&pPersist)));
    EXPECT_EQ(0u, pPersist->Release());
    pFactory->Release();

    // A creation that reports failure with an object: the object is destroyed.
    pFactory = GetFactory(CLSID_FailsWithObject);
    EXPECT_EQ(E_ACCESSDENIED, pFactory->CreateInstance(nullptr, IID_IUnknown, &pv));
    EXPECT_EQ(destroyed + 3, g_destroyed);
    pFactory->Release();
    // No object and no failure reported: out of memory.
    pFactory = GetFactory(CLSID_ReturnsNothing);
    EXPECT_EQ(E_OUTOFMEMORY, pFactory->CreateInstance(nullptr, IID_IUnknown, &pv));
    pFactory->Release();

    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(ClassFactory, CanUnloadOnlyWithNothingAliveOrLocked) {
    ASSERT_EQ(S_OK, DllCanUnloadNow());

    IClassFactory* pFactory = GetFactory(CLSID_Plain);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());  // a factory is a live object
    IUnknown* pObject = nullptr;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pObject)));
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    pFactory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    pObject->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());  // still locked

    pFactory = GetFactory(CLSID_Plain);
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    pFactory->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST(ClassFactory, EntryPointRunsInitRoutinesAndKeepsHandle) {
    const int loads = g_initCalls[1];
    const int unloads = g_initCalls[0];
    // Only recorded, never used as a handle here.
    HINSTANCE handle = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000));
    EXPECT_TRUE(DllEntryPoint(handle, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(handle, g_hInst);
    EXPECT_EQ(loads + 2, g_initCalls[1]);  // the two rows with a routine
    EXPECT_EQ(&CLSID_ReturnsNothing, g_lastInitClsid);
    EXPECT_TRUE(DllEntryPoint(handle, DLL_THREAD_ATTACH, nullptr));
    EXPECT_EQ(loads + 2, g_initCalls[1]);
    EXPECT_TRUE(DllEntryPoint(handle, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(unloads + 2, g_initCalls[0]);
}

}  // namespace
