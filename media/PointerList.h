// CPointerList<T>: an ordered list of object pointers (the pin enumerator's
// cache of pins already handed out). The list does not own the objects.
//
// Not thread-safe: the owner serialises access.
//
//   CPointerList<CBasePin> list;
//   list.AddTail(pPin);
//   for (CPointerList<CBasePin>::POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
//       CBasePin* p = list.GetNext(pos);
//   }
#pragma once

#include "platform/platform.h"

// The untyped list the template wraps; nodes are freed as soon as they leave
// the list.
class CPointerListBase {
public:
    // Singly linked: the list only appends, walks forward and clears.
    struct CNode {
        CNode* m_pNext;
        void* m_pObject;
    };
    typedef CNode* POSITION;

    CPointerListBase() : m_pFirst(nullptr), m_pLast(nullptr), m_Count(0) {}
    ~CPointerListBase() { RemoveAll(); }
    CPointerListBase(const CPointerListBase&) = delete;
    CPointerListBase& operator=(const CPointerListBase&) = delete;

    // Null when memory runs out (the list is then unchanged).
    POSITION AddTailObject(void* pObject);
    // Appends every object of another list in order; false as soon as one
    // append fails (those already appended stay).
    bool AddTailList(const CPointerListBase& other);
    // The first node holding exactly this pointer, or null.
    POSITION FindObject(const void* pObject) const;
    POSITION GetHeadPosition() const { return m_pFirst; }
    // The object at pos, advancing pos; a null position yields null.
    void* GetNextObject(POSITION& pos) const;
    void RemoveAll();
    LONG GetCount() const { return m_Count; }

private:
    CNode* m_pFirst;
    CNode* m_pLast;
    LONG m_Count;
};

template <class T>
class CPointerList : public CPointerListBase {
public:
    POSITION AddTail(T* pObject) { return AddTailObject(pObject); }
    bool AddTail(const CPointerList<T>& other) { return AddTailList(other); }
    POSITION Find(const T* pObject) const { return FindObject(pObject); }
    T* GetNext(POSITION& pos) const { return static_cast<T*>(GetNextObject(pos)); }
};
