// The pin's status card: whether a sample shows it, and what it is made from.
#include "camera/ExtendedTickCount.h"
#include "camera/IPCameraBase.h"
#include "filter/Oculo.h"
#include "filter/OculoStream.h"
#include "status/StatusText.h"

bool COculoStream::CopyStatusCard(BYTE* pData, LONG cbData) {
    if (m_pParentFilter->m_Settings.status == 0) {
        return false;
    }
    // In this order: a picture counted is never newer than its time, nor
    // its time than now.
    const uint32_t cPictures = PictureCount();
    const uint64_t ullLastPicture = LastPictureMs();
    const uint64_t ullNow = ExtendedTickCount();
    const bool bPictureThisRun = cPictures != m_cPicturesAtRunStart;
    if (bPictureThisRun && ullNow - ullLastPicture <= kCardAfterSilenceMs) {
        return false;
    }

    StatusCardFacts facts = {};
    facts.status = StoppedCameraStatus();
    if (m_pCamera) {
        m_pCamera->GetStatus(&facts.status);
    }
    facts.bPictureThisRun = bPictureThisRun;
    facts.cPictures = cPictures;
    facts.msSincePicture = cPictures > 0 ? ullNow - ullLastPicture : OCULO_NO_PICTURE_YET;
    GetLocalTime(&facts.now);
    const BYTE* pCard = m_card.Compose(*this, facts);
    if (!pCard) {
        return false;  // no memory for it: the store's picture, as without the card
    }
    const LONG cbCard = StoreBytes(StoreWidth(), StoreHeight());
    if (cbData >= cbCard) {
        std::memcpy(pData, pCard, size_t(cbCard));
    }
    return true;
}
