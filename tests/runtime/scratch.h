// Scratch files and captured standard output for tests that run code which exits.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace vantrose {

// A file name unique to this process's executable and test; the same in a re-executed
// ("threadsafe") death-test child, so both sides agree on it.
inline std::string scratch_path(const std::string& name) {
    char exe[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "_" + info->name() : "";
    for (char& c : test)
        if (c == '/') c = '_';
    return ::testing::TempDir() + "vantrose_" +
           std::to_string(std::hash<std::string>{}(std::string(exe, length > 0 ? length : 0)) %
                          1000000007) +
           "_" + test + "_" + name;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// In a death-test child: standard output into `path`, for the parent to read.
inline void redirect_stdout(const std::string& path) {
    std::fflush(stdout);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) ::_exit(97);
    ::dup2(fd, 1);
    ::close(fd);
}

} // namespace vantrose
