#pragma once
// Network paths that lead back to this computer: a share of this computer reached as
// \\localhost\C$\..., \\127.0.0.1\share\..., \\<this computer's name>\..., \\?\UNC\...; the
// rules that tell them and the local folder they stand for.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

// A path through a share: \\server\share\rest.
struct ShareAddress {
    std::string server; // as written, without a WebDAV "@SSL" or "@port" ending
    std::string share;  // "C$", "Rescue"
    std::string rest;   // below the share, without a leading separator ("Photos\2024"); may be empty
};

// Splits \\server\share\rest (forward slashes too), \\?\UNC\server\share\rest and
// \\.\UNC\server\share\rest. Anything else (a drive path, \\?\C:\..., a device path, a server
// without a share) gives nothing.
std::optional<ShareAddress> ParseShareAddress(std::string_view path);

// A long or device path to a drive ("\\?\C:\x", "\\.\C:\x") as the plain path ("C:\x"); any
// other path unchanged.
std::string WithoutLocalPrefix(std::string_view path);

// The server names this computer: "localhost", a loopback address (127.x.y.z, ::1 in any of
// its written forms, [::1], 0--1.ipv6-literal.net), or one of names (its NetBIOS and DNS
// names and its own addresses), letter case and a trailing dot aside; addresses compare by
// value.
bool IsThisComputer(std::string_view server, const std::vector<std::string>& names);

// The root of an administrative share: "C:\" for "C$" (either case); empty for any other share.
std::string AdministrativeShareRoot(std::string_view share);

// The local folder plus the rest below a share ("D:\Shared" + "a\b" = "D:\Shared\a\b"). "." and
// ".." in the rest are resolved as the server does, never above the share's folder.
std::string JoinBelow(std::string_view folder, std::string_view rest);

// The 16 bytes of an IPv6 address in any written form ("::1", "fe80::1%3", "::ffff:1.2.3.4",
// "[::1]", "0--1.ipv6-literal.net"); nothing when the text is not one.
std::optional<std::vector<unsigned char>> ParseIpv6(std::string_view text);
// The 4 bytes of a dotted IPv4 address; nothing when the text is not one.
std::optional<std::vector<unsigned char>> ParseIpv4(std::string_view text);

} // namespace kestro
