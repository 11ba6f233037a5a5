// Loading, caching and atomically replacing the registry file.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/RegistryStore.h"

namespace oculo::posix {
namespace {

// How long a writer waits for another process's transaction.
constexpr int kLockWaitMs = 10000;
// File times move in coarse steps, so a file rewritten moments ago may change
// again without its size, time or even inode changing: the cached document is
// trusted only for a file that has been left alone this long.
constexpr unsigned long long kSettledNs = 2000000000ull;

bool Settled(unsigned long long mtimeNs) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long nowNs = static_cast<unsigned long long>(now.tv_sec) * 1000000000ull + now.tv_nsec;
    return nowNs > mtimeNs + kSettledNs;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "/tmp";
}

LONG ErrorFromErrno(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
}

// Creates the directories leading to path; failures show when the file is written.
void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0755);
}

bool ReadAll(int fd, std::string* text) {
    char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        text->append(chunk, static_cast<size_t>(got));
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// An exclusive lock on the lock file beside the registry; released on destruction.
class FileLock {
public:
    explicit FileLock(const std::string& path) : m_fd(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        for (int waited = 0; m_fd >= 0 && !m_bHeld && waited <= kLockWaitMs; waited += 5) {
            m_bHeld = flock(m_fd, LOCK_EX | LOCK_NB) == 0;
            if (!m_bHeld) usleep(5000);
        }
    }
    ~FileLock() {
        if (m_fd >= 0) close(m_fd);  // closing releases the lock
    }
    bool Held() const { return m_bHeld; }
    int Error() const { return m_fd < 0 ? errno : EWOULDBLOCK; }

private:
    int m_fd;
    bool m_bHeld = false;
};

}  // namespace

std::string RegistryPath() {
    const char* explicitPath = std::getenv("OCULO_REGISTRY");
    if (explicitPath && *explicitPath) return explicitPath;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base = (config && *config) ? config : HomeDirectory() + "/.config";
    return base + "/oculo/registry.reg";
}

bool RegistryStore::Identity::operator==(const Identity& other) const {
    return path == other.path && exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && mtimeNs == other.mtimeNs;
}

RegistryStore& RegistryStore::Instance() {
    static RegistryStore* store = new RegistryStore();  // used until the process ends
    return *store;
}

LONG RegistryStore::Refresh(bool force) {
    Identity identity;
    identity.path = RegistryPath();
    int fd = open(identity.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return ERROR_CANTREAD;
        m_identity = identity;  // no file yet: an empty registry
        m_document = RegistryDocument();
        return ERROR_SUCCESS;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        close(fd);
        return ERROR_CANTREAD;
    }
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = static_cast<unsigned long long>(info.st_size);
    identity.mtimeNs = static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull + info.st_mtim.tv_nsec;
    LONG result = ERROR_SUCCESS;
    if (force || !(identity == m_identity) || !Settled(identity.mtimeNs)) {
        std::string text;
        if (ReadAll(fd, &text)) {
            m_document = RegistryDocument::Parse(text);
            m_identity = identity;
        } else {
            result = ERROR_CANTREAD;
        }
    }
    close(fd);
    return result;
}

LONG RegistryStore::Save(const std::string& path, const RegistryDocument& document) {
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) return ErrorFromErrno(errno);
    // The file holds cameras' passwords: readable by its owner only, as
    // mkstemp made it, or as its owner set the file this one replaces.
    struct stat old;
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 0777) : 0600);
    bool written = WriteAll(fd, document.Serialize()) && fsync(fd) == 0;
    int error = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        error = written ? errno : error;
        unlink(temporary.c_str());
        return ErrorFromErrno(error);
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::Read(const std::function<LONG(const RegistryDocument&)>& read) {
    try {
        CMutexLock hold(m_lock);
        LONG result = Refresh(false);
        return result == ERROR_SUCCESS ? read(m_document) : result;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegistryStore::Write(const std::function<LONG(RegistryDocument&, bool*)>& change) {
    try {
        CMutexLock hold(m_lock);
        const std::string path = RegistryPath();
        MakeParents(path);
        FileLock lock(path);
        if (!lock.Held()) return ErrorFromErrno(lock.Error());
        LONG result = Refresh(true);
        if (result != ERROR_SUCCESS) return result;
        bool modified = false;
        result = change(m_document, &modified);
        if (result != ERROR_SUCCESS || !modified) return result;
        result = Save(path, m_document);
        m_identity = Identity();  // re-read next time: the file on disk is the truth
        return result;
    } catch (...) {
        // The holder above is gone by now: the lock is taken again.
        CMutexLock hold(m_lock);
        m_identity = Identity();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace oculo::posix
