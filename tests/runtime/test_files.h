// Scratch files and captured output for the runtime tests.
#pragma once
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vantrose::testing_support {

// A file name unique to this process and test, in the test temp directory.
inline std::string scratch_path(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "_" + info->name() : "";
    for (char& c : test)
        if (c == '/') c = '_';
    return ::testing::TempDir() + "vantrose_" + std::to_string(::getpid()) + "_" + test + "_" +
           name;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// In a death-test child: send standard output to `path` so the parent can read it afterwards.
inline void redirect_stdout(const std::string& path) {
    std::fflush(stdout);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) ::_exit(97);
    ::dup2(fd, 1);
    ::close(fd);
}

} // namespace vantrose::testing_support
