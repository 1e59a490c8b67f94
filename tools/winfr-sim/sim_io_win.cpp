#include "sim_io_win.h"

#include <string>

namespace winfrsim {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), needed);
    return out;
}

std::optional<std::wstring> Env(const wchar_t* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        return std::nullopt;
    }
    std::wstring value(needed, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(got < needed ? got : 0);
    return value;
}

std::optional<std::int64_t> EnvNumber(const wchar_t* name) {
    const auto text = Env(name);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        const long long value = std::stoll(*text, &used, 10);
        if (used == text->size() && value >= 0) {
            return value;
        }
    } catch (...) {
    }
    return std::nullopt;
}

bool ReadWholeFile(const std::wstring& path, std::string& content) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &got, nullptr) != FALSE) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, std::string_view content) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) != FALSE;
    CloseHandle(file);
    return ok && written == content.size();
}

Output::Output() : handle_(GetStdHandle(STD_OUTPUT_HANDLE)) {
    DWORD mode = 0;
    usable_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
    console_ = usable_ && GetConsoleMode(handle_, &mode) != FALSE;
    if (const auto delay = EnvNumber(L"WINFR_SIM_DELAY_MS")) {
        fixedDelay_ = true;
        delayMin_ = delayMax_ = static_cast<DWORD>(*delay);
    }
    random_ = GetTickCount() | 1u;
}

void Output::SetUtf16(bool on, UINT codePage) {
    utf16_ = on;
    codePage_ = codePage == 0 ? CP_OEMCP : codePage;
}

void Output::SetDelay(DWORD least, DWORD most) {
    if (!fixedDelay_) {
        delayMin_ = least;
        delayMax_ = most;
    }
}

void Output::Line(std::wstring_view text, std::wstring_view end) {
    std::wstring line(text);
    line += end;
    Text(line);
    Pause();
}

void Output::Text(std::wstring_view text) {
    if (utf16_ && console_) {
        DWORD written = 0;
        WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    if (utf16_) {
        Write(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return;
    }
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(codePage_, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    WideCharToMultiByte(codePage_, 0, text.data(), size, narrow.data(), needed, nullptr, nullptr);
    Write(narrow.data(), narrow.size());
}

void Output::Pause() {
    if (delayMax_ == 0) {
        return;
    }
    random_ = random_ * 1103515245u + 12345u;
    const DWORD span = delayMax_ - delayMin_ + 1;
    Sleep(delayMin_ + (random_ >> 8) % span);
}

void Output::Write(const char* data, std::size_t size) {
    if (!usable_) {
        return;
    }
    const std::size_t piece = split_ == 0 ? size : split_;
    for (std::size_t at = 0; at < size; at += piece) {
        const DWORD n = static_cast<DWORD>(size - at < piece ? size - at : piece);
        DWORD written = 0;
        if (!WriteFile(handle_, data + at, n, &written, nullptr)) {
            // Whoever read the output has gone: there is nobody left to play to.
            ExitProcess(kExitUsage);
        }
        if (split_ != 0 && delayMax_ > 0) {
            Sleep(1); // lets the reader see the pieces one by one
        }
    }
}

} // namespace winfrsim
