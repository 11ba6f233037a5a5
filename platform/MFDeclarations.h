// What the Windows SDK's Media Foundation headers declare (mfidl.h,
// mfvirtualcamera.h, ksmedia.h) and mingw-w64 (Debian 12) leaves out, as
// Microsoft publishes it: the device-stream attributes and IMFMediaStream2 a
// camera's media source offers, and the virtual-camera API of Windows 11.
// mingw's own headers give the rest (IMFMediaSourceEx, IKsControl,
// PINNAME_VIDEO_CAPTURE, KSCATEGORY_VIDEO_CAMERA).
//
// The virtual-camera enumerations are plain values, declared on every system:
// the registration logic that passes them builds and is tested on Linux too.
// The interfaces exist on Windows only.
//
// MFCreateVirtualCamera lives in mfsensorgroup.dll, which only Windows 11
// has: it is looked up at run time (PFN_MFCreateVirtualCamera), never linked,
// so the module loads wherever DirectShow does.
#pragma once

#include "platform/platform.h"

typedef enum MFVirtualCameraType {
    MFVirtualCameraType_SoftwareCameraSource = 0,
} MFVirtualCameraType;

typedef enum MFVirtualCameraLifetime {
    MFVirtualCameraLifetime_Session = 0,  // gone when the creating process ends
    MFVirtualCameraLifetime_System = 1,   // stays until removed
} MFVirtualCameraLifetime;

typedef enum MFVirtualCameraAccess {
    MFVirtualCameraAccess_CurrentUser = 0,
    MFVirtualCameraAccess_AllUsers = 1,  // needs an administrator
} MFVirtualCameraAccess;

#ifdef _WIN32
#include <devpropdef.h>
#include <ks.h>
#include <ksmedia.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

// A device stream's attributes (on the stream descriptor and the source's
// GetStreamAttributes).
// UINT32: the stream's identifier on the device.
inline const GUID MF_DEVICESTREAM_STREAM_ID = {
    0x11BD5120, 0xD124, 0x446B, {0x88, 0xE6, 0x17, 0x06, 0x02, 0x57, 0xFF, 0xF9}};
// GUID: the pin category (PINNAME_VIDEO_CAPTURE for a camera's picture).
inline const GUID MF_DEVICESTREAM_STREAM_CATEGORY = {
    0x2939E7B8, 0xA62E, 0x4579, {0xB6, 0x74, 0xD4, 0x07, 0x3D, 0xFA, 0xBB, 0xBA}};
// UINT32: 1 when the frame server may share the stream between applications.
inline const GUID MF_DEVICESTREAM_FRAMESERVER_SHARED = {
    0x1CB378E9, 0xB279, 0x41D4, {0xAF, 0x97, 0x34, 0xA2, 0x43, 0xE6, 0x83, 0x20}};
// UINT32: the kind of picture (MFFrameSourceTypes).
inline const GUID MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES = {
    0x17145FD1, 0x1B2B, 0x423C, {0x80, 0x01, 0x2B, 0x68, 0x33, 0xED, 0x35, 0x88}};

typedef enum _MFFrameSourceTypes {
    MFFrameSourceTypes_Color = 0x0001,
    MFFrameSourceTypes_Infrared = 0x0002,
    MFFrameSourceTypes_Depth = 0x0004,
    MFFrameSourceTypes_Image = 0x0008,
    MFFrameSourceTypes_Custom = 0x0080,
} MFFrameSourceTypes;

// A media stream whose state can be set apart from its source's.
inline const IID IID_IMFMediaStream2 = {0xC5BC37D6, 0x75C7, 0x46A1, {0xA1, 0x32, 0x81, 0xB5, 0xF7, 0x23, 0xC2, 0x0F}};
struct IMFMediaStream2 : public IMFMediaStream {
    STDMETHOD(SetStreamState)(MF_STREAM_STATE value) PURE;
    STDMETHOD(GetStreamState)(MF_STREAM_STATE* value) PURE;
};

struct IMFCameraSyncObject;  // not used here; named by IMFVirtualCamera

// A virtual camera of the system's camera service. Its methods follow
// IMFAttributes' thirty in exactly this order: the order is the vtable.
inline const IID IID_IMFVirtualCamera = {0x1C08A864, 0xEF6C, 0x4C75, {0xAF, 0x59, 0x5F, 0x2D, 0x68, 0xDA, 0x95, 0x63}};
struct IMFVirtualCamera : public IMFAttributes {
    STDMETHOD(AddDeviceSourceInfo)(LPCWSTR deviceSourceInfo) PURE;
    STDMETHOD(AddProperty)(const DEVPROPKEY* key, DEVPROPTYPE type, const BYTE* data, ULONG cbData) PURE;
    STDMETHOD(AddRegistryEntry)(LPCWSTR entryName, LPCWSTR subkeyPath, DWORD dwRegType, const BYTE* data,
                                ULONG cbData) PURE;
    STDMETHOD(Start)(IMFAsyncCallback* callback) PURE;
    STDMETHOD(Stop)() PURE;
    STDMETHOD(Remove)() PURE;
    STDMETHOD(GetMediaSource)(IMFMediaSource** ppMediaSource) PURE;
    STDMETHOD(SendCameraProperty)(REFGUID propertySet, ULONG propertyId, ULONG propertyFlags, void* propertyPayload,
                                  ULONG propertyPayloadLength, void* data, ULONG dataLength,
                                  ULONG* dataWritten) PURE;
    STDMETHOD(CreateSyncEvent)(REFGUID kseventSet, ULONG kseventId, ULONG kseventFlags, HANDLE eventHandle,
                               IMFCameraSyncObject** cameraSyncObject) PURE;
    STDMETHOD(CreateSyncSemaphore)(REFGUID kseventSet, ULONG kseventId, ULONG kseventFlags, HANDLE semaphoreHandle,
                                   LONG semaphoreAdjustment, IMFCameraSyncObject** cameraSyncObject) PURE;
    STDMETHOD(Shutdown)() PURE;
};

// MFCreateVirtualCamera, as mfsensorgroup.dll exports it.
typedef HRESULT(STDAPICALLTYPE* PFN_MFCreateVirtualCamera)(MFVirtualCameraType type,
                                                           MFVirtualCameraLifetime lifetime,
                                                           MFVirtualCameraAccess access, LPCWSTR friendlyName,
                                                           LPCWSTR sourceId, const GUID* categories,
                                                           ULONG categoryCount, IMFVirtualCamera** virtualCamera);
#endif
