// The non-portable calls: a child process fed through pipes, temporary files, the terminal, the
// program's own folder, the end signals. One implementation per system, chosen by the build.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrose {

// Ctrl-C and SIGTERM (on Windows also closing the console) call `on_end`, which may only set
// an atomic flag.
void catch_end_signals(void (*on_end)());
// Whether stderr is a terminal: progress lines rewrite themselves only there.
bool stderr_is_terminal();
// The folder that holds the running program, empty when it cannot be told.
std::string program_folder();
// A new empty file named `prefix` and a unique ending; its path, or empty with `error` set.
std::string make_temp_file(const std::string& prefix, std::string& error);
// The program `name` on PATH (name.exe on Windows), empty when there is none.
std::string find_program(const std::string& name);

// A child process fed through two pipes: pipe 0 is its stdin, pipe 1 a second input that it
// opens by the name second_input_name() gives.
struct ChildProcess {
    intptr_t id = -1;
    intptr_t pipes[2] = {-1, -1}; // our writing ends, non-blocking
    std::string second_input;     // what the child is told to open for pipe 1
};

// Makes both pipes and names the second input for the child's command line; false with
// `error` set when the pipes cannot be made.
bool make_child_pipes(ChildProcess& child, std::string& error);
// Starts args[0] on those pipes, its stdout discarded, its stderr into `log_path` (discarded
// when empty), in a process group of its own so a Ctrl-C at the terminal reaches only us.
bool spawn_child(const std::vector<std::string>& args, const std::string& log_path,
                 ChildProcess& child, std::string& error);
// What `pipe` takes now without waiting (0 when it is full), or -1 with `error` set; `broken`
// tells that the child stopped reading.
int64_t pipe_write(ChildProcess& child, int pipe, const uint8_t* bytes, size_t size, bool& broken,
                   std::string& error);
// Waits until one of the pipes marked in `waiting` can take more: 1 then, 0 after
// `timeout_ms`, -1 with `error` set.
int pipe_wait(ChildProcess& child, const bool waiting[2], int timeout_ms, std::string& error);
void pipe_close(ChildProcess& child, int pipe);
// Ends the child at once (a recording abandoned or failed).
void child_kill(ChildProcess& child);
// Waits for the child to end: empty when it exited with status 0, else how it ended.
std::string child_wait(ChildProcess& child);

} // namespace vantrose
