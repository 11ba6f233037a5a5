// The connection agreement and allocator negotiation of the output pin,
// against a hand-written downstream pin.
#include <gtest/gtest.h>

#include <algorithm>

#include "CounterSource.h"
#include "FakePeer.h"

namespace {

CMediaType TypeOf(const GUID& subtype) {
    CMediaType mt;
    MakeCounterType(&mt, subtype);
    return mt;
}

int Count(const std::vector<std::string>& hooks, const char* name) {
    return static_cast<int>(std::count(hooks.begin(), hooks.end(), std::string(name)));
}

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pSource = CCounterSource::Create();
        ASSERT_NE(m_pSource, nullptr);
        m_pStream = m_pSource->Stream();
        m_pPeer = new CFakeInputPin();
        m_pPeerAllocator = new CFakeAllocator();
        m_pOwnAllocator = new CFakeAllocator();
        CFakeAllocator* pOwn = m_pOwnAllocator;
        // Our "platform" allocator, so that these tests need no COM runtime.
        m_pStream->m_cfg.initAllocator = [pOwn](IMemAllocator** pp) {
            pOwn->AddRef();
            *pp = pOwn;
            return S_OK;
        };
    }
    void TearDown() override {
        if (!m_pSource) {
            return;  // the test released everything itself
        }
        m_pSource->Filter()->Stop();
        m_pStream->Disconnect();
        m_pPeer->Disconnect();  // the peer's reference on our pin
        EXPECT_EQ(m_pSource->Filter()->Release(), 0u);
        // Nothing the pin took from the peer side is left over.
        EXPECT_EQ(m_pPeer->Release(), 0u);
        EXPECT_EQ(m_pPeerAllocator->Release(), 0u);
        EXPECT_EQ(m_pOwnAllocator->Release(), 0u);
    }
    // The pin is unconnected, holds nothing of the peer, and every hook run
    // was followed by BreakConnect.
    void ExpectCleanFailure() {
        IPin* pPeer = reinterpret_cast<IPin*>(1);
        EXPECT_EQ(m_pStream->ConnectedTo(&pPeer), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(pPeer, nullptr);
        EXPECT_EQ(m_pPeer->RefCount(), 1);
        EXPECT_FALSE(m_pStream->HasAllocator());
        EXPECT_FALSE(m_pStream->HasInputPin());
        const std::vector<std::string> hooks = m_pStream->Hooks();
        ASSERT_FALSE(hooks.empty());
        EXPECT_EQ(hooks.back(), "BreakConnect");
        EXPECT_GE(Count(hooks, "BreakConnect"), Count(hooks, "CheckConnect"));
    }

    CCounterSource* m_pSource = nullptr;
    CCounterStream* m_pStream = nullptr;
    CFakeInputPin* m_pPeer = nullptr;
    CFakeAllocator* m_pPeerAllocator = nullptr;
    CFakeAllocator* m_pOwnAllocator = nullptr;
    CMediaType m_rgb24 = TypeOf(MEDIASUBTYPE_RGB24);
    CMediaType m_rgb32 = TypeOf(MEDIASUBTYPE_RGB32);
};

TEST_F(ConnectionTest, ConnectsWithOwnTypeAndDisconnects) {
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    EXPECT_EQ(m_pPeer->m_connector.Get(), static_cast<IPin*>(m_pStream));
    // While deciding, the peer already sees the connector connected to it.
    EXPECT_EQ(m_pPeer->m_hrConnectorConnectedTo, S_OK);
    EXPECT_EQ(m_pStream->Hooks(),
              (std::vector<std::string>{"CheckConnect", "CheckMediaType", "SetMediaType", "CompleteConnect"}));
    IPin* pPeer = nullptr;
    ASSERT_EQ(m_pStream->ConnectedTo(&pPeer), S_OK);
    EXPECT_EQ(pPeer, static_cast<IPin*>(m_pPeer));
    pPeer->Release();
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(m_pStream->ConnectionMediaType(&mt), S_OK);
    EXPECT_TRUE(TypeOf(MEDIASUBTYPE_RGB24) == *static_cast<CMediaType*>(&mt));
    FreeMediaType(mt);
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_ALREADY_CONNECTED);

    EXPECT_EQ(m_pStream->Disconnect(), S_OK);
    EXPECT_EQ(m_pStream->Disconnect(), S_FALSE);
    EXPECT_EQ(m_pStream->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(mt.lSampleSize, 1u);
    EXPECT_EQ(mt.majortype, GUID_NULL);
    m_pPeer->Disconnect();
    EXPECT_EQ(m_pPeer->RefCount(), 1);
}

TEST_F(ConnectionTest, FullySpecifiedTypeIsTheOnlyCandidate) {
    m_pPeer->m_types = {TypeOf(MEDIASUBTYPE_RGB24)};
    m_pStream->m_cfg.hrCheckMediaType = E_FAIL;
    CMediaType full = TypeOf(MEDIASUBTYPE_RGB24);
    EXPECT_EQ(m_pStream->Connect(m_pPeer, &full), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_TRUE(m_pPeer->m_offered.empty());
    ExpectCleanFailure();

    // A vague success from the type check is not acceptance either.
    m_pStream->m_cfg.hrCheckMediaType = S_FALSE;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, &full), VFW_E_TYPE_NOT_ACCEPTED);
    ExpectCleanFailure();
}

TEST_F(ConnectionTest, PartialTypeTriesPeerTypesThenOwnMatchingOnes) {
    m_pStream->m_cfg.subtypes = {MEDIASUBTYPE_RGB565, MEDIASUBTYPE_RGB24};
    m_pPeer->m_types = {TypeOf(MEDIASUBTYPE_RGB565), TypeOf(MEDIASUBTYPE_RGB24)};
    m_pPeer->m_hrReceiveConnection = E_FAIL;
    CMediaType partial;
    partial.SetSubtype(&MEDIASUBTYPE_RGB24);  // major and format type GUID_NULL
    EXPECT_EQ(m_pStream->Connect(m_pPeer, &partial), VFW_E_NO_ACCEPTABLE_TYPES);
    // The peer's RGB24, then our own RGB24; the RGB565s never match.
    EXPECT_EQ(m_pPeer->m_offered, (std::vector<GUID>{MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB24}));
    ExpectCleanFailure();

    // Without a type every candidate is offered, the peer's first.
    m_pPeer->m_offered.clear();
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(m_pPeer->m_offered.size(), 4u);
    ExpectCleanFailure();

    m_pPeer->m_hrReceiveConnection = S_OK;
    m_pPeer->m_offered.clear();
    ASSERT_EQ(m_pStream->Connect(m_pPeer, &partial), S_OK);
    EXPECT_EQ(m_pPeer->m_offered, (std::vector<GUID>{MEDIASUBTYPE_RGB24}));
}

TEST_F(ConnectionTest, SpecificRefusalIsReportedGenericOnesAreNot) {
    m_pPeer->m_hrReceiveConnection = E_OUTOFMEMORY;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), E_OUTOFMEMORY);
    ExpectCleanFailure();
    for (HRESULT hr : {E_FAIL, E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED}) {
        m_pPeer->m_hrReceiveConnection = hr;
        EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
        ExpectCleanFailure();
    }
}

TEST_F(ConnectionTest, RefusesPeersOfTheSameDirectionOrWithoutMemoryInput) {
    m_pPeer->m_dir = PINDIR_OUTPUT;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_INVALID_DIRECTION);
    ExpectCleanFailure();
    EXPECT_EQ(m_pStream->ReceiveConnection(m_pPeer, &m_rgb24), VFW_E_INVALID_DIRECTION);
    ExpectCleanFailure();

    m_pPeer->m_dir = PINDIR_INPUT;
    m_pPeer->m_bMemInput = false;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), E_NOINTERFACE);
    ExpectCleanFailure();
}

TEST_F(ConnectionTest, FailedCompletionDisconnectsThePeer) {
    m_pStream->m_cfg.hrCompleteConnect = E_OUTOFMEMORY;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(m_pPeer->m_cDisconnect, 1);
    EXPECT_EQ(m_pPeer->m_connector.Get(), nullptr);
    ExpectCleanFailure();
}

TEST_F(ConnectionTest, PeerAllocatorIsPreferred) {
    m_pPeer->m_pOwnAllocator = m_pPeerAllocator;
    m_pPeer->m_bRequirements = true;
    m_pPeer->m_requirements = {3, 100, 0, 0};  // alignment 0 becomes 1
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    EXPECT_EQ(m_pPeer->m_pNotified, static_cast<IMemAllocator*>(m_pPeerAllocator));
    EXPECT_EQ(m_pStream->m_cInitAllocator.load(), 0);
    EXPECT_EQ(m_pStream->m_propsSeen.cBuffers, 3);
    EXPECT_EQ(m_pStream->m_propsSeen.cbAlign, 1);
    EXPECT_EQ(m_pPeerAllocator->m_request.cbBuffer, kFrameBytes);
    EXPECT_EQ(m_pPeerAllocator->RefCount(), 2);  // the test's and ours
    EXPECT_EQ(m_pStream->Disconnect(), S_OK);
    EXPECT_EQ(m_pPeerAllocator->m_cDecommit, 1);
    EXPECT_EQ(m_pPeerAllocator->RefCount(), 1);
}

TEST_F(ConnectionTest, FallsBackToOwnAllocatorWithWhatTheFirstTryLeft) {
    m_pPeer->m_pOwnAllocator = m_pPeerAllocator;
    m_pPeerAllocator->m_hrSetProperties = E_INVALIDARG;
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    EXPECT_EQ(m_pStream->m_cInitAllocator.load(), 1);
    EXPECT_EQ(m_pPeer->m_pNotified, static_cast<IMemAllocator*>(m_pOwnAllocator));
    // The second DecideBufferSize got the record the first one filled in.
    EXPECT_EQ(m_pStream->m_propsSeen.cBuffers, 2);
    EXPECT_EQ(m_pStream->m_propsSeen.cbBuffer, kFrameBytes);
    EXPECT_EQ(m_pPeerAllocator->RefCount(), 1);  // ours was released
    EXPECT_EQ(m_pStream->Disconnect(), S_OK);
}

TEST_F(ConnectionTest, NoUsableAllocatorUndoesTheConnection) {
    m_pPeer->m_hrNotifyAllocator = VFW_E_NO_ALLOCATOR;
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_NO_ALLOCATOR);
    EXPECT_EQ(m_pPeer->m_cDisconnect, 1);
    ExpectCleanFailure();
    EXPECT_EQ(m_pOwnAllocator->RefCount(), 1);
}

TEST_F(ConnectionTest, ConnectingAndDisconnectingRefusedWhileNotStopped) {
    IBaseFilter* f = m_pSource->Filter();
    ASSERT_EQ(f->Pause(), S_OK);  // unconnected: no worker
    EXPECT_EQ(m_pStream->Connect(m_pPeer, nullptr), VFW_E_NOT_STOPPED);
    EXPECT_EQ(m_pStream->ReceiveConnection(m_pPeer, &m_rgb24), VFW_E_NOT_STOPPED);
    EXPECT_EQ(f->Stop(), S_OK);

    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    // Paused with a connected pin: committed, the worker finds no buffers
    // (the fake allocator has none) and keeps checking for commands.
    ASSERT_EQ(f->Pause(), S_OK);
    EXPECT_EQ(m_pOwnAllocator->m_cCommit, 1);
    EXPECT_TRUE(m_pStream->ThreadExists());
    EXPECT_EQ(m_pStream->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(f->Run(0), S_OK);
    EXPECT_EQ(m_pStream->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(f->Stop(), S_OK);
    EXPECT_FALSE(m_pStream->ThreadExists());
    EXPECT_EQ(m_pOwnAllocator->m_cDecommit, 1);
    EXPECT_EQ(m_pStream->m_cThreadCreates.load(), 1);
    EXPECT_EQ(m_pStream->m_cThreadDestroys.load(), 1);
    EXPECT_EQ(m_pStream->Disconnect(), S_OK);
}

// A decommit that fails is reported, but the worker is stopped and joined all
// the same: a pin left with a running worker would be destroyed under it.
TEST_F(ConnectionTest, FailedDecommitStillStopsTheWorker) {
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    IBaseFilter* f = m_pSource->Filter();
    ASSERT_EQ(f->Run(0), S_OK);
    ASSERT_TRUE(m_pStream->ThreadExists());
    m_pOwnAllocator->m_hrDecommit = E_UNEXPECTED;
    EXPECT_EQ(f->Stop(), E_UNEXPECTED);
    EXPECT_FALSE(m_pStream->ThreadExists());
    EXPECT_EQ(m_pStream->m_cThreadDestroys.load(), 1);
    m_pOwnAllocator->m_hrDecommit = S_OK;
}

// A Pause that fails after the commit leaves the filter stopped with its
// allocator committed; a filter released like that must still decommit it, or
// a real allocator keeps itself (and its buffers) alive for ever.
TEST_F(ConnectionTest, FilterReleasedAfterFailedPauseDecommitsItsAllocator) {
    m_pStream->m_cfg.hrThreadCreate = E_ABORT;
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    EXPECT_EQ(m_pSource->Filter()->Pause(), E_ABORT);
    EXPECT_EQ(m_pOwnAllocator->m_cCommit, 1);
    EXPECT_EQ(m_pOwnAllocator->m_cDecommit, 0);
    m_pPeer->Disconnect();  // the peer lets go of our pin; ours stays connected
    EXPECT_EQ(m_pSource->Filter()->Release(), 0u);
    m_pSource = nullptr;
    EXPECT_EQ(m_pOwnAllocator->m_cDecommit, 1);
    EXPECT_EQ(m_pPeer->Release(), 0u);
    EXPECT_EQ(m_pPeerAllocator->Release(), 0u);
    EXPECT_EQ(m_pOwnAllocator->Release(), 0u);
}

TEST_F(ConnectionTest, DeliveryWithoutConnectionAndUpstreamCalls) {
    IMediaSample* pSample = nullptr;
    EXPECT_EQ(m_pStream->GetDeliveryBuffer(&pSample, nullptr, nullptr, 0), E_NOINTERFACE);
    EXPECT_EQ(m_pStream->Deliver(nullptr), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(m_pStream->DeliverEndOfStream(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(m_pStream->EndOfStream(), E_UNEXPECTED);
    EXPECT_EQ(m_pStream->BeginFlush(), E_UNEXPECTED);
    EXPECT_EQ(m_pStream->EndFlush(), E_UNEXPECTED);
    EXPECT_EQ(m_pStream->QueryAccept(&m_rgb32), S_FALSE);
    EXPECT_EQ(m_pStream->QueryAccept(&m_rgb24), S_OK);
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    EXPECT_EQ(m_pStream->DeliverEndOfStream(), S_OK);
    EXPECT_EQ(m_pPeer->m_cEndOfStream, 1);
}

TEST_F(ConnectionTest, PlatformAllocatorServesAPeerWithoutOne) {
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IMemAllocator* pProbe = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     reinterpret_cast<void**>(&pProbe)));
    pProbe->Release();
    m_pStream->m_cfg.initAllocator = nullptr;
    ASSERT_EQ(m_pStream->Connect(m_pPeer, nullptr), S_OK);
    ASSERT_NE(m_pPeer->m_pNotified, nullptr);
    ALLOCATOR_PROPERTIES props{};
    ASSERT_EQ(m_pPeer->m_pNotified->GetProperties(&props), S_OK);
    EXPECT_EQ(props.cBuffers, 2);
    EXPECT_GE(props.cbBuffer, kFrameBytes);
    EXPECT_EQ(m_pStream->Disconnect(), S_OK);
    if (SUCCEEDED(hrCom)) {
        CoUninitialize();
    }
}

}  // namespace
