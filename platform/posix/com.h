// The component runtime (COM) subset of the POSIX stand-in: IUnknown,
// IClassFactory, IPersist, ISpecifyPropertyPages, task memory, initialisation
// and in-process activation.
#pragma once

#include "winapi.h"

#define interface struct
#define DECLSPEC_UUID(x)
#define MIDL_INTERFACE(x) struct
#define DECLARE_INTERFACE(iface) interface iface
#define DECLARE_INTERFACE_(iface, base) interface iface : public base

DEFINE_GUID(GUID_NULL, 0x00000000, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00);
#define CLSID_NULL GUID_NULL
#define IID_NULL GUID_NULL
DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IPersist, 0x0000010c, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
    STDMETHOD(LockServer)(BOOL fLock) PURE;
};
typedef IClassFactory* LPCLASSFACTORY;

struct IPersist : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* pClassID) PURE;
};

// An object's property pages, by class (the list in task memory).
DEFINE_GUID(IID_ISpecifyPropertyPages, 0xb196b28b, 0xbab4, 0x101a, 0xb6, 0x9c, 0x00, 0xaa, 0x00, 0x34, 0x1d, 0x07);
typedef struct tagCAUUID {
    ULONG cElems;
    GUID* pElems;
} CAUUID;
struct ISpecifyPropertyPages : public IUnknown {
    STDMETHOD(GetPages)(CAUUID* pPages) PURE;
};

#define CLSCTX_INPROC_SERVER 0x1u

enum COINIT {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8
};

#define WINOLEAPI extern "C" OCULO_PLATFORM_API HRESULT STDAPICALLTYPE
#define WINOLEAPI_(type) extern "C" OCULO_PLATFORM_API type STDAPICALLTYPE

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T size);
WINOLEAPI_(void) CoTaskMemFree(LPVOID block);
WINOLEAPI CoInitialize(LPVOID reserved);
WINOLEAPI CoInitializeEx(LPVOID reserved, DWORD coInit);
WINOLEAPI_(void) CoUninitialize(void);
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD clsContext, REFIID riid, LPVOID* ppv);
WINOLEAPI_(void) CoFreeUnusedLibraries(void);
WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR buffer, int cchMax);

// The entry points an in-process server exports.
typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)(void);
