#include "runner/run_log_writer_win.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/failures.h"
#include "platform/handles_win.h"

namespace kestro {

struct RunLogWriter::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string pending;
    std::string closing; // written last, once finishing
    std::size_t dropped = 0;
    bool finishing = false;
    bool finished = false;
    std::wstring path;
};

namespace {

std::wstring NumberedName(const std::wstring& fileName, int number) {
    if (number <= 1) {
        return fileName;
    }
    const std::size_t dot = fileName.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : fileName.substr(dot);
    return stem + L" (" + std::to_wstring(number) + L")" + extension;
}

// A new file, never an existing one: a log is never written over another.
UniqueHandle CreateLogFile(const std::wstring& folder, const std::wstring& fileName, std::wstring& path) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/') {
        base.push_back(L'\\');
    }
    for (int number = 1; number <= 99; ++number) {
        const std::wstring candidate = base + NumberedName(fileName, number);
        UniqueHandle file(CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            path = candidate;
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return UniqueHandle();
}

bool WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

std::string DroppedNote(std::size_t dropped) {
    return "[" + std::to_string(dropped) + " lines were not written: the destination was too slow]\r\n";
}

std::string FullNote(std::uint64_t maxBytes) {
    const std::string limit =
        maxBytes >= (1u << 20) ? std::to_string(maxBytes >> 20) + " MB" : std::to_string(maxBytes >> 10) + " KB";
    return "[The lines that followed were not written: the log reached its limit of " + limit + "]\r\n";
}

// The file and how much of it the output may still take.
class LogFile {
public:
    LogFile(UniqueHandle file, std::uint64_t maxBytes)
        : file_(std::move(file)), maxBytes_(maxBytes),
          outputRoom_(maxBytes > RunLogWriter::kClosingRoom ? maxBytes - RunLogWriter::kClosingRoom : 0) {}

    // Output lines, whole lines only, as far as the room allows; then one note that the log ends.
    void WriteOutput(std::string_view text) {
        if (!file_ || full_ || text.empty()) {
            return;
        }
        if (written_ + text.size() > outputRoom_) {
            const std::size_t room = static_cast<std::size_t>(outputRoom_ - written_);
            const std::size_t lineEnd = text.substr(0, room).rfind('\n');
            Write(lineEnd == std::string_view::npos ? std::string_view() : text.substr(0, lineEnd + 1));
            Write(FullNote(maxBytes_));
            full_ = true;
            return;
        }
        Write(text);
    }
    // The closing lines fit in the room kept for them.
    void WriteClosing(std::string_view text) {
        if (file_ && written_ + text.size() <= maxBytes_) {
            Write(text);
        }
    }

private:
    void Write(std::string_view text) {
        if (file_ && !WriteAll(file_.Get(), text)) {
            file_.Reset(); // the log simply ends here
        }
        written_ += text.size();
    }

    UniqueHandle file_;
    std::uint64_t maxBytes_;
    std::uint64_t outputRoom_;
    std::uint64_t written_ = 0;
    bool full_ = false;
};

void WriteLog(const std::shared_ptr<RunLogWriter::State>& state, const std::wstring& folder,
              const std::wstring& fileName, std::uint64_t maxBytes) {
    std::wstring path;
    UniqueHandle created = CreateLogFile(folder, fileName, path);
    {
        std::lock_guard lock(state->mutex);
        state->path = path;
    }
    LogFile file(std::move(created), maxBytes);
    for (;;) {
        std::string text;
        std::string closing;
        bool last = false;
        {
            std::unique_lock lock(state->mutex);
            state->changed.wait(lock, [&] { return !state->pending.empty() || state->finishing; });
            text.swap(state->pending);
            if (state->dropped > 0 && !state->finishing) {
                text += DroppedNote(std::exchange(state->dropped, 0));
            }
            last = state->finishing;
            if (last) {
                closing.swap(state->closing);
            }
        }
        file.WriteOutput(text);
        if (last) {
            file.WriteClosing(closing);
            break;
        }
    }
    std::lock_guard lock(state->mutex);
    state->finished = true;
    state->changed.notify_all();
}

} // namespace

RunLogWriter::RunLogWriter(std::wstring folder, std::wstring fileName, std::string opening, std::uint64_t maxBytes)
    : state_(std::make_shared<State>()) {
    state_->pending = std::move(opening);
    try {
        std::thread([state = state_, folder = std::move(folder), fileName = std::move(fileName), maxBytes]() mutable noexcept {
            try {
                WriteLog(state, folder, fileName, maxBytes);
            } catch (...) {
                SwallowedFailure("RunLogWriter: the writing thread");
                std::lock_guard lock(state->mutex);
                state->finished = true;
                state->changed.notify_all();
            }
        }).detach();
    } catch (...) {
        // No thread, no log: the run itself goes on.
        SwallowedFailure("RunLogWriter: starting its thread");
        state_->finished = true;
    }
}

RunLogWriter::~RunLogWriter() {
    Finish({});
    WaitFinished(2000);
}

void RunLogWriter::Append(std::string_view text) {
    std::lock_guard lock(state_->mutex);
    if (state_->finishing || state_->finished) {
        return;
    }
    if (state_->pending.size() + text.size() > kMaxPending) {
        ++state_->dropped;
        return;
    }
    state_->pending.append(text);
    state_->changed.notify_all();
}

void RunLogWriter::Finish(std::string_view closing) {
    std::lock_guard lock(state_->mutex);
    if (state_->finishing || state_->finished) {
        return;
    }
    if (state_->dropped > 0) {
        state_->pending += DroppedNote(std::exchange(state_->dropped, 0));
    }
    state_->closing.assign(closing);
    state_->finishing = true;
    state_->changed.notify_all();
}

bool RunLogWriter::WaitFinished(DWORD milliseconds) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return state_->finished; });
}

std::wstring RunLogWriter::Path() const {
    std::lock_guard lock(state_->mutex);
    return state_->path;
}

} // namespace kestro
