#include "platform/host_names.h"

#include "platform/host_sockets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Room for one database record of the reentrant look-ups.
constexpr size_t RecordBuffer = 4096;
constexpr size_t HostNameMax = 256;

int resolverError(int code)
{
    switch (code) {
    case 0:
        return SocketError::None;
    case EAI_NONAME:
        return SocketError::HostNotFound;
    case EAI_AGAIN:
        return SocketError::TryAgain;
    case EAI_FAIL:
        return SocketError::NoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return SocketError::NoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return SocketError::NoData;
#endif
    case EAI_MEMORY:
        return SocketError::NoBuffers;
    case EAI_SYSTEM:
        return socketErrorFromHost(errno);
    default:
        return SocketError::NoRecovery;
    }
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::vector<std::string> aliasList(char** list)
{
    std::vector<std::string> out;
    for (char** p = list; p && *p; ++p) out.emplace_back(*p);
    return out;
}

void fill(ServiceEntryData& entry, const servent& s)
{
    entry.name = s.s_name;
    entry.aliases = aliasList(s.s_aliases);
    entry.port = ntohs(uint16_t(s.s_port));
    entry.protocol = s.s_proto ? s.s_proto : "";
}

void fill(ProtocolEntryData& entry, const protoent& p)
{
    entry.name = p.p_name;
    entry.aliases = aliasList(p.p_aliases);
    entry.number = p.p_proto;
}

// The database functions leave no error code; a miss is "no data".
constexpr int DatabaseMiss = SocketError::NoData;

}  // namespace

std::optional<std::string> hostOwnName()
{
    char name[HostNameMax + 1] = {};
    if (gethostname(name, HostNameMax) != 0) return std::nullopt;
    return std::string(name);
}

std::optional<std::string> hostDomainName(const std::string& resolverConfig)
{
    std::ifstream in(resolverConfig);
    std::string line, search;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (!(words >> key >> value)) continue;
        if (key == "domain") return value;
        if (key == "search" && search.empty()) search = value;
    }
    if (!search.empty()) return search;

    std::optional<std::string> own = hostOwnName();
    if (!own) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    if (getaddrinfo(own->c_str(), nullptr, &hints, &result) != 0) return std::nullopt;
    std::string canonical = result->ai_canonname ? result->ai_canonname : "";
    freeaddrinfo(result);
    size_t dot = canonical.find('.');
    if (dot == std::string::npos || dot + 1 >= canonical.size()) return std::nullopt;
    return canonical.substr(dot + 1);
}

int hostByName(const std::string& name, HostEntryData& entry)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one answer per address
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    int code = getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (code != 0) return resolverError(code);
    entry = HostEntryData{};
    entry.name = result->ai_canonname ? result->ai_canonname : name;
    entry.addressType = AddressFamilyIpv4;
    entry.addressLength = 4;
    for (addrinfo* p = result; p; p = p->ai_next) {
        if (p->ai_family != AF_INET) continue;
        const auto* a = reinterpret_cast<const sockaddr_in*>(p->ai_addr);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&a->sin_addr.s_addr);
        std::vector<uint8_t> address(bytes, bytes + 4);
        if (std::find(entry.addresses.begin(), entry.addresses.end(), address) == entry.addresses.end())
            entry.addresses.push_back(std::move(address));
    }
    freeaddrinfo(result);
    return 0;
}

int hostByAddress(const uint8_t* address, size_t length, int32_t type, HostEntryData& entry)
{
    if (type != AddressFamilyIpv4) return SocketError::AddressFamilyNotSupported;
    if (length < 4) return SocketError::Fault;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    memcpy(&a.sin_addr.s_addr, address, 4);
    char name[NI_MAXHOST] = {};
    int code = getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, name, sizeof name, nullptr, 0, NI_NAMEREQD);
    if (code != 0) return resolverError(code);
    entry = HostEntryData{};
    entry.name = name;
    entry.addressType = AddressFamilyIpv4;
    entry.addressLength = 4;
    entry.addresses.emplace_back(address, address + 4);
    return 0;
}

int serviceByName(const std::string& name, const std::string& protocol, ServiceEntryData& entry)
{
    servent s{}, *found = nullptr;
    char buffer[RecordBuffer];
    std::string proto = lower(protocol);
    getservbyname_r(name.c_str(), proto.empty() ? nullptr : proto.c_str(), &s, buffer, sizeof buffer, &found);
    if (!found) return DatabaseMiss;
    fill(entry, s);
    return 0;
}

int serviceByPort(uint16_t port, const std::string& protocol, ServiceEntryData& entry)
{
    servent s{}, *found = nullptr;
    char buffer[RecordBuffer];
    std::string proto = lower(protocol);
    getservbyport_r(int(htons(port)), proto.empty() ? nullptr : proto.c_str(), &s, buffer, sizeof buffer, &found);
    if (!found) return DatabaseMiss;
    fill(entry, s);
    return 0;
}

int protocolByName(const std::string& name, ProtocolEntryData& entry)
{
    protoent p{}, *found = nullptr;
    char buffer[RecordBuffer];
    getprotobyname_r(lower(name).c_str(), &p, buffer, sizeof buffer, &found);
    if (!found) return DatabaseMiss;
    fill(entry, p);
    return 0;
}

int protocolByNumber(int32_t number, ProtocolEntryData& entry)
{
    protoent p{}, *found = nullptr;
    char buffer[RecordBuffer];
    getprotobynumber_r(number, &p, buffer, sizeof buffer, &found);
    if (!found) return DatabaseMiss;
    fill(entry, p);
    return 0;
}
