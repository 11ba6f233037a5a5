// The process's view of the registry file, shared by every thread.
//
// Readers see the file as last written by any process: each access checks
// the file's identity (device, inode, size, modification time) and re-reads
// it when it changed or was written too recently for its identity to tell.
// A change runs as one transaction under an exclusive
// lock on "<file>.lock" against a fresh read, and is written to a temporary
// file that replaces the registry by rename, so nothing another writer did is
// lost and no reader sees half a file. The file holds cameras' passwords: it
// is created readable by its owner only, and a rewrite keeps the mode it had.
#pragma once

#include <functional>
#include <string>

#include "platform/Mutex.h"
#include "platform/posix/RegistryDocument.h"

namespace oculo::posix {

class RegistryStore {
public:
    static RegistryStore& Instance();

    // Runs read on the current document; returns what read returns.
    LONG Read(const std::function<LONG(const RegistryDocument&)>& read);
    // Runs change on the current document and saves it when change returns
    // ERROR_SUCCESS and sets *modified.
    LONG Write(const std::function<LONG(RegistryDocument&, bool* modified)>& change);

private:
    struct Identity {
        std::string path;
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0, mtimeNs = 0;
        bool operator==(const Identity& other) const;
    };

    LONG Refresh(bool force) REQUIRES(m_lock);
    LONG Save(const std::string& path, const RegistryDocument& document);

    CMutex m_lock;  // serialises writers in this process
    Identity m_identity GUARDED_BY(m_lock);
    RegistryDocument m_document GUARDED_BY(m_lock);
};

// Where the registry lives: $OCULO_REGISTRY, else $XDG_CONFIG_HOME/oculo/registry.reg,
// else ~/.config/oculo/registry.reg.
std::string RegistryPath();

}  // namespace oculo::posix
