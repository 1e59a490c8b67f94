#include "dialogs/scan_texts.h"

#include "base/text.h"
#include "base/texts.h"

namespace kestro {

namespace {
constexpr std::string_view kPartGap = "   ";
}

std::string CompletedText(RecoveryMode mode, std::int32_t filesFound, std::string_view savedFolder) {
    std::string found;
    if (filesFound > 0) {
        const std::string count = std::to_string(filesFound);
        found = savedFolder.empty() ? FormatText(Text(IDS_FILES_WERE_FOUND), {count})
                                    : FormatText(Text(IDS_FILES_FOUND_AND_SAVED), {count, savedFolder});
    }
    return FormatText(Text(mode == RecoveryMode::Quick ? IDS_QUICK_COMPLETED : IDS_DEEP_COMPLETED), {found});
}

std::string NothingFoundText(RecoveryMode mode) {
    return Text(mode == RecoveryMode::Quick ? IDS_NOTHING_FOUND_QUICK : IDS_NOTHING_FOUND);
}

std::string ElapsedLineText(std::string_view clock, std::string_view timeLeft, std::string_view filesRecovered,
                            std::string_view filesTotal) {
    std::string line = FormatText(Text(IDS_ELAPSED), {clock});
    if (!timeLeft.empty()) {
        line += kPartGap;
        line += timeLeft;
    }
    if (!filesTotal.empty()) {
        line += kPartGap;
        line += FormatText(Text(IDS_FILES_SO_FAR), {filesRecovered, filesTotal});
    }
    return line;
}

} // namespace kestro
