// Scratch files and captured output for the runtime tests.
#pragma once
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace vantrose::testing_support {

// A file name unique to this build and test, in the test temp directory. The same in a
// death-test child that re-runs the test ("threadsafe" style), so both sides agree on it.
inline std::string scratch_path(const std::string& name) {
    char exe[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const size_t build = std::hash<std::string>{}(std::string(exe, length > 0 ? length : 0));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "_" + info->name() : "";
    for (char& c : test)
        if (c == '/') c = '_';
    return ::testing::TempDir() + "vantrose_" + std::to_string(build % 1000000007) + "_" + test +
           "_" + name;
}

// Death tests fork; with the sanitizers' helper threads a re-executed child is the safe kind.
inline void use_threadsafe_death_tests() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
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
