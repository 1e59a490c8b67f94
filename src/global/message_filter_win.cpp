#include "global/message_filter_win.h"

namespace kestro {

namespace {

MessageFilterFunction SystemFilter() {
    static const auto filter = reinterpret_cast<MessageFilterFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
    return filter;
}

MessageFilterFunction replacement = nullptr;

} // namespace

void SetMessageFilterFunction(MessageFilterFunction function) noexcept { replacement = function; }

void AllowMessageFrom(HWND window, UINT message) {
    const MessageFilterFunction filter = replacement != nullptr ? replacement : SystemFilter();
    if (filter != nullptr && window != nullptr) {
        filter(window, message, MSGFLT_ALLOW, nullptr);
    }
}

} // namespace kestro
