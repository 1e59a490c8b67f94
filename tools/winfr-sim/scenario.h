#pragma once
// Scenarios of the winfr simulator: what it writes and does, as a small script of directives.
// The language is described at the top of scenario.cpp and in README.md.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winfrsim {

enum class Op {
    Header,
    Line,
    Raw,
    Bytes,
    Utf16,
    Split,
    Delay,
    Sleep,
    Scan,
    Total,
    File,
    Files,
    Flood,
    Exit,
    Hang,
    Crash
};

// One directive. The numbers mean, by directive: utf16 a = on, b = code page (0: OEM); split
// a = piece size; delay a..b ms; sleep a ms; scan a to b in steps of c, flag = CR alone;
// total, files, flood a = count (flood: flag = count given); exit a = code.
struct Directive {
    Op op = Op::Line;
    std::wstring text; // line, raw, file: tokens resolved, placeholders kept
    std::string bytes; // bytes
    std::int64_t a = 0;
    std::int64_t b = 0;
    std::int64_t c = 0;
    bool flag = false;
};

struct Script {
    std::vector<Directive> directives;
    std::int64_t plannedFiles = 0; // the files that "file" and "files" directives will recover
};

// Parses a script; on failure returns nothing and sets error ("line N: ...").
std::optional<Script> ParseScript(std::string_view utf8, std::string& error);

// The text of a built-in scenario, or nullptr for an unknown name.
const char* BuiltInScenario(std::string_view name);
// The names of the built-in scenarios, separated by blanks.
std::string BuiltInScenarioNames();

// The path, relative to the Recovery folder, of the index-th (0-based) file the simulator makes
// up for the given /n filters: it matches them loosely and never leaves the folder.
std::wstring GeneratedName(const std::vector<std::wstring>& filters, std::int64_t index);

// A relative path made safe to create under the Recovery folder: drive, leading separators,
// "." and ".." parts and characters that Windows refuses in names are removed or replaced.
std::wstring SafeRelativePath(std::wstring_view path);

// Replaces every occurrence of from in text.
void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to);

} // namespace winfrsim
