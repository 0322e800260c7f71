// The non-portable calls on Windows: ffmpeg fed through named pipes, temporary files, the
// console, the program's folder, Ctrl+C and closing the console; and a 1 ms timer for pacing.
#include "platform/sys.h"

#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cstdlib>

namespace vantrose {

namespace {

struct Start {
    Start() {
        // Sleeps are good to the scheduler's tick, 15.6 ms unless asked for finer: the 60 Hz
        // pacing and the 20 ms timer need about a millisecond, for as long as the program runs.
        timeBeginPeriod(1);
        // Started by a double-click, the program has a console of its own, which would only
        // stand empty beside the dialog (its messages come in message boxes too): hidden.
        DWORD ids[2];
        if (GetConsoleProcessList(ids, 2) == 1) ShowWindow(GetConsoleWindow(), SW_HIDE);
    }
    ~Start() { timeEndPeriod(1); }
} start;

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string last_error_text() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = text ? narrow(text) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out;
}

void (*end_handler)() = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
    if (!end_handler) return FALSE;
    end_handler();
    // Closing the console ends the process once this returns: the show gets the seconds
    // Windows allows to end itself in order first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(5000);
    return TRUE;
}

// The writing end of a pipe, overlapped: one write in flight at a time, made from a copy of
// its bytes, so a write never waits; the second input waits first for ffmpeg to open it.
struct PipeEnd {
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED op{};
    bool busy = false; // a connect or a write is in flight
    bool connected = false;
    bool closing = false; // closed by the caller, ends once its last write is through
    std::string buffer;
};

PipeEnd ends[2];
constexpr DWORD pipe_bytes = 1 << 20; // a whole frame, so the show draws the next meanwhile

void release(PipeEnd& end) {
    if (end.busy) {
        // Its bytes are ours until the system lets go of them.
        DWORD done = 0;
        CancelIoEx(end.handle, &end.op);
        GetOverlappedResult(end.handle, &end.op, &done, TRUE);
    }
    if (end.handle != INVALID_HANDLE_VALUE) CloseHandle(end.handle);
    if (end.op.hEvent) CloseHandle(end.op.hEvent);
    end = PipeEnd{};
}

// Finishes the operation in flight if it is through: true when the pipe can take more now.
bool settle(PipeEnd& end, bool& broken, std::string& error) {
    if (!end.busy) return true;
    DWORD done = 0;
    if (!GetOverlappedResult(end.handle, &end.op, &done, FALSE)) {
        const DWORD code = GetLastError();
        if (code == ERROR_IO_INCOMPLETE) return false;
        end.busy = false;
        if (code == ERROR_PIPE_CONNECTED && !end.connected) {
            end.connected = true;
            return true;
        }
        broken =
            code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED;
        error = last_error_text();
        return false;
    }
    end.busy = false;
    end.connected = true;
    if (end.closing) release(end);
    return true;
}

// A fresh operation on the pipe's event.
void begin(PipeEnd& end) {
    const HANDLE event = end.op.hEvent;
    end.op = OVERLAPPED{};
    end.op.hEvent = event;
    ResetEvent(event);
}

// Starts waiting for ffmpeg to open the second input.
void listen(PipeEnd& end) {
    begin(end);
    if (ConnectNamedPipe(end.handle, &end.op)) {
        end.connected = true;
        return;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_PIPE_CONNECTED) end.connected = true;
    if (code == ERROR_IO_PENDING) end.busy = true;
}

// The child's argument quoted the way its C runtime splits a command line.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE child_stdin = INVALID_HANDLE_VALUE; // the reading end of pipe 0, until the child has it

} // namespace

void catch_end_signals(void (*on_end)()) {
    end_handler = on_end;
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stderr_is_terminal() {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) return false;
    // The progress line rewrites itself with escape sequences.
    SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

std::string program_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : narrow(path.substr(0, slash));
}

std::string make_temp_file(const std::string& prefix, std::string& error) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = wide(prefix) + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount() + attempt);
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return narrow(path);
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    error = last_error_text();
    return {};
}

std::string find_program(const std::string& name) {
    const std::wstring file = wide(name) + L".exe";
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring dirs(size, L'\0');
    dirs.resize(GetEnvironmentVariableW(L"PATH", dirs.data(), size));
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(L';', begin);
        if (end == std::wstring::npos) end = dirs.size();
        std::wstring dir = dirs.substr(begin, end - begin);
        if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"')
            dir = dir.substr(1, dir.size() - 2);
        if (!dir.empty()) {
            const std::wstring candidate = dir + L"\\" + file;
            const DWORD attributes = GetFileAttributesW(candidate.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return narrow(candidate);
        }
        begin = end + 1;
    }
    return {};
}

bool make_child_pipes(ChildProcess& child, std::string& error) {
    static unsigned serial = 0;
    const std::wstring base = L"\\\\.\\pipe\\vantrose-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(serial++) + L"-";
    std::wstring names[2];
    for (int i = 0; i < 2; ++i) {
        names[i] = base + std::to_wstring(i);
        PipeEnd& end = ends[i];
        end.handle = CreateNamedPipeW(
            names[i].c_str(),
            PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, pipe_bytes, 0, 0, nullptr);
        end.op.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (end.handle == INVALID_HANDLE_VALUE || !end.op.hEvent) {
            error = "cannot make a pipe to ffmpeg: " + last_error_text();
            release(ends[0]);
            release(ends[1]);
            return false;
        }
        child.pipes[i] = i; // the calls below find the pipe by its number
    }
    // The child's stdin is opened here; the second input by the child itself, by name.
    child_stdin = inheritable(names[0], GENERIC_READ, OPEN_EXISTING);
    if (child_stdin == INVALID_HANDLE_VALUE) {
        error = "cannot make a pipe to ffmpeg: " + last_error_text();
        release(ends[0]);
        release(ends[1]);
        return false;
    }
    ends[0].connected = true;
    listen(ends[1]);
    child.second_input = narrow(names[1]);
    return true;
}

bool spawn_child(const std::vector<std::string>& args, const std::string& log_path,
                 ChildProcess& child, std::string& error) {
    std::wstring command;
    for (const std::string& arg : args)
        command += (command.empty() ? L"" : L" ") + quoted(wide(arg));
    const HANDLE nul = inheritable(L"NUL", GENERIC_WRITE, OPEN_EXISTING);
    const HANDLE log =
        log_path.empty() ? nul : inheritable(wide(log_path), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = child_stdin;
    start.hStdOutput = nul;
    start.hStdError = log;
    PROCESS_INFORMATION process{};
    // A group of its own: Ctrl+C in the console reaches only us, and ffmpeg ends with the pipes.
    const BOOL started =
        CreateProcessW(wide(args[0]).c_str(), command.data(), nullptr, nullptr, TRUE,
                       CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &start, &process);
    if (!started) error = "cannot start " + args[0] + ": " + last_error_text();
    CloseHandle(child_stdin);
    child_stdin = INVALID_HANDLE_VALUE;
    if (log != nul && log != INVALID_HANDLE_VALUE) CloseHandle(log);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        release(ends[0]);
        release(ends[1]);
        return false;
    }
    CloseHandle(process.hThread);
    child.id = reinterpret_cast<intptr_t>(process.hProcess);
    return true;
}

int64_t pipe_write(ChildProcess& child, int pipe, const uint8_t* bytes, size_t size, bool& broken,
                   std::string& error) {
    PipeEnd& end = ends[pipe];
    broken = false;
    if (!settle(end, broken, error)) {
        if (broken || !error.empty()) return -1;
        // ffmpeg that ended before it opened the second input never will.
        if (!end.connected &&
            WaitForSingleObject(reinterpret_cast<HANDLE>(child.id), 0) == WAIT_OBJECT_0) {
            broken = true;
            error = "ffmpeg ended before it opened its sound input";
            return -1;
        }
        return 0;
    }
    const size_t n = size < pipe_bytes ? size : pipe_bytes;
    end.buffer.assign(reinterpret_cast<const char*>(bytes), n);
    begin(end);
    if (!WriteFile(end.handle, end.buffer.data(), static_cast<DWORD>(n), nullptr, &end.op)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            broken = code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA ||
                     code == ERROR_PIPE_NOT_CONNECTED;
            error = last_error_text();
            return -1;
        }
        end.busy = true;
    }
    return static_cast<int64_t>(n);
}

// Closes the pipes closed during their last write whose writes are through.
static void finish_closing() {
    for (PipeEnd& end : ends) {
        bool broken = false;
        std::string ignored;
        if (end.closing && (settle(end, broken, ignored) || broken || !ignored.empty()))
            release(end);
    }
}

int pipe_wait(ChildProcess& child, const bool waiting[2], int timeout_ms, std::string& error) {
    HANDLE events[3];
    DWORD count = 0;
    for (int i = 0; i < 2; ++i) {
        if (waiting[i] && !ends[i].busy) return 1;
        // A closing pipe's end may be what the child waits for before it reads the other.
        if ((waiting[i] || ends[i].closing) && ends[i].busy) events[count++] = ends[i].op.hEvent;
    }
    // A child that ended takes nothing more: the next write tells so.
    events[count++] = reinterpret_cast<HANDLE>(child.id);
    const DWORD result = WaitForMultipleObjects(count, events, FALSE, timeout_ms);
    finish_closing();
    if (result == WAIT_TIMEOUT) return 0;
    if (result == WAIT_FAILED) {
        error = last_error_text();
        return -1;
    }
    return 1;
}

void pipe_close(ChildProcess& child, int pipe) {
    child.pipes[pipe] = -1;
    PipeEnd& end = ends[pipe];
    if (end.handle == INVALID_HANDLE_VALUE) return;
    // The last write may still be on its way: the pipe closes once it is through.
    end.closing = true;
    finish_closing();
}

void child_kill(ChildProcess& child) {
    if (child.id != -1) TerminateProcess(reinterpret_cast<HANDLE>(child.id), 1);
}

std::string child_wait(ChildProcess& child) {
    if (child.id == -1) return {};
    const HANDLE process = reinterpret_cast<HANDLE>(child.id);
    // Pipes closed during their last write end as those writes get through, in any order: the
    // end of one stream may be what ffmpeg waits for before it reads the rest of the other.
    for (;;) {
        finish_closing();
        HANDLE events[3];
        DWORD count = 0;
        for (PipeEnd& end : ends) {
            if (end.closing) events[count++] = end.op.hEvent;
        }
        if (count == 0) break;
        events[count++] = process;
        if (WaitForMultipleObjects(count, events, FALSE, INFINITE) == WAIT_OBJECT_0 + count - 1)
            break; // the child ended: what it did not read is dropped
    }
    for (PipeEnd& end : ends) release(end);
    WaitForSingleObject(process, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    child.id = -1;
    if (status == 0) return {};
    return "ffmpeg ended with status " + std::to_string(status);
}

} // namespace vantrose
