#include "job/tool_options.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kestro;

namespace {

using Stored = std::map<std::string, std::string>;

ToolOptions Read(const Stored& file) {
    return ToolOptionsFromSettings([&file](const std::string& key) {
        const auto it = file.find(key);
        return it == file.end() ? std::string() : it->second;
    });
}

// What a save leaves in the file: the keys written, the removed ones gone.
Stored Saved(Stored file, const ToolOptions& options) {
    for (const auto& [key, value] : StoredToolOptions(options)) {
        if (value) {
            file[key] = *value;
        } else {
            file.erase(key);
        }
    }
    return file;
}

} // namespace

TEST(ToolOptionsSettings, AreWrittenOnlyAwayFromTheirDefaultsAndReadBackAsSaved) {
    struct Case {
        const char* name;
        ToolOptions options;
        Stored file;
    };
    const Case cases[] = {
        {"defaults", {}, {}},
        {"undeleted files", {.undeletedFiles = true}, {{"UndeletedFiles", "1"}}},
        {"system files", {.systemFiles = true}, {{"SystemFiles", "1"}}},
        {"no primary stream", {.noPrimaryStream = true}, {{"NoPrimaryStream", "1"}}},
        {"never overwrite", {.overwrite = Overwrite::Never}, {{"Overwrite", "never"}}},
        {"always overwrite", {.overwrite = Overwrite::Always}, {{"Overwrite", "always"}}},
        {"all of them",
         {true, true, true, Overwrite::Never},
         {{"UndeletedFiles", "1"}, {"SystemFiles", "1"}, {"NoPrimaryStream", "1"}, {"Overwrite", "never"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Saved({}, c.options), c.file) << c.name;
        EXPECT_EQ(Read(c.file), c.options) << c.name;
        // Back to the defaults, an option set before leaves no key behind to bring it back.
        EXPECT_EQ(Saved(c.file, ToolOptions{}), Stored{}) << c.name;
    }
}

TEST(ToolOptionsSettings, ValuesThatMeanNothingGiveTheDefaults) {
    struct Case {
        Stored file;
        ToolOptions expected;
    };
    const Case cases[] = {
        {{{"UndeletedFiles", "yes"}, {"SystemFiles", ""}, {"NoPrimaryStream", "0"}}, {}},
        {{{"Overwrite", "sometimes"}}, {}},
        {{{"Overwrite", "b"}}, {}},
        {{{"Overwrite", "/o:n"}}, {}},
        // Flags read as every other flag of the file: a whole number other than 0 is on.
        {{{"UndeletedFiles", "2"}, {"SystemFiles", "0x1"}}, {.undeletedFiles = true, .systemFiles = true}},
        {{{"Overwrite", " Never "}}, {.overwrite = Overwrite::Never}},
        {{{"Overwrite", "ALWAYS"}}, {.overwrite = Overwrite::Always}},
        {{{"Overwrite", "keep"}}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.file), c.expected) << (c.file.empty() ? "" : c.file.begin()->second);
    }
}
