#pragma once
// How the winfr simulator reads and writes: its standard output as the tool writes it, its
// environment variables, whole files, and UTF-8 at the edges.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace winfrsim {

// The exit code for a bad command line or scenario, and for a reader that has gone away.
constexpr int kExitUsage = 1;

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// An environment variable; nothing when it is not set.
std::optional<std::wstring> Env(const wchar_t* name);
// An environment variable that holds a whole number of at least 0; nothing for anything else.
std::optional<std::int64_t> EnvNumber(const wchar_t* name);

bool ReadWholeFile(const std::wstring& path, std::string& content);
bool WriteWholeFile(const std::wstring& path, std::string_view content);

// Standard output as the tool writes it: UTF-16LE bytes with WriteFile (or 8-bit text in a code
// page), optionally in small pieces, with a pause after each line. A real console gets the text
// through WriteConsoleW so that a person can read it.
class Output {
public:
    Output();

    void SetUtf16(bool on, UINT codePage);
    void SetSplit(std::size_t bytes) { split_ = bytes; }
    void SetDelay(DWORD least, DWORD most);
    void Line(std::wstring_view text, std::wstring_view end = L"\r\n");
    void Text(std::wstring_view text);
    void Bytes(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    void Pause();

private:
    void Write(const char* data, std::size_t size);

    HANDLE handle_;
    bool usable_ = false;
    bool console_ = false;
    bool utf16_ = true;
    UINT codePage_ = CP_OEMCP;
    std::size_t split_ = 0;
    bool fixedDelay_ = false;
    DWORD delayMin_ = 20;
    DWORD delayMax_ = 50;
    unsigned random_ = 1;
};

} // namespace winfrsim
