// The process's one back-off for refused logins. Cameras lock an account
// that fails too often; every graph an application builds (some only to read
// the formats), every slot and every application's filter on one camera
// would otherwise start its own count at no wait, and together still lock it.
//
// An entry is one camera (scheme, host, port) and one login, kept as one
// SHA-1 digest: the table never holds a password, and a corrected password
// is another key, tried at once. Every connection attempt of every reader
// for a key takes the key's turn first. The camera's answer ends the turn:
// the next attempt may start at once, or after a refusal only after a pause
// that doubles with each refusal (1 s up to a minute), until a login is
// accepted. The table is bounded: entries left alone for a long time are
// reused first, and the least recently used go when it is full.
//
// Threads: any. One lock guards the table, held only to read and change
// entries, never while anyone waits; it nests inside nothing and takes
// nothing inside (the clock is read before it is taken).
#pragma once

#include <cstdint>

#include "camera/CameraReason.h"
#include "platform/Mutex.h"

// After a refused login: 1 s, then twice as long each time, up to a minute.
constexpr DWORD kLoginPauseFirstMs = 1000;
constexpr DWORD kLoginPauseMaxMs = 60000;
// A turn not ended for this long (longer than any attempt lasts) is over.
constexpr uint64_t kLoginTurnLimitMs = 30000;
// Entries whose key saw no attempt for this long are the first reused.
constexpr uint64_t kLoginForgetMs = 600000;

// The pause after the refused login that followed one of `previousMs` (0:
// the first refusal).
DWORD NextLoginPause(DWORD previousMs);

struct LoginKey {
    uint8_t digest[20] = {};
    bool operator==(const LoginKey& other) const;
};

// The key of a camera and login from an address's parts: `scheme` and
// `host` in any case, `port` -1 for the scheme's own, `auth` the user info
// as typed ("user:password", or empty).
LoginKey MakeLoginKey(const char* scheme, const char* host, int port, const char* auth);

class CLoginBackOff {
public:
    static constexpr int kEntries = 64;

    // The readers' table, on ExtendedTickCount.
    static CLoginBackOff& Shared();
    // `clock` gives milliseconds (tests give their own).
    explicit CLoginBackOff(uint64_t (*clock)());
    CLoginBackOff(const CLoginBackOff&) = delete;
    CLoginBackOff& operator=(const CLoginBackOff&) = delete;

    // Takes the key's turn when it is free (true). Otherwise false, with
    // when it will be (*freeAt) and the refusal that made it wait, if one
    // did (lReason OCULO_REASON_NONE when none).
    bool TryTake(const LoginKey& key, uint64_t* freeAt, CameraFailure* refusal) EXCLUDES(m_lock);
    // The holder's attempt ended; by the camera's answer to the login:
    void Refused(const LoginKey& key, const CameraFailure& refusal) EXCLUDES(m_lock);
    void Accepted(const LoginKey& key) EXCLUDES(m_lock);  // the back-off is over
    void Unanswered(const LoginKey& key) EXCLUDES(m_lock);  // the camera said nothing about it

private:
    struct Entry {
        bool bUsed = false;
        LoginKey key;
        DWORD dwPauseMs = 0;    // after the last refusal; 0: none
        uint64_t ullFreeAt = 0;  // when the next attempt may take the turn
        CameraFailure refusal;   // the last one, for readers that wait
        uint64_t ullLastUse = 0;  // m_ullUses when last asked about
    };
    Entry* Find(const LoginKey& key) REQUIRES(m_lock);
    // The key's entry, made when there is none in a free one, one long
    // unused, or the least recently used.
    Entry& Get(const LoginKey& key, uint64_t now) REQUIRES(m_lock);

    uint64_t (*const m_clock)();
    CMutex m_lock;
    Entry m_entries[kEntries] GUARDED_BY(m_lock);
    uint64_t m_ullUses GUARDED_BY(m_lock) = 0;
};
