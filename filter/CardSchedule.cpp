#include "filter/CardSchedule.h"

#include "camera/ExtendedTickCount.h"
#include "camera/IPCameraBase.h"
#include "filter/FrameStore.h"
#include "status/StatusText.h"

CCardSchedule::CCardSchedule(bool bShow, LPCWSTR name, LPCWSTR url) : m_bShow(bShow), m_card(name, url) {}

void CCardSchedule::BeginRun(const CFrameStore& store) { m_cPicturesAtRunStart = store.PictureCount(); }

const BYTE* CCardSchedule::CardIfDue(CFrameStore& store, CIPCameraBase* pCamera) {
    if (!m_bShow) {
        return nullptr;
    }
    // In this order: a picture counted is never newer than its time, nor
    // its time than now.
    const uint32_t cPictures = store.PictureCount();
    const uint64_t ullLastPicture = store.LastPictureMs();
    const uint64_t ullNow = ExtendedTickCount();
    const bool bPictureThisRun = cPictures != m_cPicturesAtRunStart.load();
    if (bPictureThisRun && ullNow - ullLastPicture <= kCardAfterSilenceMs) {
        return nullptr;
    }

    StatusCardFacts facts = {};
    facts.status = StoppedCameraStatus();
    if (pCamera) {
        pCamera->GetStatus(&facts.status);
    }
    facts.bPictureThisRun = bPictureThisRun;
    facts.cPictures = cPictures;
    facts.msSincePicture = cPictures > 0 ? ullNow - ullLastPicture : OCULO_NO_PICTURE_YET;
    GetLocalTime(&facts.now);
    return m_card.Compose(store, facts);
}
