#include "filter/OculoStream.h"

#include "filter/Oculo.h"

COculoStream::COculoStream(HRESULT* phr, COculo* pParent, LPCWSTR pPinName)
    : CSourceStream(nullptr, phr, pParent, pPinName),
      m_flFrameRate(pParent->m_Settings.fps),
      m_pCamera(nullptr),
      m_pParentFilter(pParent),
      m_rtNextStart(0),
      m_bTypeBuilt(false) {}

COculoStream::~COculoStream() = default;
HRESULT COculoStream::FillBuffer(IMediaSample*) { return E_NOTIMPL; }
HRESULT COculoStream::OnThreadCreate() { return S_OK; }
HRESULT COculoStream::OnThreadDestroy() { return S_OK; }
HRESULT COculoStream::StartCamera() { return E_NOTIMPL; }
HRESULT COculoStream::GetMediaType(int, CMediaType*) { return E_NOTIMPL; }
HRESULT COculoStream::CheckMediaType(const CMediaType*) { return E_NOTIMPL; }
HRESULT COculoStream::SetMediaType(const CMediaType* pmt) { return CSourceStream::SetMediaType(pmt); }
HRESULT COculoStream::DecideBufferSize(IMemAllocator*, ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::QueryInterface(REFIID riid, void** ppv) { return GetOwner()->QueryInterface(riid, ppv); }
STDMETHODIMP COculoStream::SetFormat(AM_MEDIA_TYPE*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::GetFormat(AM_MEDIA_TYPE**) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::GetNumberOfCapabilities(int*, int*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::GetStreamCaps(int, AM_MEDIA_TYPE**, BYTE*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::Get(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::QuerySupported(REFGUID, DWORD, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP COculoStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }
REFERENCE_TIME COculoStream::FrameDuration(float) { return 400000; }
