// The host's name services for the socket device: its own host and domain name, the
// resolver, and the service and protocol databases. Failures come back as SocketError
// codes (platform/host_sockets.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct HostEntryData {
    std::string name;
    std::vector<std::string> aliases;
    int32_t addressType = 0;                      // 2: IPv4
    int32_t addressLength = 0;                    // bytes of each address
    std::vector<std::vector<uint8_t>> addresses;  // network order
};

struct ServiceEntryData {
    std::string name;
    std::vector<std::string> aliases;
    int32_t port = 0;  // as a number
    std::string protocol;
};

struct ProtocolEntryData {
    std::string name;
    std::vector<std::string> aliases;
    int32_t number = 0;
};

// The host's own name, or nothing when the host will not tell.
std::optional<std::string> hostOwnName();

// The host's DNS domain: the resolver configuration's "domain" line, else the first
// "search" entry, else what follows the first dot of the host's canonical name.
// `resolverConfig` is the configuration file to read.
std::optional<std::string> hostDomainName(const std::string& resolverConfig = "/etc/resolv.conf");

// Each returns 0 or a SocketError code. A dotted address is accepted where a name is.
int hostByName(const std::string& name, HostEntryData& entry);
int hostByAddress(const uint8_t* address, size_t length, int32_t type, HostEntryData& entry);
// An empty protocol matches any. Protocol names are compared without regard to case.
int serviceByName(const std::string& name, const std::string& protocol, ServiceEntryData& entry);
int serviceByPort(uint16_t port, const std::string& protocol, ServiceEntryData& entry);
int protocolByName(const std::string& name, ProtocolEntryData& entry);
int protocolByNumber(int32_t number, ProtocolEntryData& entry);
