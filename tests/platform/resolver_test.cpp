#include "platform/resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnel::platform {
namespace {

// Literals and the hosts file's own name only: nothing here asks a name server.
TEST(Resolver, BothLookUpsGiveTheAddressInNetworkOrder) {
    EXPECT_EQ(firstIpv4Address("127.0.0.1"), (Ipv4Address{127, 0, 0, 1}));
    EXPECT_EQ(firstIpv4Address("192.0.2.44"), (Ipv4Address{192, 0, 2, 44}));
    EXPECT_EQ(firstIpv4Address("localhost"), (Ipv4Address{127, 0, 0, 1}));
    EXPECT_EQ(resolveIpv4Addresses("192.0.2.44"), std::vector<std::string>{"192.0.2.44"});
    EXPECT_EQ(resolveIpv4Addresses("localhost"), std::vector<std::string>{"127.0.0.1"});
}

TEST(Resolver, NoIpv4AddressGivesNothing) {
    for (const char* host : {"::1", "2001:db8::1"}) {
        SCOPED_TRACE(host);
        EXPECT_EQ(firstIpv4Address(host), std::nullopt);
        EXPECT_TRUE(resolveIpv4Addresses(host).empty());
    }
}

}  // namespace
}  // namespace varnel::platform
