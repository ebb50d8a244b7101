// Address texts, the database entries as the guest reads them, and the domain name from
// the resolver configuration.
#include "devices/comms/ip_address.h"
#include "devices/comms/ip_entries.h"
#include "platform/host_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

struct AddressCase {
    const char* text;
    std::optional<uint32_t> parsed;  // operation 116
    std::optional<uint32_t> dotted;  // operations 114 and 115
};

TEST(IpAddress, TextForms)
{
    const AddressCase cases[] = {
        {"1.2.3.4", 0x01020304, 0x01020304},
        {"0x7f.0.0.1", 0x7F000001, 0x7F000001},
        {"0X7F.0.0.01", 0x7F000001, 0x7F000001},
        {"10.1", 0x0A01, 0x0A000001},
        {"127.1", 0x7F01, 0x7F000001},
        {"0", 0, 0},
        {"010.0.0.1", 0x08000001, 0x08000001},
        {"256.1.1.1", std::nullopt, std::nullopt},
        {"1.2.3.4.5", std::nullopt, std::nullopt},
        {"08.1.1.1", std::nullopt, std::nullopt},
        {"1..2", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"0x", std::nullopt, std::nullopt},
        {"1.2.3.4 ", std::nullopt, std::nullopt},
        {"1.2.3.-4", std::nullopt, std::nullopt},
        {"255.255.255.255", std::nullopt, 0xFFFFFFFF},
        {"1.65535", std::nullopt, 0x0100FFFF},
        {"1.2.65536", std::nullopt, std::nullopt},
        {"4294967295", std::nullopt, 0xFFFFFFFF},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(parseAddress(c.text), c.parsed) << c.text;
        EXPECT_EQ(dottedToAddress(c.text), c.dotted) << c.text;
    }
    EXPECT_EQ(addressToDotted(0xC0A80001), "192.168.0.1");
    EXPECT_EQ(socketAddressText({2, 8080, 0x7F000001}), "127.0.0.1:8080");
    EXPECT_EQ(socketAddressText({2, 0, 0x7F000001}), "127.0.0.1");
}

TEST(IpAddress, GuestSocketAddressSwapsOnlyTheFamilyWord)
{
    const uint8_t guest[16] = {0, 2, 0x1F, 0x90, 10, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0};
    SocketAddress a = socketAddressFromGuest(guest);
    EXPECT_EQ(a.family, 2);
    EXPECT_EQ(a.port, 8080);
    EXPECT_EQ(a.ip, 0x0A000007u);
    uint8_t back[16];
    memset(back, 0xFF, sizeof back);
    socketAddressToGuest(a, back);
    EXPECT_EQ(0, memcmp(back, guest, 16));
}

// Reads entries the way the guest does: through the pointers they hold.
struct GuestView {
    const std::vector<uint8_t>& bytes;
    uint32_t base;
    uint32_t at(uint32_t address) const
    {
        EXPECT_GE(address, base);
        EXPECT_LE(address + 4, base + bytes.size());
        const uint8_t* p = &bytes[address - base];
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    std::string text(uint32_t address) const
    {
        EXPECT_LT(address - base, bytes.size());
        return reinterpret_cast<const char*>(&bytes[address - base]);
    }
    std::vector<std::string> texts(uint32_t list) const
    {
        EXPECT_EQ(list % 4, 0u) << "lists start on a 4-byte boundary";
        std::vector<std::string> out;
        for (uint32_t p; (p = at(list)) != 0; list += 4) out.push_back(text(p));
        return out;
    }
};

TEST(IpEntries, HostEntryLaysOutNameAddressesAndAliasesAlignedInGuestAddresses)
{
    HostEntryData e;
    e.name = "alpha.example";
    e.aliases = {"a", "al"};
    e.addressType = 2;
    e.addressLength = 4;
    e.addresses = {{127, 0, 0, 1}, {10, 1, 2, 3}};
    const uint32_t base = 0x40002;  // not aligned: alignment counts in guest addresses
    auto bytes = buildHostEntry(e, base);
    ASSERT_TRUE(bytes);
    GuestView v{*bytes, base};
    EXPECT_EQ(v.text(v.at(base)), "alpha.example");
    EXPECT_EQ(v.at(base) % 4, 0u);
    EXPECT_EQ(v.texts(v.at(base + 4)), (std::vector<std::string>{"a", "al"}));
    EXPECT_EQ(v.at(base + 8), 2u);
    EXPECT_EQ(v.at(base + 12), 4u);
    const uint32_t list = v.at(base + 16);
    EXPECT_EQ(list % 4, 0u);
    EXPECT_EQ(v.at(v.at(list)), 0x7F000001u);
    EXPECT_EQ(v.at(v.at(list + 4)), 0x0A010203u);
    EXPECT_EQ(v.at(list + 8), 0u);
}

TEST(IpEntries, ServiceAndProtocolEntries)
{
    ServiceEntryData s{"http", {"www"}, 80, "tcp"};
    auto sb = buildServiceEntry(s, 0x50000);
    ASSERT_TRUE(sb);
    GuestView sv{*sb, 0x50000};
    EXPECT_EQ(sv.text(sv.at(0x50000)), "http");
    EXPECT_EQ(sv.texts(sv.at(0x50004)), std::vector<std::string>{"www"});
    EXPECT_EQ(sv.at(0x50008), 80u);
    EXPECT_EQ(sv.text(sv.at(0x5000C)), "tcp");
    EXPECT_EQ(sv.at(0x5000C) % 4, 0u);

    ProtocolEntryData p{"udp", {}, 17};
    auto pb = buildProtocolEntry(p, 0x50001);
    ASSERT_TRUE(pb);
    GuestView pv{*pb, 0x50001};
    EXPECT_EQ(pv.text(pv.at(0x50001)), "udp");
    EXPECT_TRUE(pv.texts(pv.at(0x50005)).empty());
    EXPECT_EQ(pv.at(0x50009), 17u);
}

TEST(IpEntries, AnEntryThatDoesNotFitIsNotBuilt)
{
    ProtocolEntryData p{"proto", {}, 1};
    for (int i = 0; i < 60; ++i) p.aliases.push_back("alias" + std::to_string(i));
    EXPECT_FALSE(buildProtocolEntry(p, 0x40000));
    // The limit is exact: an entry is built when it ends right at it.
    auto small = buildProtocolEntry({"ab", {}, 1}, 0x40000);
    ASSERT_TRUE(small);
    EXPECT_TRUE(buildProtocolEntry({"ab", {}, 1}, 0x40000, uint32_t(small->size())));
    EXPECT_FALSE(buildProtocolEntry({"ab", {}, 1}, 0x40000, uint32_t(small->size() - 1)));
    HostEntryData h;
    h.name = std::string(600, 'n');
    EXPECT_FALSE(buildHostEntry(h, 0x40000));
}

TEST(IpNames, DomainFromTheResolverConfiguration)
{
    const std::string path = "/tmp/zem_resolv_" + std::to_string(getpid());
    auto write = [&](const char* text) { std::ofstream(path) << text; };
    write("nameserver 10.0.0.1\nsearch first.example second.example\n");
    EXPECT_EQ(hostDomainName(path), "first.example");
    write("search first.example\ndomain own.example\n");
    EXPECT_EQ(hostDomainName(path), "own.example");
    std::remove(path.c_str());
}

TEST(IpNames, HostResolverAndDatabases)
{
    HostEntryData e;
    ASSERT_EQ(hostByName("localhost", e), 0);
    ASSERT_FALSE(e.addresses.empty());
    EXPECT_EQ(e.addresses[0], (std::vector<uint8_t>{127, 0, 0, 1}));
    EXPECT_EQ(hostByName("no-such-host.invalid", e), SocketError::HostNotFound);
    ServiceEntryData s;
    ASSERT_EQ(serviceByName("http", "TCP", s), 0);
    EXPECT_EQ(s.port, 80);
    ASSERT_EQ(serviceByPort(53, "udp", s), 0);
    EXPECT_EQ(s.name, "domain");
    EXPECT_EQ(serviceByName("no-such-service", "tcp", s), SocketError::NoData);
    ProtocolEntryData p;
    ASSERT_EQ(protocolByName("UDP", p), 0);
    EXPECT_EQ(p.number, 17);
    ASSERT_EQ(protocolByNumber(6, p), 0);
    EXPECT_EQ(p.name, "tcp");
}

}  // namespace
