#include "base/system_error.h"

#include <cstdio>

#include "base/text.h"

namespace kestro {

SystemError::SystemError(TextId text, std::uint32_t code) noexcept : text_(text), code_(code), what_{} {
    (void)std::snprintf(what_, sizeof(what_), "system error %lu (text %d)", static_cast<unsigned long>(code),
                        static_cast<int>(text));
}

std::string SystemError::Words() const {
    return FormatText(kestro::Text(text_), {std::to_string(code_)});
}

} // namespace kestro
