#include <gtest/gtest.h>

#include <vector>

#include "media/PointerList.h"

namespace {

std::vector<int*> Contents(const CPointerList<int>& list) {
    std::vector<int*> out;
    for (CPointerList<int>::POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        out.push_back(list.GetNext(pos));
    }
    return out;
}

}  // namespace

TEST(PointerList, KeepsOrderAndFindsByIdentity) {
    int a = 1, b = 1, c = 2;
    CPointerList<int> list;
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_NE(list.AddTail(&a), nullptr);
    EXPECT_NE(list.AddTail(&b), nullptr);
    EXPECT_NE(list.AddTail(&a), nullptr);
    EXPECT_EQ(Contents(list), (std::vector<int*>{&a, &b, &a}));
    EXPECT_EQ(list.GetCount(), 3);

    // Identity, not value: b equals a by value but is its own entry; Find gives the first.
    CPointerList<int>::POSITION pos = list.Find(&a);
    ASSERT_EQ(pos, list.GetHeadPosition());
    EXPECT_EQ(list.GetNext(pos), &a);
    EXPECT_EQ(list.GetNext(pos), &b);
    EXPECT_EQ(list.Find(&c), nullptr);

    CPointerList<int>::POSITION end = nullptr;
    EXPECT_EQ(list.GetNext(end), nullptr);
    EXPECT_EQ(end, nullptr);

    list.RemoveAll();
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.Find(&a), nullptr);
    list.AddTail(&c);  // usable again after RemoveAll
    EXPECT_EQ(Contents(list), (std::vector<int*>{&c}));
}

TEST(PointerList, AppendsAnotherListAndItself) {
    int a = 0, b = 0, c = 0;
    CPointerList<int> first;
    CPointerList<int> second;
    first.AddTail(&a);
    second.AddTail(&b);
    second.AddTail(&c);
    EXPECT_TRUE(first.AddTail(second));
    EXPECT_EQ(Contents(first), (std::vector<int*>{&a, &b, &c}));
    EXPECT_EQ(Contents(second), (std::vector<int*>{&b, &c}));
    // Appending a list to itself doubles it once, never loops.
    EXPECT_TRUE(second.AddTail(second));
    EXPECT_EQ(Contents(second), (std::vector<int*>{&b, &c, &b, &c}));
    CPointerList<int> empty;
    EXPECT_TRUE(first.AddTail(empty));
    EXPECT_EQ(first.GetCount(), 3);
}
