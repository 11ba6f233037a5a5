// The class table: ten slot classes, each building a COculo for its own
// slot, then the slots' property page, then (in the 64-bit Windows module)
// the slots' media sources for the camera service; and the registration data
// the slots share.
#include <new>

#include "filter/Oculo.h"
#include "filter/OculoPage.h"
#include "module/InstanceSettings.h"
#include "module/Module.h"
#include "module/SlotClasses.h"
#ifdef OCULO_MEDIA_SOURCE
#include "mfsource/SourceActivate.h"
#endif

namespace {

// {D2A278CE-E16B-43D5-A5E2-AECAFD64DF77}: the setup data's class, shared by the slots.
const CLSID CLSID_OculoSetup = {0xD2A278CE, 0xE16B, 0x43D5, {0xA5, 0xE2, 0xAE, 0xCA, 0xFD, 0x64, 0xDF, 0x77}};

WCHAR g_wszPinName[] = L"Output";  // the pin data's name field is not const in the SDK

const AMOVIESETUP_MEDIATYPE g_sudPinType = {&MEDIATYPE_Video, &GUID_NULL};

const AMOVIESETUP_PIN g_sudOutputPin = {
    g_wszPinName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &g_sudPinType,
};

const AMOVIESETUP_FILTER g_sudOculo = {&CLSID_OculoSetup, L"Oculo", MERIT_DO_NOT_USE, 1, &g_sudOutputPin};

REGFILTER2 MakeFilterData() {
    REGFILTER2 rf2 = {};
    rf2.dwVersion = 1;
    rf2.dwMerit = MERIT_DO_NOT_USE;
    rf2.cPins = 1;
    rf2.rgPins = &g_sudOutputPin;
    return rf2;
}

// The display names, filled by DllMain before anything reads them.
WCHAR g_wszSlotNames[g_cSlots][kSlotNameChars];

template <int Slot>
CUnknown* CreateSlotFilter(LPUNKNOWN pUnk, HRESULT* phr) {
    return new (std::nothrow) COculo(pUnk, phr, Slot);
}

}  // namespace

const REGFILTER2 g_rf2Oculo = MakeFilterData();

CFactoryTemplate g_Templates[] = {
    {g_wszSlotNames[0], &g_SlotClsids[0], CreateSlotFilter<0>, nullptr, &g_sudOculo},
    {g_wszSlotNames[1], &g_SlotClsids[1], CreateSlotFilter<1>, nullptr, &g_sudOculo},
    {g_wszSlotNames[2], &g_SlotClsids[2], CreateSlotFilter<2>, nullptr, &g_sudOculo},
    {g_wszSlotNames[3], &g_SlotClsids[3], CreateSlotFilter<3>, nullptr, &g_sudOculo},
    {g_wszSlotNames[4], &g_SlotClsids[4], CreateSlotFilter<4>, nullptr, &g_sudOculo},
    {g_wszSlotNames[5], &g_SlotClsids[5], CreateSlotFilter<5>, nullptr, &g_sudOculo},
    {g_wszSlotNames[6], &g_SlotClsids[6], CreateSlotFilter<6>, nullptr, &g_sudOculo},
    {g_wszSlotNames[7], &g_SlotClsids[7], CreateSlotFilter<7>, nullptr, &g_sudOculo},
    {g_wszSlotNames[8], &g_SlotClsids[8], CreateSlotFilter<8>, nullptr, &g_sudOculo},
    {g_wszSlotNames[9], &g_SlotClsids[9], CreateSlotFilter<9>, nullptr, &g_sudOculo},
    {kOculoPageName, &CLSID_OculoPage, CreateOculoPage, nullptr, nullptr},
#ifdef OCULO_MEDIA_SOURCE
    {g_wszSlotNames[0], &g_MediaSourceClsids[0], CSourceActivate::CreateForSlot<0>, nullptr, nullptr},
    {g_wszSlotNames[1], &g_MediaSourceClsids[1], CSourceActivate::CreateForSlot<1>, nullptr, nullptr},
    {g_wszSlotNames[2], &g_MediaSourceClsids[2], CSourceActivate::CreateForSlot<2>, nullptr, nullptr},
    {g_wszSlotNames[3], &g_MediaSourceClsids[3], CSourceActivate::CreateForSlot<3>, nullptr, nullptr},
    {g_wszSlotNames[4], &g_MediaSourceClsids[4], CSourceActivate::CreateForSlot<4>, nullptr, nullptr},
    {g_wszSlotNames[5], &g_MediaSourceClsids[5], CSourceActivate::CreateForSlot<5>, nullptr, nullptr},
    {g_wszSlotNames[6], &g_MediaSourceClsids[6], CSourceActivate::CreateForSlot<6>, nullptr, nullptr},
    {g_wszSlotNames[7], &g_MediaSourceClsids[7], CSourceActivate::CreateForSlot<7>, nullptr, nullptr},
    {g_wszSlotNames[8], &g_MediaSourceClsids[8], CSourceActivate::CreateForSlot<8>, nullptr, nullptr},
    {g_wszSlotNames[9], &g_MediaSourceClsids[9], CSourceActivate::CreateForSlot<9>, nullptr, nullptr},
#endif
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
#ifdef OCULO_MEDIA_SOURCE
static_assert(sizeof(g_Templates) / sizeof(g_Templates[0]) == 2 * g_cSlots + 1, "slots, page, media sources");
#else
static_assert(sizeof(g_Templates) / sizeof(g_Templates[0]) == g_cSlots + 1, "the slots' rows, then the page's");
#endif

void LoadTemplateName(WCHAR* buffer, DWORD slot, DWORD capacity) {
    if (buffer == nullptr || capacity == 0) {
        return;
    }
    const InstanceSettings settings = LoadInstanceSettings(slot);
    DWORD i = 0;
    for (; i + 1 < capacity && settings.name[i] != 0; i++) {
        buffer[i] = settings.name[i];
    }
    buffer[i] = 0;
}

void LoadTemplateNames() {
    for (DWORD slot = 0; slot < g_cSlots; slot++) {
        LoadTemplateName(g_wszSlotNames[slot], slot, kSlotNameChars);
    }
}
