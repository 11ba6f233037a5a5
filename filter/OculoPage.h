// The slot's property page: what applications' "camera settings" buttons
// show, through the system's property frame, for a slot's filter (which
// names the page through ISpecifyPropertyPages). It shows the slot's
// settings and its camera's live status, and starts Oculo Settings.
//
// On Windows the page is a dialog (OculoPageWin.cpp; its template is in the
// module's resources, module/Oculo.rc). Other systems have no windows to
// show it in: there the class cannot be made (OculoPagePosix.cpp).
#pragma once

#include "framework/Unknown.h"

// {0CF84602-FEC2-4077-A1AB-4D7BB2948B1B}
inline const CLSID CLSID_OculoPage = {0x0CF84602, 0xFEC2, 0x4077, {0xA1, 0xAB, 0x4D, 0x7B, 0xB2, 0x94, 0x8B, 0x1B}};

// The page's class name, as registered.
inline const WCHAR kOculoPageName[] = L"Oculo camera page";

// The creation function of the page's row in the module's class table;
// where there are no windows it reports CLASS_E_CLASSNOTAVAILABLE.
CUnknown* CreateOculoPage(LPUNKNOWN pUnk, HRESULT* phr);
