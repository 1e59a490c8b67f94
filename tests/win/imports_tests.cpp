// What Tarvask.exe makes Windows load before wWinMain runs. The program runs elevated, and a DLL
// that it imports is searched for beside the program first unless the system knows it (the
// KnownDLLs) or the manifest names it: anything else could be planted in the folder the program
// is started from. Both builds are read, whichever architecture runs this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/optional_api_win.h"
#include "support/wine_helpers.h"

namespace {

using kestro::testing_win::ExeFolder;

struct Imports {
    std::string error; // why the file could not be read; empty when it was
    WORD machine = 0;
    std::vector<std::string> dlls;        // the import directory, lower case
    std::vector<std::string> delayedDlls; // the delay-load directory, lower case
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A PE file's import tables, PE32 or PE32+, whatever this test program's own architecture.
class PeReader {
public:
    explicit PeReader(std::vector<char> bytes) : bytes_(std::move(bytes)) {}

    Imports Read() {
        Imports result;
        result.error = ReadHeaders(result.machine);
        if (result.error.empty()) {
            result.error = ReadImportNames(result.dlls);
        }
        if (result.error.empty()) {
            result.error = ReadDelayLoadNames(result.delayedDlls);
        }
        return result;
    }

private:
    template <class T> const T* At(std::size_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
            return nullptr;
        }
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    std::optional<std::size_t> OffsetOf(DWORD rva) const {
        for (WORD i = 0; i < sectionCount_; ++i) {
            const auto* section = At<IMAGE_SECTION_HEADER>(sections_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (section == nullptr) {
                return std::nullopt;
            }
            const DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
            if (rva >= section->VirtualAddress && rva - section->VirtualAddress < size) {
                return static_cast<std::size_t>(section->PointerToRawData) + (rva - section->VirtualAddress);
            }
        }
        return std::nullopt;
    }

    template <class T> const T* AtRva(DWORD rva) const {
        const auto offset = OffsetOf(rva);
        return offset ? At<T>(*offset) : nullptr;
    }

    std::optional<std::string> StringAtRva(DWORD rva) const {
        const auto offset = OffsetOf(rva);
        if (!offset || *offset >= bytes_.size()) {
            return std::nullopt;
        }
        const char* begin = bytes_.data() + *offset;
        const char* end = static_cast<const char*>(std::memchr(begin, 0, bytes_.size() - *offset));
        if (end == nullptr) {
            return std::nullopt;
        }
        return std::string(begin, end);
    }

    // Finds the data directories and the section table; the machine once the file header is read.
    // Returns why they cannot be found, empty when they can.
    std::string ReadHeaders(WORD& machine) {
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
            return "no MZ header";
        }
        const auto ntOffset = static_cast<std::size_t>(dos->e_lfanew);
        const auto* signature = At<DWORD>(ntOffset);
        const auto* file = At<IMAGE_FILE_HEADER>(ntOffset + sizeof(DWORD));
        if (signature == nullptr || *signature != IMAGE_NT_SIGNATURE || file == nullptr) {
            return "no PE header";
        }
        machine = file->Machine;
        const std::size_t optional = ntOffset + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
        const auto* magic = At<WORD>(optional);
        if (magic != nullptr && *magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            ReadOptionalHeader(At<IMAGE_OPTIONAL_HEADER32>(optional));
        } else if (magic != nullptr && *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            ReadOptionalHeader(At<IMAGE_OPTIONAL_HEADER64>(optional));
        }
        if (directories_ == nullptr) {
            return "unknown optional header";
        }
        sections_ = optional + file->SizeOfOptionalHeader;
        sectionCount_ = file->NumberOfSections;
        return {};
    }

    // PE32 or PE32+: the same fields at other offsets.
    template <class Header> void ReadOptionalHeader(const Header* header) {
        if (header != nullptr) {
            directories_ = header->DataDirectory;
            directoryCount_ = header->NumberOfRvaAndSizes;
            imageBase_ = header->ImageBase;
        }
    }

    // Where a data directory starts; 0 when the file has none of that kind.
    DWORD DirectoryRva(DWORD entry) const { return directoryCount_ > entry ? directories_[entry].VirtualAddress : 0; }

    // The DLL names of a directory of descriptors, which ends with one whose name is 0; what names
    // the directory in the error. nameRva gives a descriptor's name as an offset, nothing at the end.
    template <class Descriptor, class NameRva>
    std::string ReadNames(DWORD entry, const std::string& what, NameRva nameRva, std::vector<std::string>& dlls) const {
        const DWORD first = DirectoryRva(entry);
        if (first == 0) {
            return {};
        }
        for (DWORD rva = first;; rva += sizeof(Descriptor)) {
            const auto* descriptor = AtRva<Descriptor>(rva);
            if (descriptor == nullptr) {
                return what + " directory outside the file";
            }
            const std::optional<DWORD> nameAt = nameRva(*descriptor);
            if (!nameAt) {
                return {};
            }
            const auto name = StringAtRva(*nameAt);
            if (!name) {
                return what + " name outside the file";
            }
            dlls.push_back(Lower(*name));
        }
    }

    std::string ReadImportNames(std::vector<std::string>& dlls) const {
        const auto nameRva = [](const IMAGE_IMPORT_DESCRIPTOR& d) {
            return d.Name == 0 ? std::nullopt : std::optional<DWORD>(d.Name);
        };
        return ReadNames<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT, "import", nameRva, dlls);
    }

    std::string ReadDelayLoadNames(std::vector<std::string>& dlls) const {
        const auto nameRva = [this](const IMAGE_DELAYLOAD_DESCRIPTOR& d) -> std::optional<DWORD> {
            if (d.DllNameRVA == 0) {
                return std::nullopt;
            }
            // Old-style descriptors hold addresses rather than offsets.
            const bool rvaBased = (d.Attributes.AllAttributes & 1) != 0;
            return static_cast<DWORD>(rvaBased ? d.DllNameRVA : d.DllNameRVA - imageBase_);
        };
        return ReadNames<IMAGE_DELAYLOAD_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, "delay-load", nameRva, dlls);
    }

    std::vector<char> bytes_;
    const IMAGE_DATA_DIRECTORY* directories_ = nullptr;
    DWORD directoryCount_ = 0;
    std::size_t sections_ = 0;
    WORD sectionCount_ = 0;
    ULONGLONG imageBase_ = 0;
};

Imports ReadImports(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Imports missing;
        missing.error = "cannot be opened";
        return missing;
    }
    return PeReader(std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())).Read();
}

// The system's known DLLs, which Windows maps from the system folder whatever lies beside the
// program, and comctl32, which the manifest binds to the system's side-by-side copy.
const std::set<std::string>& Allowed() {
    static const std::set<std::string> allowed = {
        "advapi32.dll", "comdlg32.dll", "gdi32.dll",    "imm32.dll",  "kernel32.dll",
        "msvcrt.dll",   "ole32.dll",    "oleaut32.dll", "rpcrt4.dll", "shell32.dll",
        "shlwapi.dll",  "user32.dll",   "ws2_32.dll",   "ntdll.dll",  "comctl32.dll",
    };
    return allowed;
}

// The build of the other architecture lies beside this one (build/win32 and build/win64).
std::filesystem::path OtherBuildsProgram() {
    const std::filesystem::path build = std::filesystem::path(KESTRO_BUILD_DIR);
    const std::string name = build.filename().string();
    const std::string other = name == "win32" ? "win64" : name == "win64" ? "win32" : "";
    if (other.empty()) {
        return {};
    }
    return build.parent_path() / other / "bin" / "Tarvask.exe";
}

void ExpectOnlyKnownDlls(const std::filesystem::path& program, WORD machine) {
    SCOPED_TRACE(program.string());
    const Imports imports = ReadImports(program);
    ASSERT_TRUE(imports.error.empty()) << imports.error;
    EXPECT_EQ(imports.machine, machine);
    // The reader found the imports every such program has, so an empty list is no false pass.
    for (const char* expected : {"kernel32.dll", "user32.dll", "comctl32.dll"}) {
        EXPECT_NE(std::find(imports.dlls.begin(), imports.dlls.end(), expected), imports.dlls.end()) << expected;
    }
    for (const std::string& dll : imports.dlls) {
        EXPECT_TRUE(Allowed().count(dll) != 0) << dll << " is imported, but it is not one of the system's known DLLs";
    }
    for (const std::string& dll : imports.delayedDlls) {
        EXPECT_TRUE(Allowed().count(dll) != 0) << dll
                                               << " is delay-loaded by name, so it is searched for beside the "
                                                  "program";
    }
}

#if defined(_WIN64)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_I386;
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_AMD64;
#endif

TEST(ProgramImports, ThisArchitecturesProgramImportsOnlyKnownSystemDlls) {
    const std::filesystem::path program = ExeFolder() / L"Tarvask.exe";
    ASSERT_TRUE(std::filesystem::exists(program)) << program.string();
    ExpectOnlyKnownDlls(program, kOwnMachine);
    // The big ones, and those behind screen readers, come when first needed (optional_api_win).
    const Imports imports = ReadImports(program);
    for (const char* later : {"shell32.dll", "ole32.dll", "oleaut32.dll", "oleacc.dll"}) {
        EXPECT_EQ(std::find(imports.dlls.begin(), imports.dlls.end(), later), imports.dlls.end()) << later;
    }
}

TEST(ProgramImports, TheOtherArchitecturesProgramImportsOnlyKnownSystemDlls) {
    const std::filesystem::path program = OtherBuildsProgram();
    if (program.empty() || !std::filesystem::exists(program)) {
        GTEST_SKIP() << "the other architecture's build is not there: " << program.string();
    }
    ExpectOnlyKnownDlls(program, kOtherMachine);
}

TEST(ProgramImports, TheReaderTellsBrokenFilesApart) {
    EXPECT_EQ(PeReader({}).Read().error, "no MZ header");
    std::vector<char> truncated(sizeof(IMAGE_DOS_HEADER), 0);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(truncated.data());
    dos->e_magic = IMAGE_DOS_SIGNATURE;
    dos->e_lfanew = 0x7FFFFFF0;
    EXPECT_EQ(PeReader(truncated).Read().error, "no PE header");
}

// The folder a loaded module was loaded from.
std::filesystem::path FolderOf(const wchar_t* module) {
    HMODULE handle = GetModuleHandleW(module);
    if (handle == nullptr) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(handle, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

std::filesystem::path SystemFolder() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return system;
}

// The visual-styles DLL is not a known DLL: it comes from the system folder at run time.
TEST(OptionalApi, UxThemeIsLoadedFromTheSystemFolder) {
    ASSERT_TRUE(kestro::Theme().Available());
    EXPECT_EQ(FolderOf(L"uxtheme.dll"), SystemFolder());
}

// Nor are the network libraries behind the checks for shares of this computer, nor Active
// Accessibility's.
TEST(OptionalApi, TheNetworkAndAccessibilityLibrariesAreLoadedFromTheSystemFolder) {
    EXPECT_TRUE(kestro::NetShare().Available());
    EXPECT_NE(kestro::WNetGetConnectionFn(), nullptr);
    EXPECT_NE(kestro::GetAdaptersAddressesFn(), nullptr);
    EXPECT_TRUE(kestro::Accessibility().Available());
    for (const wchar_t* module : {L"netapi32.dll", L"mpr.dll", L"iphlpapi.dll", L"oleacc.dll"}) {
        EXPECT_EQ(FolderOf(module), SystemFolder()) << std::filesystem::path(module).string();
    }
}

TEST(OptionalApi, ALibraryOutsideTheSystemFolderIsNotLoaded) {
    // The test program's own folder holds the simulator as winfr.exe, but no such DLL is in the
    // system folder: a search that looked beside the program would find it.
    const std::filesystem::path beside = ExeFolder() / L"kestro-planted.dll";
    std::error_code ec;
    std::filesystem::copy_file(ExeFolder() / L"winfr.exe", beside, std::filesystem::copy_options::overwrite_existing,
                               ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(kestro::LoadSystemLibrary(L"kestro-planted.dll"), nullptr);
    std::filesystem::remove(beside, ec);
}

} // namespace
