#include "camera/LoginBackOff.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "camera/ExtendedTickCount.h"
#include "camera/FFmpeg.h"

extern "C" {
#include <libavutil/sha.h>
}

namespace {

int PortOf(const char* scheme, int port) {
    if (port >= 0) return port;
    if (av_strcasecmp(scheme, "rtsp") == 0) return 554;
    if (av_strcasecmp(scheme, "rtsps") == 0) return 322;
    if (av_strcasecmp(scheme, "http") == 0) return 80;
    if (av_strcasecmp(scheme, "https") == 0) return 443;
    return -1;
}

// `text` and its terminator, in lower case when `fold`.
void Hash(AVSHA* sha, const char* text, bool fold) {
    uint8_t chunk[64];
    size_t length = 0;
    for (const char* c = text;; ++c) {
        chunk[length++] = uint8_t(fold ? av_tolower(*c) : *c);
        if (length == sizeof(chunk) || !*c) {
            av_sha_update(sha, chunk, length);
            length = 0;
        }
        if (!*c) return;
    }
}

}  // namespace

DWORD NextLoginPause(DWORD previousMs) {
    if (previousMs == 0) return kLoginPauseFirstMs;
    return previousMs >= kLoginPauseMaxMs / 2 ? kLoginPauseMaxMs : previousMs * 2;
}

bool LoginKey::operator==(const LoginKey& other) const {
    return std::memcmp(digest, other.digest, sizeof(digest)) == 0;
}

// Without memory for the digest, every such key is the same one: the readers
// concerned then share one back-off, which errs on the camera's side.
LoginKey MakeLoginKey(const char* scheme, const char* host, int port, const char* auth) {
    LoginKey key;
    std::unique_ptr<AVSHA, void (*)(void*)> sha(av_sha_alloc(), av_free);
    if (!sha || av_sha_init(sha.get(), 160) < 0) return key;
    char number[16];
    std::snprintf(number, sizeof(number), "%d", PortOf(scheme, port));
    Hash(sha.get(), scheme, true);
    Hash(sha.get(), host, true);
    Hash(sha.get(), number, false);
    Hash(sha.get(), auth, false);
    av_sha_final(sha.get(), key.digest);
    return key;
}

CLoginBackOff& CLoginBackOff::Shared() {
    static CLoginBackOff table(ExtendedTickCount);
    return table;
}

CLoginBackOff::CLoginBackOff(uint64_t (*clock)()) : m_clock(clock) {}

CLoginBackOff::Entry* CLoginBackOff::Find(const LoginKey& key) {
    for (Entry& entry : m_entries) {
        if (entry.bUsed && entry.key == key) return &entry;
    }
    return nullptr;
}

CLoginBackOff::Entry& CLoginBackOff::Get(const LoginKey& key, uint64_t now) {
    Entry* entry = Find(key);
    if (!entry) {
        entry = &m_entries[0];
        for (Entry& candidate : m_entries) {
            if (!candidate.bUsed || candidate.ullFreeAt + kLoginForgetMs <= now) {
                entry = &candidate;
                break;
            }
            if (candidate.ullLastUse < entry->ullLastUse) entry = &candidate;
        }
        *entry = Entry();
        entry->bUsed = true;
        entry->key = key;
    }
    entry->ullLastUse = ++m_ullUses;
    return *entry;
}

bool CLoginBackOff::TryTake(const LoginKey& key, uint64_t* freeAt, CameraFailure* refusal) {
    const uint64_t now = m_clock();
    CMutexLock hold(m_lock);
    Entry& entry = Get(key, now);
    if (now < entry.ullFreeAt) {
        *freeAt = entry.ullFreeAt;
        *refusal = entry.dwPauseMs != 0 ? entry.refusal : CameraFailure();
        return false;
    }
    entry.ullFreeAt = now + kLoginTurnLimitMs;
    return true;
}

void CLoginBackOff::Refused(const LoginKey& key, const CameraFailure& refusal) {
    const uint64_t now = m_clock();
    CMutexLock hold(m_lock);
    Entry& entry = Get(key, now);
    entry.dwPauseMs = NextLoginPause(entry.dwPauseMs);
    entry.ullFreeAt = now + entry.dwPauseMs;
    entry.refusal = refusal;
}

void CLoginBackOff::Accepted(const LoginKey& key) {
    CMutexLock hold(m_lock);
    if (Entry* entry = Find(key)) entry->bUsed = false;
}

void CLoginBackOff::Unanswered(const LoginKey& key) {
    const uint64_t now = m_clock();
    CMutexLock hold(m_lock);
    Entry* entry = Find(key);
    if (!entry) return;
    if (entry->dwPauseMs == 0) {
        entry->bUsed = false;  // as if never seen
    } else {
        entry->ullFreeAt = now;
    }
}
