#include "job/categories.h"

#include "base/text.h"

namespace kestro {

const std::vector<std::string> DocumentTypes = {"*.txt", "*.doc", "*.docm", "*.docx", "*.dot",  "*.odt",
                                                "*.wps", "*.xls", "*.xlsb", "*.xlsm", "*.xlsx", "*.csv",
                                                "*.pdf", "*.ppt", "*.pptm", "*.pptx"};

const std::vector<std::string> PhotoTypes = {"*.bmp",  "*.cur", "*.ico", "*.jiff", "*.jpg", "*.jpeg", "*.png", "*.tif",
                                             "*.tiff", "*.gif", "*.raw", "*.dng",  "*.arw", "*.psd",  "*.svg", "*.x3f"};

const std::vector<std::string> VideoTypes = {"*.mpeg", "*.mpg", "*.mp4",  "*.dat",  "*.avi", "*.mov",
                                             "*.asf",  "*.wmv", "*.3gp",  "*.ra",   "*.rm",  "*.mkv",
                                             "*.flv",  "*.f4v", "*.rmvb", "*.webm", "*.qsv", "*.m3u8"};

const std::vector<std::string> AudioTypes = {"*.aac", "*.cda", "*.wav", "*.aiff", "*.mp3",  "*.mid", "*.wma",
                                             "*.vqf", "*.ogg", "*.arm", "*.ape",  "*.flac", "*.m4a"};

const std::vector<std::string> WebPageTypes = {"*.xhtml", "*.htm", "*.html", "*.mht",
                                               "*.mhtml", "*.asp", "*.aspx", "*.lab"};

const std::vector<std::string> CompressedTypes = {"*.7z",  "*.ace", "*.arc", "*.arj",     "*.cab", "*.car", "*.dar",
                                                  "*.exe", "*.iso", "*.jar", "*.package", "*.pkg", "*.rar", "*.rpm",
                                                  "*.sh",  "*.tar", "*.taz", "*.tgz",     "*.zip", "*.zoo", "*.zz"};

namespace {

// Kept as written rather than derived from the tables: the shown hints carry a doubled
// blank in the audio list and a "." for "," in the compressed list, and users see them so.
const std::string kHints[kCategoryCount] = {
    ".txt, .doc, .docm, .docx, .dot, .odt, .wps, .xls, .xlsb, .xlsm, .xlsx, .csv, .pdf, .ppt, .pptm, .pptx",
    ".bmp, .cur, .ico, .jiff, .jpg, .jpeg, .png, .tif, .tiff, .gif, .raw, .dng, .arw, .psd, .svg, .x3f",
    ".mpeg, .mpg, .mp4, .dat, .avi, .mov, .asf, .wmv, .3gp, .ra, .rm, .mkv, .flv, .f4v, .rmvb, .webm, .qsv, .m3u8",
    ".aac, .cda, .wav, .aiff,  .mp3, .mid, .wma, .vqf, .ogg, .arm, .ape, .flac, .m4a",
    ".xhtml, .htm, .html, .mht, .mhtml, .asp, .aspx, .lab",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one hint, too long for one line
    ".7z, .ace, .arc, .arj, .cab, .car, .dar, .exe, .iso, .jar, .package, .pkg, .rar, .rpm, .sh, .tar, .taz, .tgz, "
    ".zip. .zoo, .zz",
};

std::size_t IndexOf(Category c) {
    const auto index = static_cast<std::size_t>(c);
    return index < kCategoryCount ? index : 0;
}

} // namespace

const std::vector<std::string>& CategoryPatterns(Category c) {
    static const std::vector<std::string>* const kTables[kCategoryCount] = {
        &DocumentTypes, &PhotoTypes, &VideoTypes, &AudioTypes, &WebPageTypes, &CompressedTypes};
    return *kTables[IndexOf(c)];
}

const std::string& CategoryHint(Category c) {
    return kHints[IndexOf(c)];
}

std::vector<std::string> CustomPatterns(std::string_view customText) {
    std::vector<std::string> patterns;
    std::string_view rest = customText;
    while (!rest.empty()) {
        const std::string_view piece = TextBetweenView(rest, ".", ",");
        if (!piece.empty()) {
            patterns.push_back("*." + std::string(piece));
        } else {
            // No "." before the next "," (or no "," at all): the rest is taken as it stands.
            // A rest of blanks alone (".log, " ends so) would become "*", which matches every
            // file on the drive instead of the few types asked for, so it adds nothing. Blanks
            // are any white space a paste can bring along: tabs, no-break and other spaces.
            const std::string_view remaining = WithoutLeadingSpace(rest);
            if (!remaining.empty()) {
                patterns.push_back("*" + std::string(remaining));
            }
        }
        rest = TextAfterView(rest, ",");
    }
    return patterns;
}

std::vector<std::string> BuildPatternList(const CategoryChoice& choice) {
    std::vector<std::string> patterns;
    for (int i = 0; i < kCategoryCount; ++i) {
        if (choice.ticked[i]) {
            const auto& table = CategoryPatterns(static_cast<Category>(i));
            patterns.insert(patterns.end(), table.begin(), table.end());
        }
    }
    if (choice.custom) {
        const auto custom = CustomPatterns(choice.customText);
        patterns.insert(patterns.end(), custom.begin(), custom.end());
    }
    return patterns;
}

} // namespace kestro
