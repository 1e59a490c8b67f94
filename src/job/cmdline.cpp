#include "job/cmdline.h"

namespace kestro {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string QuoteArgument(std::string_view s) {
    if (!s.empty() && s.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(s);
    }
    std::string quoted;
    quoted.reserve(s.size() + 2);
    quoted.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : s) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // The backslashes before a literal quote are doubled and one more escapes it.
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    // A trailing backslash would otherwise escape the closing quote ("D:\My Files\").
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::vector<std::string> ParseArguments(std::string_view commandLineTail) {
    std::vector<std::string> arguments;
    const std::string_view s = commandLineTail;
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && IsSeparator(s[i])) {
            ++i;
        }
        if (i == s.size()) {
            break;
        }
        std::string argument;
        bool inQuotes = false;
        while (i < s.size() && (inQuotes || !IsSeparator(s[i]))) {
            const char c = s[i];
            if (c == '\\') {
                std::size_t end = i;
                while (end < s.size() && s[end] == '\\') {
                    ++end;
                }
                const std::size_t count = end - i;
                if (end < s.size() && s[end] == '"') {
                    argument.append(count / 2, '\\');
                    if (count % 2 != 0) {
                        argument.push_back('"');
                        ++end;
                    }
                } else {
                    argument.append(count, '\\');
                }
                i = end;
            } else if (c == '"') {
                if (inQuotes && i + 1 < s.size() && s[i + 1] == '"') {
                    argument.push_back('"');
                    inQuotes = false;
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
            } else {
                argument.push_back(c);
                ++i;
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::string ToolCommandLine(std::string_view toolName, std::string_view arguments) {
    std::string line =
        toolName.find(' ') != std::string_view::npos ? "\"" + std::string(toolName) + "\"" : std::string(toolName);
    line += ' ';
    line += arguments;
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) {
        line.pop_back();
    }
    return line;
}

} // namespace kestro
