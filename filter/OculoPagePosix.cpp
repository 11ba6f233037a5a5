// Without windows there is no page to make; the filter still names it, as
// on Windows.
#include "filter/OculoPage.h"

CUnknown* CreateOculoPage(LPUNKNOWN /*pUnk*/, HRESULT* phr) {
    if (phr) {
        *phr = CLASS_E_CLASSNOTAVAILABLE;
    }
    return nullptr;
}
