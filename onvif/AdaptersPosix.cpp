#include "onvif/Adapters.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <memory>

std::vector<Adapter> ListAdapters(bool bIncludeLoopback) {
    std::vector<Adapter> adapters;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) return adapters;
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> list(raw, &freeifaddrs);
    for (const ifaddrs* a = list.get(); a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
        if ((a->ifa_flags & IFF_LOOPBACK) && !bIncludeLoopback) continue;
        Adapter adapter;
        adapter.name = a->ifa_name ? a->ifa_name : "";
        adapter.address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        bool bSeen = false;  // an adapter with several addresses probes once
        for (const Adapter& seen : adapters) bSeen = bSeen || seen.name == adapter.name;
        if (!bSeen) adapters.push_back(adapter);
    }
    return adapters;
}
