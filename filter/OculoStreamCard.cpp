// The pin's status card in its samples (when it is due: CStatusCard::ComposeIfDue).
#include "filter/Oculo.h"
#include "filter/OculoStream.h"

bool COculoStream::CopyStatusCard(BYTE* pData, LONG cbData) {
    if (m_pParentFilter->m_Settings.status == 0) {
        return false;
    }
    const BYTE* pCard = m_card.ComposeIfDue(*this, m_cPicturesAtRunStart, m_pCamera.get());
    if (!pCard) {
        return false;  // not due, or no memory for it: the store's picture, as without the card
    }
    const LONG cbCard = StoreBytes(StoreWidth(), StoreHeight());
    if (cbData >= cbCard) {
        std::memcpy(pData, pCard, size_t(cbCard));
    }
    return true;
}
