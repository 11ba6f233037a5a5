// CMediaType: a value that owns one AM_MEDIA_TYPE record (its format block in
// task memory and one reference on pUnk), and the free functions that create,
// copy, free and delete such records.
//
// Ownership: a record with cbFormat != 0 owns pbFormat (cbFormat bytes of task
// memory); a record with cbFormat == 0 owns no block, whatever pbFormat holds;
// a non-null pUnk is one counted reference owned by the record.
// CMediaType adds no fields and no virtual functions, so it can stand wherever
// an AM_MEDIA_TYPE is expected. Not thread-safe: the owner serialises access
// (pins keep their types under the filter lock).
#pragma once

#include "platform/platform.h"

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    ~CMediaType();
    // Deep copies; a copy that runs out of memory has no format block.
    CMediaType(const CMediaType& other);
    explicit CMediaType(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& other);

    // Replaces the content by a deep copy of mt; S_OK or E_OUTOFMEMORY (then
    // the fixed fields are copied and there is no format block).
    HRESULT Set(const AM_MEDIA_TYPE& mt);

    // Same major type, subtype, format type and format bytes; sample size,
    // temporal compression and pUnk are not compared.
    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }

    // Forgets the content without freeing it (for a caller that has handed the
    // format block and pUnk on): every byte zero, fixed-size samples of 1 byte.
    void InitMediaType();

    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }

    void SetType(const GUID* ptype) { majortype = *ptype; }
    void SetSubtype(const GUID* ptype) { subtype = *ptype; }
    void SetFormatType(const GUID* ptype) { formattype = *ptype; }
    void SetTemporalCompression(BOOL bCompressed) { bTemporalCompression = bCompressed; }
    // 0 means variable-size samples.
    void SetSampleSize(ULONG size);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    // lSampleSize for fixed-size samples, else 0.
    ULONG GetSampleSize() const { return bFixedSizeSamples ? lSampleSize : 0; }

    // A format block of length bytes, content not initialised; the current
    // block when the length is unchanged, or when a smaller block cannot be
    // allocated (cbFormat then keeps its larger value); null when a larger one
    // cannot be allocated (nothing changed). A length of 0 frees the block and
    // answers null.
    BYTE* AllocFormatBuffer(ULONG length);
    // Frees the format block: cbFormat 0, pbFormat null.
    void FreeFormatBuffer();

    // GUID_NULL major or format type: a partial type, which matches as a pattern.
    bool IsPartiallySpecified() const;
    // GUID_NULL fields of partial are wildcards; a partial format type makes
    // the whole format block binding.
    bool MatchesPartial(const CMediaType* partial) const;
};

// Deep copy of source into target, whose content is overwritten, not freed.
// S_OK; E_OUTOFMEMORY when the format block cannot be allocated, or
// E_INVALIDARG for a source that claims a format block but has none; on failure
// the target keeps the fixed fields with no format block and no pUnk.
HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);
// Frees the format block and releases pUnk; the record itself stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// A task-memory deep copy of source (for handing across an interface), or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pSrc);
// Frees a task-memory record and what it owns; null is ignored.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);

// Bytes of image data of a bitmap: rows padded to 4 bytes, times |height|.
DWORD GetBitmapSize(const BITMAPINFOHEADER* pHeader);
// The video subtype a bitmap header implies (GUID_NULL when none). A 16-bit
// BI_BITFIELDS header must be followed by its three colour masks.
GUID GetBitmapSubtype(const BITMAPINFOHEADER* pHeader);
