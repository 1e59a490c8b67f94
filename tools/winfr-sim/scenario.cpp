// Scenario scripts of the winfr simulator.
//
// A script is UTF-8 text, one directive per line; blank lines and lines starting with # are
// ignored. Text arguments are taken as written (leading and trailing blanks included, after the
// one blank that follows the directive's name).
//
//   header                      the tool's banner: name, source drive, destination folder,
//                               filters, overwrite rule, mode
//   line [text]                 text followed by CR LF (no text: an empty line)
//   raw <text>                  text without a line end (a prompt)
//   bytes <hex>                 raw bytes, e.g. "bytes FF FE 41 00" (blanks optional)
//   utf16 on|off [codepage]     off: following text is 8-bit in the code page (default: the
//                               system's OEM code page, as a console program would write)
//   split <n>                   write following text in pieces of n bytes, one write each
//                               (0: whole); odd sizes cut code units, 2 cuts surrogate pairs
//   delay <min> [max]           pause of min..max ms after each line written (default 20 50);
//                               WINFR_SIM_DELAY_MS overrides it
//   sleep <ms>                  pause now, whatever the delay
//   scan <from> <to> [step] [cr]  "Scanning disk: N%" lines; cr ends them with CR alone
//   total <n>                   the "total files" figure of later recovered files (default:
//                               all files that the script's file and files directives recover)
//   file <relative path>        recover one file under the Recovery folder and report it in a
//                               "Files recovered: R, total files: T, current filename: P" line
//   files <count>               recover count files named after the /n filters
//                               (WINFR_SIM_FILES overrides count)
//   flood [count]               count files-recovered lines as fast as possible, in large
//                               writes (default WINFR_SIM_FLOOD_LINES or 200000); only the
//                               first ten of those files are really written
//   exit <code>                 end with this exit code (decimal or 0x hexadecimal)
//   hang                        wait until killed
//   crash [code]                end abnormally, with exit code 0xC0000005 or the code given
//
// In text, these tokens stand for characters that cannot be typed: <CR> <LF> <BS> <TAB> <NUL>,
// and <U+XXXX> (4 to 6 hex digits; up to FFFF one UTF-16 code unit, so lone surrogates can be
// written; above, a surrogate pair). Placeholders: {source} (the source drive), {destination}
// (the destination folder's full path), {recovery} (the Recovery_YYYYMMDD_HHMMSS folder).
// A script ends with exit code 0 unless it says otherwise.
#include "scenario.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <map>

#include "base/text.h"

namespace winfrsim {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    s = Trimmed(s);
    while (!s.empty()) {
        const auto end = s.find_first_of(" \t");
        words.push_back(s.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        s = Trimmed(s.substr(end));
    }
    return words;
}

bool Number(std::string_view s, std::int64_t& value) {
    int base = 10;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        s.remove_prefix(2);
        base = 16;
    }
    if (s.empty()) {
        return false;
    }
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value, base);
    return result.ec == std::errc() && result.ptr == s.data() + s.size();
}

void AppendCodePoint(char32_t cp, std::wstring& out) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

// One UTF-8 character at s[i]; a malformed byte becomes U+FFFD.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    int more = 0;
    char32_t cp = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        cp = lead & 0x07u;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        cp = lead & 0x1Fu;
    } else if (lead >= 0x80) {
        return 0xFFFD;
    }
    for (; more > 0; --more) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
    }
    return cp;
}

std::wstring ResolveText(std::string_view s) {
    static const std::map<std::string_view, wchar_t> kTokens = {
        {"<CR>", L'\r'}, {"<LF>", L'\n'}, {"<BS>", L'\b'}, {"<TAB>", L'\t'}, {"<NUL>", L'\0'}};
    std::wstring out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '<') {
            const auto close = s.find('>', i);
            if (close != std::string_view::npos) {
                const std::string_view token = s.substr(i, close - i + 1);
                if (const auto it = kTokens.find(token); it != kTokens.end()) {
                    out.push_back(it->second);
                    i = close + 1;
                    continue;
                }
                const std::string_view hex = token.substr(1, token.size() - 2);
                if (hex.starts_with("U+") && hex.size() >= 6 && hex.size() <= 8) {
                    char32_t value = 0;
                    bool ok = true;
                    for (const char c : hex.substr(2)) {
                        const int d = kestro::HexDigitValue(c);
                        ok = ok && d >= 0;
                        value = value * 16 + static_cast<char32_t>(d < 0 ? 0 : d);
                    }
                    if (ok && value <= 0x10FFFF) {
                        AppendCodePoint(value, out);
                        i = close + 1;
                        continue;
                    }
                }
            }
        }
        AppendCodePoint(NextCodePoint(s, i), out);
    }
    return out;
}

bool ParseBytes(std::string_view s, std::string& out) {
    int high = -1;
    for (const char c : s) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        const int d = kestro::HexDigitValue(c);
        if (d < 0) {
            return false;
        }
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<char>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

bool IsNameCharacterAllowed(wchar_t c) {
    return c >= 32 && c != L'<' && c != L'>' && c != L':' && c != L'"' && c != L'|' && c != L'?' && c != L'*' &&
           c != L'/';
}

std::wstring Numbered(std::int64_t index) {
    std::wstring digits = std::to_wstring(index + 1);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), L'0');
    }
    return digits;
}

} // namespace

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    if (from.empty()) {
        return;
    }
    for (auto at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

namespace {

// One directive's line: its name, its text argument as written and the words of that text.
struct ScriptLine {
    std::string_view name;
    std::string_view text;
    std::vector<std::string_view> args;
};

ScriptLine SplitLine(std::string_view line) {
    const std::string_view start = line.substr(line.find_first_not_of(" \t"));
    const auto blank = start.find(' ');
    ScriptLine split;
    split.name = start.substr(0, blank);
    split.text = blank == std::string_view::npos ? std::string_view{} : start.substr(blank + 1);
    split.args = Words(split.text);
    return split;
}

// Between least and most numbers, into a, b and c in turn.
bool Numbers(const std::vector<std::string_view>& args, std::size_t least, std::size_t most, Directive& d) {
    if (args.size() < least || args.size() > most) {
        return false;
    }
    std::int64_t* slots[] = {&d.a, &d.b, &d.c};
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!Number(args[i], *slots[i])) {
            return false;
        }
    }
    return true;
}

// Each parser fills the directive from its line and returns why the line is refused, or null.
using DirectiveParser = const char* (*)(const ScriptLine& line, Directive& d);

const char* ParseNothing(const ScriptLine&, Directive&) {
    return nullptr;
}

const char* ParseText(const ScriptLine& line, Directive& d) {
    d.text = ResolveText(line.text);
    return d.op != Op::Line && d.text.empty() ? "text expected" : nullptr;
}

const char* ParseByteList(const ScriptLine& line, Directive& d) {
    return !ParseBytes(line.text, d.bytes) || d.bytes.empty() ? "pairs of hexadecimal digits expected" : nullptr;
}

const char* ParseUtf16(const ScriptLine& line, Directive& d) {
    const auto& args = line.args;
    if (args.empty() || (args[0] != "on" && args[0] != "off") || args.size() > 2 ||
        (args.size() == 2 && !Number(args[1], d.b))) {
        return "on or off [code page] expected";
    }
    d.a = args[0] == "on";
    return nullptr;
}

const char* ParseCount(const ScriptLine& line, Directive& d) {
    return !Numbers(line.args, 1, 1, d) || (d.op != Op::Exit && d.a < 0) ? "one number expected" : nullptr;
}

const char* ParseDelay(const ScriptLine& line, Directive& d) {
    if (!Numbers(line.args, 1, 2, d) || d.a < 0) {
        return "delay <min> [max] expected";
    }
    if (line.args.size() == 1 || d.b < d.a) {
        d.b = d.a;
    }
    return nullptr;
}

const char* ParseScan(const ScriptLine& line, Directive& d) {
    std::vector<std::string_view> values = line.args;
    if (!values.empty() && values.back() == "cr") {
        d.flag = true;
        values.pop_back();
    }
    d.c = 1;
    if (!Numbers(values, 2, 3, d)) {
        return "scan <from> <to> [step] [cr] expected";
    }
    return d.c <= 0 ? "the step must be above 0" : nullptr;
}

const char* ParseFlood(const ScriptLine& line, Directive& d) {
    d.flag = !line.args.empty();
    return !Numbers(line.args, 0, 1, d) || d.a < 0 ? "flood [count] expected" : nullptr;
}

const char* ParseHang(const ScriptLine& line, Directive&) {
    return line.args.empty() ? nullptr : "no argument expected";
}

const char* ParseCrash(const ScriptLine& line, Directive& d) {
    d.a = 0xC0000005;
    return !Numbers(line.args, 0, 1, d) || d.a < 0 || d.a > 0xFFFFFFFF ? "crash [code] expected" : nullptr;
}

struct DirectiveRule {
    std::string_view name;
    Op op;
    DirectiveParser parse;
};

constexpr DirectiveRule kDirectives[] = {
    {"header", Op::Header, ParseNothing}, {"line", Op::Line, ParseText},       {"raw", Op::Raw, ParseText},
    {"file", Op::File, ParseText},        {"bytes", Op::Bytes, ParseByteList}, {"utf16", Op::Utf16, ParseUtf16},
    {"split", Op::Split, ParseCount},     {"sleep", Op::Sleep, ParseCount},    {"total", Op::Total, ParseCount},
    {"files", Op::Files, ParseCount},     {"exit", Op::Exit, ParseCount},      {"delay", Op::Delay, ParseDelay},
    {"scan", Op::Scan, ParseScan},        {"flood", Op::Flood, ParseFlood},    {"hang", Op::Hang, ParseHang},
    {"crash", Op::Crash, ParseCrash},
};

// The next line of the script, without its line end (and, on the first line, a byte order mark).
std::string_view NextLine(std::string_view& utf8, std::int64_t lineNumber) {
    const auto end = utf8.find('\n');
    std::string_view line = utf8.substr(0, end);
    utf8 = end == std::string_view::npos ? std::string_view{} : utf8.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);
    }
    return line;
}

// The files a directive will recover.
std::int64_t PlannedFiles(const Directive& d) {
    if (d.op == Op::File) {
        return 1;
    }
    return d.op == Op::Files ? d.a : 0;
}

} // namespace

std::optional<Script> ParseScript(std::string_view utf8, std::string& error) {
    Script script;
    for (std::int64_t lineNumber = 1; !utf8.empty(); ++lineNumber) {
        const std::string_view line = NextLine(utf8, lineNumber);
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        const ScriptLine split = SplitLine(line);
        const auto known = std::find_if(std::begin(kDirectives), std::end(kDirectives),
                                       [&](const DirectiveRule& s) { return s.name == split.name; });
        Directive d;
        const char* why = "unknown directive";
        if (known != std::end(kDirectives)) {
            d.op = known->op;
            why = known->parse(split, d);
        }
        if (why != nullptr) {
            error = "line " + std::to_string(lineNumber) + ": " + why + ": " + std::string(trimmed);
            return std::nullopt;
        }
        script.plannedFiles += PlannedFiles(d);
        script.directives.push_back(std::move(d));
    }
    return script;
}

std::wstring SafeRelativePath(std::wstring_view path) {
    std::wstring result;
    std::wstring part;
    const auto endPart = [&] {
        // "." and ".." would climb out of the Recovery folder; trailing dots and blanks are
        // dropped by Windows anyway.
        while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) {
            part.pop_back();
        }
        if (!part.empty()) {
            if (!result.empty()) {
                result += L'\\';
            }
            result += part;
        }
        part.clear();
    };
    if (path.size() >= 2 && path[1] == L':') {
        path.remove_prefix(2);
    }
    for (const wchar_t c : path) {
        if (c == L'\\' || c == L'/') {
            endPart();
        } else {
            part.push_back(IsNameCharacterAllowed(c) ? c : L'_');
        }
    }
    endPart();
    return result;
}

std::wstring GeneratedName(const std::vector<std::wstring>& filters, std::int64_t index) {
    static const wchar_t* const kDefaults[] = {
        L"Users\\Public\\Documents\\document_*.docx", L"Users\\Public\\Pictures\\photo_*.jpg",
        L"Users\\Public\\Documents\\report_*.pdf",    L"Users\\Public\\Music\\track_*.mp3",
        L"Users\\Public\\Videos\\clip_*.mp4",         L"Users\\Public\\Documents\\notes_*.txt",
    };
    const std::int64_t defaultCount = static_cast<std::int64_t>(std::size(kDefaults));
    const bool useDefaults = filters.empty();
    const std::int64_t count = useDefaults ? defaultCount : static_cast<std::int64_t>(filters.size());
    const std::int64_t round = index / count;
    std::wstring filter = useDefaults ? kDefaults[index % count] : filters[static_cast<std::size_t>(index % count)];
    if (filter.size() >= 2 && filter[1] == L':') {
        filter.erase(0, 2);
    }

    const auto cut = filter.find_last_of(L"\\/");
    std::wstring folder = cut == std::wstring::npos ? std::wstring() : filter.substr(0, cut);
    std::wstring pattern = cut == std::wstring::npos ? filter : filter.substr(cut + 1);
    if (folder.empty()) {
        folder = L"Users\\Public\\Documents";
    }
    if (pattern.empty()) {
        // A folder filter: anything inside it.
        pattern = kDefaults[index % defaultCount];
        pattern = pattern.substr(pattern.find_last_of(L'\\') + 1);
    }

    std::wstring name;
    const bool wildcard = pattern.find_first_of(L"*?") != std::wstring::npos;
    if (wildcard) {
        bool first = true;
        for (const wchar_t c : pattern) {
            if (c == L'*') {
                if (first) {
                    name += (name.empty() ? L"file_" : L"") + Numbered(index);
                    first = false;
                }
            } else {
                name += c == L'?' ? L'x' : c;
            }
        }
        if (!name.empty() && name.back() == L'.') {
            name += L"dat";
        }
    } else {
        name = pattern;
        if (round > 0) {
            const auto dot = name.find_last_of(L'.');
            const std::wstring suffix = L" (" + std::to_wstring(round + 1) + L")";
            name.insert(dot == std::wstring::npos ? name.size() : dot, suffix);
        }
    }
    return SafeRelativePath(folder + L"\\" + name);
}

} // namespace winfrsim
