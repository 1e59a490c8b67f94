#pragma once
// A failure of the system, carried as a value until it is shown: the entry of the string table
// that tells what failed, with a place %1 for the number, and the system's error number. It
// becomes words only where it is shown, in the program's language.
#include <cstdint>
#include <exception>
#include <string>

#include "base/texts.h"

namespace kestro {

class SystemError : public std::exception {
public:
    SystemError(TextId text, std::uint32_t code) noexcept;

    TextId Text() const noexcept { return text_; }
    std::uint32_t Code() const noexcept { return code_; }
    // The words the user reads: the text with the number in its place.
    std::string Words() const;
    // For the failure records and a debugger: "system error 2 (text 120)".
    const char* what() const noexcept override { return what_; }

private:
    TextId text_;
    std::uint32_t code_;
    char what_[48];
};

} // namespace kestro
