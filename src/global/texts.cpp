#include "global/texts.h"

#include <array>
#include <unordered_map>

namespace kestro {

namespace {

constexpr TextEntry kEntries[] = {
#define KESTRO_TEXT(name, id, text) {name, text},
#include "global/texts.def"
#undef KESTRO_TEXT
};

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = [] {
        std::unordered_map<int, std::string> t;
        for (const auto& e : kEntries) {
            t.emplace(e.id, e.text);
        }
        return t;
    }();
    return table;
}

} // namespace

const std::string& Text(TextId id) {
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

const TextEntry* AllTexts(int& count) {
    count = static_cast<int>(std::size(kEntries));
    return kEntries;
}

} // namespace kestro
