// The reference holder every layer uses: each verb moves the count exactly as
// its contract says, so a holder neither leaks nor over-releases.
#include <gtest/gtest.h>

#include <utility>

#include "platform/ComRef.h"
#include "tests/FakeUnknown.h"

namespace {

// Counts its references; lives on the stack, so a stray release shows as a
// negative count rather than a crash. An optimising GCC cannot see that a
// held fake never reaches the deletion in Release, and warns of it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif
class CCounted final : public CFakeUnknown<ComInterface<IUnknown>> {
public:
    CCounted() : CFakeUnknown(FakeLife::Held, 0) {}
};
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TEST(PlatformComRef, EveryVerbKeepsTheCountBalanced) {
    CCounted object;
    {
        CComRef<IUnknown> counted(&object);  // takes a reference of its own
        EXPECT_EQ(1, object.RefCount());
        object.AddRef();
        CComRef<IUnknown> attached;
        attached.Attach(&object);  // takes over the one just made
        EXPECT_EQ(2, object.RefCount());

        IUnknown* copy = nullptr;
        EXPECT_EQ(S_OK, attached.CopyTo(&copy));
        EXPECT_EQ(3, object.RefCount());
        copy->Release();
        EXPECT_EQ(E_POINTER, attached.CopyTo(nullptr));

        // Put releases what the holder had before the call fills the slot.
        EXPECT_EQ(S_OK, object.QueryInterface(IID_IUnknown, attached.PutVoid()));
        EXPECT_EQ(2, object.RefCount());

        // A query into a holder empties it first and leaves it empty on failure.
        CComRef<IUnknown> other(&object);
        EXPECT_EQ(E_NOINTERFACE, counted.As(IID_IPin, &other));
        EXPECT_FALSE(other);
        EXPECT_EQ(2, object.RefCount());
        EXPECT_EQ(S_OK, counted.As(IID_IUnknown, &other));
        IUnknown* detached = other.Detach();  // leaves with its reference
        EXPECT_EQ(3, object.RefCount());
        detached->Release();

        CComRef<IUnknown> moved(std::move(counted));
        EXPECT_FALSE(counted);
        EXPECT_EQ(2, object.RefCount());
    }
    EXPECT_EQ(0, object.RefCount());

    IUnknown* raw = &object;
    object.AddRef();
    ReleaseAndClear(raw);
    EXPECT_EQ(nullptr, raw);
    ReleaseAndClear(raw);  // nothing held: nothing released
    EXPECT_EQ(0, object.RefCount());
}

}  // namespace
