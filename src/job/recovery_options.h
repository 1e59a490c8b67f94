#pragma once
// The two choices of the main window that decide what kind of run the tool makes: the filter and
// the recovery mode. Their lists hold them in this order.
#include <optional>

namespace kestro {

enum class Filter { AllDeleted, SpecificFile, Wildcard, FileType };
constexpr int kFilterCount = 4;

// The filter of the item at index; nothing when no item is chosen (-1) or the index is outside.
constexpr std::optional<Filter> FilterOfIndex(int index) {
    if (index < 0 || index >= kFilterCount) {
        return std::nullopt;
    }
    return static_cast<Filter>(index);
}

constexpr int IndexOfFilter(Filter filter) {
    return static_cast<int>(filter);
}

enum class RecoveryMode { Quick, Deep };

// The mode list's first entry is Quick Scan; any other entry, and no entry at all, counts as the
// deep scan (the tool's extensive mode).
constexpr RecoveryMode RecoveryModeOfIndex(int index) {
    return index == 0 ? RecoveryMode::Quick : RecoveryMode::Deep;
}

} // namespace kestro
