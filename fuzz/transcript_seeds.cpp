// Writes the output fuzzer's seeds from the golden transcripts: each transcript's output in its
// encoding (tests/data/transcripts/README.md describes the file format), behind the two control
// bytes that the fuzzer reads first.
//
// Usage: transcript_seeds TRANSCRIPT_FOLDER OUTPUT_FOLDER
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::string;

void PutUnit(unsigned unit, Bytes& out) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

void PutUtf16(std::string_view utf8, Bytes& out) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unsigned cp = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        if (cp >= 0x10000) {
            PutUnit(0xD800 + ((cp - 0x10000) >> 10), out);
            PutUnit(0xDC00 + ((cp - 0x10000) & 0x3FF), out);
        } else {
            PutUnit(cp, out);
        }
    }
}

void EncodeLine(std::string_view line, bool utf16, std::string_view lineEnd, Bytes& out) {
    if (line.starts_with("<8BIT>")) {
        line.remove_prefix(6);
        utf16 = false;
    }
    if (line.ends_with("<NOEOL>")) {
        line.remove_suffix(7);
        lineEnd = {};
    }
    std::string text;
    const auto flush = [&] {
        if (utf16) {
            PutUtf16(text, out);
        } else {
            out += text;
        }
        text.clear();
    };
    for (std::size_t i = 0; i < line.size();) {
        const std::string_view rest = line.substr(i);
        if (rest.starts_with("<CR>")) {
            text.push_back('\r');
            i += 4;
        } else if (rest.starts_with("<LF>")) {
            text.push_back('\n');
            i += 4;
        } else if (rest.starts_with("<BS>")) {
            text.push_back('\b');
            i += 4;
        } else if (rest.starts_with("<NUL>")) {
            text.push_back('\0');
            i += 5;
        } else if (utf16 && rest.starts_with("<U+") && rest.size() >= 8 && rest[7] == '>') {
            flush();
            PutUnit(static_cast<unsigned>(std::stoul(std::string(rest.substr(3, 4)), nullptr, 16)), out);
            i += 8;
        } else if (!utf16 && rest.starts_with("<x") && rest.size() >= 5 && rest[4] == '>') {
            text.push_back(static_cast<char>(std::stoul(std::string(rest.substr(2, 2)), nullptr, 16)));
            i += 5;
        } else {
            text.push_back(line[i++]);
        }
    }
    text.append(lineEnd);
    flush();
}

bool Encode(const std::filesystem::path& file, Bytes& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    bool output = false;
    bool utf16 = true;
    std::string lineEnd = "\r\n";
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (output) {
            if (line == "events:") {
                return true;
            }
            EncodeLine(line, utf16, lineEnd, out);
        } else if (line == "output:") {
            output = true;
        } else if (line == "encoding utf16le-bom") {
            out += "\xFF\xFE";
        } else if (line == "encoding narrow") {
            utf16 = false;
        } else if (line.starts_with("lineend ")) {
            const std::string kind = line.substr(8);
            lineEnd = kind == "lf" ? "\n" : kind == "cr" ? "\r" : "\r\n";
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: transcript_seeds TRANSCRIPT_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.path().extension() == ".transcript") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::filesystem::create_directories(argv[2]);
    // Each transcript once whole-ish (pieces of up to 256 bytes, no flushes) and once in small
    // pieces with frequent flushes, so both kinds of run start from real output.
    const unsigned char controls[2][2] = {{0xFF, 0x00}, {0x06, 0x05}};
    int written = 0;
    for (const auto& file : files) {
        Bytes output;
        if (!Encode(file, output)) {
            std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
            return 1;
        }
        for (int k = 0; k < 2; ++k) {
            const auto name = std::filesystem::path(argv[2]) / (file.stem().string() + "-" + std::to_string(k));
            std::ofstream seed(name, std::ios::binary);
            seed.put(static_cast<char>(controls[k][0]));
            seed.put(static_cast<char>(controls[k][1]));
            seed << output;
            ++written;
        }
    }
    std::printf("%d seeds written to %s\n", written, argv[2]);
    return 0;
}
