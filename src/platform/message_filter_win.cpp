#include "platform/message_filter_win.h"

#include "platform/optional_api_win.h"

namespace kestro {

namespace {
MessageFilterFunction replacement = nullptr;
}

void SetMessageFilterFunction(MessageFilterFunction function) noexcept {
    replacement = function;
}

void AllowMessageFrom(HWND window, UINT message) {
    const MessageFilterFunction filter = replacement != nullptr ? replacement : ChangeWindowMessageFilterExFn();
    if (filter != nullptr && window != nullptr) {
        filter(window, message, MSGFLT_ALLOW, nullptr);
    }
}

} // namespace kestro
