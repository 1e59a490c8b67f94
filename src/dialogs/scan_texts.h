#pragma once
// The texts the Scanning dialog shows, each made of whole entries of the string table (in the
// chosen language) with the values in their places. Portable.
#include <cstdint>
#include <string>
#include <string_view>

#include "job/recovery_options.h"

namespace kestro {

// The box at the end of a run: the mode's sentence, then how many files were found and where
// they went, when the tool told it.
std::string CompletedText(RecoveryMode mode, std::int32_t filesFound, std::string_view savedFolder);

// The box when the tool found nothing; a quick scan also suggests the deep one.
std::string NothingFoundText(RecoveryMode mode);

// The line under the bar: the time elapsed, then the time left when there is an estimate, then
// the files so far when the tool gave a total (numbers already written the user's way), each an
// entry of its own, three blanks apart. Empty parts are left out.
std::string ElapsedLineText(std::string_view clock, std::string_view timeLeft, std::string_view filesRecovered,
                            std::string_view filesTotal);

} // namespace kestro
