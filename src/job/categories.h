#pragma once
// The file-type categories of the "Deleted file type" filter and the pattern list they give.
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

// In the order of the main window's category check boxes.
enum class Category { Documents, Photos, Videos, Audios, WebPages, Compressed };
constexpr int kCategoryCount = 6;

extern const std::vector<std::string> DocumentTypes;
extern const std::vector<std::string> PhotoTypes;
extern const std::vector<std::string> VideoTypes;
extern const std::vector<std::string> AudioTypes;
extern const std::vector<std::string> WebPageTypes;
extern const std::vector<std::string> CompressedTypes;

// The patterns of a category ("*.txt", ...), in their fixed order.
const std::vector<std::string>& CategoryPatterns(Category c);

// The hint of the category's check box, exactly as the main window shows it.
const std::string& CategoryHint(Category c);

// The patterns typed into customTypesEdit, such as ".dll, .ini" -> "*.dll", "*.ini".
std::vector<std::string> CustomPatterns(std::string_view customText);

struct CategoryChoice {
    bool ticked[kCategoryCount] = {}; // indexed by Category
    bool custom = false;              // "Custom file types" is ticked
    std::string customText;           // customTypesEdit
};

// The ticked categories' patterns in category order, then the custom patterns.
std::vector<std::string> BuildPatternList(const CategoryChoice& choice);

} // namespace kestro
