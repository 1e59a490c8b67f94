// The simulator's built-in scenarios, one for each kind of tool behaviour the program must handle;
// scenario.cpp describes their language.
#include "scenario.h"

namespace winfrsim {

namespace {

struct BuiltIn {
    const char* name;
    const char* text;
};

const BuiltIn kBuiltIns[] = {
    {"quick", R"(# A normal quick scan that recovers a dozen files.
header
line Pass 1: Scanning and processing disk
scan 0 100 5
line
line Pass 2: Recovering files
files 12
line Progress: 100%
line
)"},
    {"deep", R"(# A deep scan: progress redrawn with CR alone, then thousands of files.
header
line Pass 1: Scanning and processing disk
scan 0 100 1 cr
line
line Pass 2: Recovering files
delay 1 3
files 2500
delay 20 50
line Progress: 100%
line
)"},
    {"skipped", R"(# A quick scan whose recovering pass skips files (their names are taken, say): the count stops
# short of the total, and the tool still ends at 100 %.
header
line Pass 1: Scanning and processing disk
scan 0 100 25
line
line Pass 2: Recovering files
total 12
files 9
line Progress: 100%
line
)"},
    {"nothing", R"(# Nothing to recover in this mode.
header
line Pass 1: Scanning and processing disk
scan 0 100 10
line
line No recoverable files were found with this mode.
line
)"},
    {"diskfull", R"(# The destination fills up: the tool asks, without a line end, and waits for an answer.
header
line Pass 1: Scanning and processing disk
scan 0 100 20
line
line Pass 2: Recovering files
total 40
files 3
raw Destination disk is full. Free up space on the destination, then press (r)etry, (s)kip, or (a)bort:
hang
)"},
    {"admin", R"(# Started without administrator rights.
line
line Windows File Recovery
line Copyright (c) Microsoft Corporation. All rights reserved
line
line Windows File Recovery requires admin privileges to run. Please start it from an elevated prompt.
exit 5
)"},
    {"instant", R"(# Ends at once, writing nothing.
exit 0
)"},
    {"crash", R"(# Some progress, then an abnormal end.
header
line Pass 1: Scanning and processing disk
scan 0 40 10
crash
)"},
    {"midcrash", R"(# Recovering files, then an abnormal end half way.
header
line Pass 1: Scanning and processing disk
scan 0 100 25
line
line Pass 2: Recovering files
total 40
files 5
crash
)"},
    {"killed", R"(# Some progress, then ended from outside (Task Manager's "End process", taskkill /f).
header
line Pass 1: Scanning and processing disk
scan 0 30 10
exit 1
)"},
    {"hang", R"(# Some progress, then nothing more until killed.
header
line Pass 1: Scanning and processing disk
scan 0 30 10
hang
)"},
    {"flood", R"(# Files-recovered lines as fast as the pipe takes them.
header
line Pass 2: Recovering files
flood
line Progress: 100%
line
)"},
    {"unicode", R"(# Names in several scripts, emoji (surrogate pairs) and box drawing (zero low bytes).
header
line Pass 1: Scanning and processing disk
line ──────────────────────────────────────
scan 0 100 25
line ──────────────────────────────────────
line Pass 2: Recovering files
file Документы\Отчёт о работе.docx
file 文档\报告 2024.pdf
file 写真\東京.jpg
file Photos\😀 party 🎉.png
file Notes\┌─ box ─┐.txt
line ──────────────────────────────────────
line Progress: 100%
line ╚══ done ══╝
)"},
    {"pieces", R"(# Every line in several writes, cut inside code units and inside surrogate pairs.
split 3
header
line Pass 1: Scanning and processing disk
scan 0 100 10
split 5
line Pass 2: Recovering files
file Photos\🎉 party.jpg
split 2
file Photos\😀😀😀.png
split 7
files 6
line Progress: 100%
)"},
    {"ansi", R"(# 8-bit output in the OEM code page, as a console program writing to a pipe may produce.
utf16 off
header
line Pass 1: Scanning and processing disk
scan 0 100 20
line
line Pass 2: Recovering files
file Café\Résumé.docx
file Übersicht.txt
line Progress: 100%
)"},
};

} // namespace

const char* BuiltInScenario(std::string_view name) {
    for (const auto& b : kBuiltIns) {
        if (name == b.name) {
            return b.text;
        }
    }
    return nullptr;
}

std::string BuiltInScenarioNames() {
    std::string names;
    for (const auto& b : kBuiltIns) {
        if (!names.empty()) {
            names += ' ';
        }
        names += b.name;
    }
    return names;
}

} // namespace winfrsim
