#pragma once
// Command-line quoting by the rules CommandLineToArgvW (and the C runtime) parse arguments with.
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

// s written so that the tool reads it back as one argument, exactly. Text with no blank,
// tab or double quote, and not empty, stays as it is; otherwise it is put in double quotes,
// with the backslashes before the closing quote doubled and every inner quote escaped.
std::string QuoteArgument(std::string_view s);

// The arguments a program reads from commandLineTail (the command line after the program
// name): blanks and tabs separate arguments outside quotes; 2n backslashes before a quote
// give n backslashes and the quote opens or closes quoting; 2n+1 give n and a literal quote;
// "" inside quotes gives a literal quote and ends the quoting; other backslashes are literal.
std::vector<std::string> ParseArguments(std::string_view commandLineTail);

// The tool's command line for the argument string: the tool's name (quoted when it holds a blank),
// a blank, then the arguments. The trailing blank of the argument string (and any other control
// character there) is not part of it.
std::string ToolCommandLine(std::string_view toolName, std::string_view arguments);

} // namespace kestro
