#include "job/shares.h"

#include <gtest/gtest.h>

using namespace kestro;

namespace {

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(ShareAddress, SplitsTheWaysAShareIsWritten) {
    struct Case {
        const char* path;
        const char* server; // nullptr: not a share
        const char* share;
        const char* rest;
    };
    const Case cases[] = {
        {"\\\\localhost\\C$\\Rescue", "localhost", "C$", "Rescue"},
        {"\\\\server\\share", "server", "share", ""},
        {"\\\\server\\share\\", "server", "share", ""},
        {"\\\\server\\share\\a\\b c\\", "server", "share", "a\\b c\\"},
        {"//server/share/a/b", "server", "share", "a/b"},
        {"\\\\server/share\\\\a", "server", "share", "a"},
        {"\\\\?\\UNC\\localhost\\D$\\x", "localhost", "D$", "x"},
        {"\\\\?\\unc\\host\\s", "host", "s", ""},
        {"\\\\.\\UNC\\host\\s\\x", "host", "s", "x"},
        {"//./UNC/host/s/x", "host", "s", "x"},
        {"\\\\[::1]\\C$\\x", "[::1]", "C$", "x"},
        {"\\\\server@SSL@443\\DavWWWRoot\\x", "server", "DavWWWRoot", "x"},
        {"\\\\server@8080\\share", "server", "share", ""},
        // Not shares.
        {"C:\\Rescue", nullptr, nullptr, nullptr},
        {"\\Rescue", nullptr, nullptr, nullptr},
        {"Rescue", nullptr, nullptr, nullptr},
        {"", nullptr, nullptr, nullptr},
        {"\\\\server", nullptr, nullptr, nullptr},
        {"\\\\server\\", nullptr, nullptr, nullptr},
        {"\\\\\\share\\x", nullptr, nullptr, nullptr},
        {"\\\\@SSL\\share", nullptr, nullptr, nullptr},
        {"\\\\?\\C:\\x", nullptr, nullptr, nullptr},
        {"\\\\.\\C:\\x", nullptr, nullptr, nullptr},
        {"\\\\.\\PhysicalDrive0", nullptr, nullptr, nullptr},
        {"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\x", nullptr, nullptr, nullptr},
        {"\\\\?\\UNC/host/s", nullptr, nullptr, nullptr}, // long paths take backslashes only
        {"\\\\?\\UNCX\\host\\s", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const auto address = ParseShareAddress(c.path);
        if (c.server == nullptr) {
            EXPECT_FALSE(address.has_value()) << c.path;
            continue;
        }
        ASSERT_TRUE(address.has_value()) << c.path;
        EXPECT_EQ(address->server, c.server) << c.path;
        EXPECT_EQ(address->share, c.share) << c.path;
        EXPECT_EQ(address->rest, c.rest) << c.path;
    }
}

TEST(ShareAddress, LongAndDevicePathsToADriveAreThePlainPath) {
    EXPECT_EQ(WithoutLocalPrefix("\\\\?\\C:\\Rescue"), "C:\\Rescue");
    EXPECT_EQ(WithoutLocalPrefix("\\\\.\\d:\\x"), "d:\\x");
    EXPECT_EQ(WithoutLocalPrefix("//./E:/x"), "E:/x");
    EXPECT_EQ(WithoutLocalPrefix("C:\\Rescue"), "C:\\Rescue");
    EXPECT_EQ(WithoutLocalPrefix("\\\\?\\UNC\\h\\s"), "\\\\?\\UNC\\h\\s");
    EXPECT_EQ(WithoutLocalPrefix("\\\\?\\Volume{1}\\"), "\\\\?\\Volume{1}\\");
    EXPECT_EQ(WithoutLocalPrefix("\\\\?\\"), "\\\\?\\");
}

TEST(ThisComputer, IsKnownByLoopbackNamesAndAddressesAndItsOwnNames) {
    const std::vector<std::string> names = {"KESTRO-PC", "kestro-pc", "kestro-pc.corp.example", "192.168.1.20",
                                            "fe80::1c2d:3e4f:5a6b:7c8d"};
    const char* const ours[] = {
        "localhost",
        "LocalHost",
        "localhost.",
        "127.0.0.1",
        "127.1.2.3",
        "127.1",
        "2130706433",
        "0x7f.1",
        "0177.0.0.1",
        "::1",
        "[::1]",
        "0:0:0:0:0:0:0:1",
        "0000::0001",
        "0--1.ipv6-literal.net",
        "::ffff:127.0.0.1",
        "KESTRO-PC",
        "Kestro-Pc",
        "kestro-pc.corp.example",
        "KESTRO-PC.CORP.EXAMPLE.",
        "192.168.1.20",
        "192.168.0x1.20",
        "fe80::1c2d:3e4f:5a6b:7c8d%12",
        "[FE80::1C2D:3E4F:5A6B:7C8D]",
        "fe80--1c2d-3e4f-5a6b-7c8ds12.ipv6-literal.net",
    };
    for (const char* server : ours) {
        EXPECT_TRUE(IsThisComputer(server, names)) << server;
    }
    const char* const theirs[] = {
        "server",
        "kestro-pc2",
        "kestro",
        "corp.example",
        "192.168.1.21",
        "128.0.0.1",
        "10.0.0.1",
        "::2",
        "fe80::1",
        "1.2.3.4.5",
        "256.0.0.1",
        "",
        ".",
        "local host",
        "localhost2",
        "127.0.0.1.example",
        "192.168.1.020", // octal: 192.168.1.16
    };
    for (const char* server : theirs) {
        EXPECT_FALSE(IsThisComputer(server, names)) << server;
    }
    EXPECT_TRUE(IsThisComputer("localhost", {})) << "no names needed for the loopback ones";
    EXPECT_FALSE(IsThisComputer("KESTRO-PC", {}));
}

TEST(Addresses, AreReadAsTheSystemReadsThem) {
    EXPECT_EQ(ParseIpv4("127.0.0.1"), (Bytes{127, 0, 0, 1}));
    EXPECT_EQ(ParseIpv4("127.1"), (Bytes{127, 0, 0, 1}));
    EXPECT_EQ(ParseIpv4("10.1.258"), (Bytes{10, 1, 1, 2}));
    EXPECT_EQ(ParseIpv4("0x7f.0.0.1"), (Bytes{127, 0, 0, 1}));
    EXPECT_EQ(ParseIpv4("010.0.0.1"), (Bytes{8, 0, 0, 1}));
    EXPECT_EQ(ParseIpv4("4294967295"), (Bytes{255, 255, 255, 255}));
    for (const char* bad : {"", "a.b.c.d", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "4294967296", "1..2", "08.1.1.1",
                            "0x", "1.2.3.", "server"}) {
        EXPECT_FALSE(ParseIpv4(bad).has_value()) << bad;
    }
    const Bytes loopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(ParseIpv6("::1"), loopback);
    EXPECT_EQ(ParseIpv6("[::1]"), loopback);
    EXPECT_EQ(ParseIpv6("0:0:0:0:0:0:0:1"), loopback);
    EXPECT_EQ(ParseIpv6("::"), Bytes(16, 0));
    EXPECT_EQ(ParseIpv6("1::"), (Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ParseIpv6("::ffff:1.2.3.4"), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 1, 2, 3, 4}));
    EXPECT_EQ(ParseIpv6("2001:db8::8a2e:370:7334"),
              (Bytes{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0x8a, 0x2e, 0x03, 0x70, 0x73, 0x34}));
    for (const char* bad : {"", "1", "1:2", ":1", "1:", "1:::2", "1::2::3", "12345::", "g::", "1:2:3:4:5:6:7:8:9",
                            "::1.2.3", "1.2.3.4", "::1.2.3.4:5", "[::1", "localhost"}) {
        EXPECT_FALSE(ParseIpv6(bad).has_value()) << bad;
    }
}

TEST(SharedFolders, AdministrativeSharesAndThePathBelow) {
    EXPECT_EQ(AdministrativeShareRoot("C$"), "C:\\");
    EXPECT_EQ(AdministrativeShareRoot("d$"), "D:\\");
    for (const char* other : {"ADMIN$", "IPC$", "C", "C$$", "$", "1$", "Share", ""}) {
        EXPECT_EQ(AdministrativeShareRoot(other), "") << other;
    }
    EXPECT_EQ(JoinBelow("C:\\", "Rescue\\Photos"), "C:\\Rescue\\Photos");
    EXPECT_EQ(JoinBelow("D:\\Shared", "a/b\\"), "D:\\Shared\\a\\b");
    EXPECT_EQ(JoinBelow("D:\\Shared", ""), "D:\\Shared");
    EXPECT_EQ(JoinBelow("D:\\Shared", ".\\a\\.\\b\\..\\c"), "D:\\Shared\\a\\c");
    EXPECT_EQ(JoinBelow("D:\\Shared", "..\\..\\Windows"), "D:\\Shared\\Windows") << "never above the share";
    EXPECT_EQ(JoinBelow("\\\\localhost\\C$", "\\Rescue"), "\\\\localhost\\C$\\Rescue");
}
