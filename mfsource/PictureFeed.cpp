#include "mfsource/PictureFeed.h"

#include <cstddef>
#include <new>

CPictureFeed::CPictureFeed(const InstanceSettings& settings)
    : m_url(settings.url), m_card(settings.status != 0, settings.name, settings.url) {
    // No picture arrives before the first Start: the store's contract.
    m_store.ResizeFrameStore(settings.w, settings.h);
    m_store.SetCropBounds(settings.crop_l, settings.crop_t, settings.crop_r, settings.crop_b);
}

CPictureFeed::~CPictureFeed() {
    Stop();
    m_camera.Stop();
}

bool CPictureFeed::Start() {
    CMutexLock control(m_control);
    if (m_bRunning) return true;
    // The starter of a run stopped before; its wait has been cut short.
    JoinStarter();
    m_card.BeginRun(m_store);
    m_hStarter.Attach(CreateThread(nullptr, 0, StarterProc, this, 0, nullptr));
    m_bRunning = bool(m_hStarter);
    m_camera.m_bRunOn = m_bRunning;
    return m_bRunning;
}

void CPictureFeed::Stop() {
    CMutexLock control(m_control);
    m_bRunning = false;
    m_camera.m_bRunOn = false;
    m_camera.RequestStop();
    JoinStarter();
    // Again: a start that began after the first request cleared it.
    m_camera.RequestStop();
}

void CPictureFeed::CFeedCamera::GetStatus(OCULO_STATUS* status) {
    CRTSPCamera::GetStatus(status);
    const bool bHasState = status->cbSize >= offsetof(OCULO_STATUS, lState) + sizeof(status->lState);
    if (bHasState && m_bRunOn && status->lState == OCULO_STATE_STOPPED) status->lState = OCULO_STATE_CONNECTING;
}

DWORD WINAPI CPictureFeed::StarterProc(LPVOID parameter) {
    CPictureFeed* feed = static_cast<CPictureFeed*>(parameter);
    feed->m_camera.Start(feed->m_url.c_str());
    return 0;
}

void CPictureFeed::JoinStarter() {
    if (!m_hStarter) return;
    WaitForSingleObject(m_hStarter.Get(), INFINITE);
    m_hStarter.Close();
}

bool CPictureFeed::Buffer::Fit(size_t size) {
    if (bytes == size) return true;
    data.reset(new (std::nothrow) BYTE[size]);
    bytes = data ? size : 0;
    return data != nullptr;
}

const BYTE* CPictureFeed::Picture(PictureFormat format, size_t* cbPicture) {
    const LONG width = m_store.StoreWidth();
    const LONG height = m_store.StoreHeight();
    *cbPicture = FormattedBytes(format, width, height);
    const LONG cbStore = CFrameStore::StoreBytes(width, height);
    if (*cbPicture == 0 || cbStore == 0) return nullptr;

    const BYTE* card = m_card.CardIfDue(m_store, &m_camera);
    const Shown shown = card ? Shown::kCard : Shown::kStore;
    const uint32_t version = card ? m_card.Draws() : m_store.PictureCount();
    if (shown == m_shown && version == m_cShownVersion && format == m_convertedFormat) return m_converted.data.get();

    m_shown = Shown::kNothing;
    const BYTE* source = card;
    if (!card) {
        // A picture newer than the count read may come in: the next call converts again.
        if (!m_storeCopy.Fit(size_t(cbStore)) || m_store.CopyStore(m_storeCopy.data.get(), cbStore) != cbStore) {
            return nullptr;
        }
        source = m_storeCopy.data.get();
    }
    if (!m_converted.Fit(*cbPicture)) return nullptr;
    ConvertPicture(format, source, width, height, m_converted.data.get(), m_converted.bytes);
    m_shown = shown;
    m_cShownVersion = version;
    m_convertedFormat = format;
    return m_converted.data.get();
}
