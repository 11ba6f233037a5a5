#include "media/PointerList.h"

#include <new>

CPointerListBase::POSITION CPointerListBase::AddTailObject(void* pObject) {
    CNode* pNode = new (std::nothrow) CNode;
    if (pNode == nullptr) {
        return nullptr;
    }
    pNode->m_pNext = nullptr;
    pNode->m_pObject = pObject;
    if (m_pLast != nullptr) {
        m_pLast->m_pNext = pNode;
    } else {
        m_pFirst = pNode;
    }
    m_pLast = pNode;
    ++m_Count;
    return pNode;
}

bool CPointerListBase::AddTailList(const CPointerListBase& other) {
    // Appending a list to itself stops at the nodes it had on entry.
    LONG remaining = other.m_Count;
    for (CNode* pNode = other.m_pFirst; pNode != nullptr && remaining > 0; pNode = pNode->m_pNext, --remaining) {
        if (AddTailObject(pNode->m_pObject) == nullptr) {
            return false;
        }
    }
    return true;
}

CPointerListBase::POSITION CPointerListBase::FindObject(const void* pObject) const {
    for (CNode* pNode = m_pFirst; pNode != nullptr; pNode = pNode->m_pNext) {
        if (pNode->m_pObject == pObject) {
            return pNode;
        }
    }
    return nullptr;
}

void* CPointerListBase::GetNextObject(POSITION& pos) const {
    if (pos == nullptr) {
        return nullptr;
    }
    void* pObject = pos->m_pObject;
    pos = pos->m_pNext;
    return pObject;
}

void CPointerListBase::RemoveAll() {
    CNode* pNode = m_pFirst;
    while (pNode != nullptr) {
        CNode* pNext = pNode->m_pNext;
        delete pNode;
        pNode = pNext;
    }
    m_pFirst = nullptr;
    m_pLast = nullptr;
    m_Count = 0;
}
