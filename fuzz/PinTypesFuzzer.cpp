// The output pin's type handling over arbitrary media types from peers and
// clients: CheckMediaType, QueryAccept, SetFormat, GetFormat, GetStreamCaps,
// the pin's own types, and a connection proposed with the type (Connect to a
// rendering sink, which runs CheckMediaType, the peer's ReceiveConnection,
// the allocator agreement and DecideBufferSize). The format block is exactly
// the bytes of the input it came from; cbFormat never claims more.
// Slots of a few sizes are made once: a usual one, odd tiny ones and ones
// whose image cannot exist.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filter/Oculo.h"
#include "filter/OculoStream.h"
#include "framework/ClassFactory.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzRegistry.h"
#include "host/RenderSink.h"
#include "module/SlotClasses.h"

CFactoryTemplate g_Templates[4] = {{L"Oculo 01", &g_SlotClsids[0], nullptr, nullptr, nullptr},
                                   {L"Oculo 02", &g_SlotClsids[1], nullptr, nullptr, nullptr},
                                   {L"Oculo 03", &g_SlotClsids[2], nullptr, nullptr, nullptr},
                                   {L"Oculo 04", &g_SlotClsids[3], nullptr, nullptr, nullptr}};
int g_cTemplates = 0;

namespace {

const LONG kSizes[4][2] = {{64, 48}, {3, 1}, {0, 0}, {40000, 40000}};

struct Slot {
    COculo* filter = nullptr;
    COculoStream* pin = nullptr;
};
Slot g_slots[4];
CRenderSink* g_sink = nullptr;

GUID PickGuid(FuzzInput& in, const GUID& usual) {
    const uint8_t kind = in.Byte();
    if (kind < 0xC0) return usual;
    if (kind < 0xE0) return GUID_NULL;
    GUID guid;
    size_t taken = 0;
    const uint8_t* bytes = in.Take(sizeof(guid), &taken);
    std::memset(&guid, 0, sizeof(guid));
    std::memcpy(&guid, bytes, taken);
    return guid;
}

void Check(bool ok, const char* what) {
    if (!ok) FuzzFail("%s", what);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzRegistryFile();
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) FuzzFail("no COM");
    for (int slot = 0; slot < 4; ++slot) {
        WCHAR key[64];
        swprintf(key, 64, L"SOFTWARE\\TALVO\\Oculo\\%02d", slot);
        RegWriteDword(key, L"enable", 1);
        RegWriteString(key, L"url", L"");
        RegWriteDword(key, L"w", DWORD(kSizes[slot][0]));
        RegWriteDword(key, L"h", DWORD(kSizes[slot][1]));
        RegWriteFloat(key, L"fps", 25.0f);
        HRESULT hr = E_FAIL;
        Slot& s = g_slots[slot];
        s.filter = new COculo(nullptr, &hr, slot);
        s.filter->NonDelegatingAddRef();
        if (FAILED(hr)) FuzzFail("cannot make slot %d's filter", slot);
        s.pin = static_cast<COculoStream*>(s.filter->GetPin(0));
    }
    if (FAILED(CRenderSink::Create(&g_sink))) FuzzFail("no sink");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t choice = in.Byte();
    Slot& slot = g_slots[choice % 4];
    COculoStream* pin = slot.pin;
    const uint8_t flags = in.Byte();

    AM_MEDIA_TYPE mt = {};
    mt.majortype = PickGuid(in, MEDIATYPE_Video);
    mt.subtype = PickGuid(in, MEDIASUBTYPE_RGB24);
    mt.formattype = PickGuid(in, FORMAT_VideoInfo);
    mt.bFixedSizeSamples = flags & 1;
    mt.bTemporalCompression = (flags >> 1) & 1;
    mt.lSampleSize = in.U32();
    size_t cbFormat = 0;
    const uint8_t* format = in.Take(in.U16(), &cbFormat);
    std::vector<BYTE> block(format, format + cbFormat);
    // Often the block names the slot's own size, so the deeper paths are reached.
    if ((flags & 4) && block.size() >= sizeof(VIDEOINFOHEADER)) {
        VIDEOINFOHEADER* vih = reinterpret_cast<VIDEOINFOHEADER*>(block.data());
        vih->bmiHeader.biWidth = kSizes[choice % 4][0];
        vih->bmiHeader.biHeight = kSizes[choice % 4][1];
    }
    mt.cbFormat = ULONG(block.size());
    mt.pbFormat = block.empty() ? nullptr : block.data();

    const CMediaType type(mt);
    const HRESULT hrCheck = pin->CheckMediaType(&type);
    Check((pin->QueryAccept(&mt) == S_OK) == (hrCheck == S_OK), "QueryAccept and CheckMediaType disagree");

    if (flags & 8) {
        const HRESULT hrSet = pin->SetFormat(&mt);
        if (hrSet == S_OK) {
            AM_MEDIA_TYPE* pCurrent = nullptr;
            Check(pin->GetFormat(&pCurrent) == S_OK && pCurrent, "GetFormat failed after SetFormat");
            Check(CMediaType(*pCurrent) == type, "GetFormat differs from the type set");
            DeleteMediaType(pCurrent);
        }
    }
    AM_MEDIA_TYPE* pCaps = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps;
    if (pin->GetStreamCaps(int(in.Byte()) - 1, &pCaps, reinterpret_cast<BYTE*>(&caps)) == S_OK) {
        Check(pCaps->cbFormat >= sizeof(VIDEOINFOHEADER) && pCaps->pbFormat, "GetStreamCaps gave no format");
        DeleteMediaType(pCaps);
    }
    CMediaType own;
    pin->GetMediaType(int(in.Byte() % 3) - 1, &own);

    // A connection proposed with the type; whatever was agreed is undone.
    if (flags & 16) {
        // The sink offers an allocator of its own or none, and states
        // requirements (any numbers) or none.
        g_sink->Pin()->SetOfferAllocator((flags & 64) != 0);
        ALLOCATOR_PROPERTIES wanted = {};
        wanted.cBuffers = in.I32();
        wanted.cbBuffer = in.I32();
        wanted.cbAlign = in.I32();
        wanted.cbPrefix = in.I32();
        g_sink->Pin()->SetAllocatorRequirements((flags & 128) ? &wanted : nullptr);
        const HRESULT hrConnect = pin->Connect(g_sink->InputPin(), (flags & 32) ? nullptr : &mt);
        if (std::getenv("OCULO_FUZZ_VERBOSE")) std::fprintf(stderr, "connect: 0x%08x\n", unsigned(hrConnect));
        if (hrConnect == S_OK) {
            AM_MEDIA_TYPE connected = {};
            Check(pin->ConnectionMediaType(&connected) == S_OK, "no connection type");
            FreeMediaType(connected);
            pin->Disconnect();
            g_sink->InputPin()->Disconnect();
        }
    }

    // Back to the slot's default type, so inputs do not depend on each other.
    CMediaType initial;
    if (pin->GetMediaType(1, &initial) == S_OK) pin->SetFormat(&initial);
    return 0;
}
