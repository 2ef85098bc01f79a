#include "tests/support/unprivileged.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace vistrel::testing {
namespace {

constexpr unsigned kNobody = 65534;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

}  // namespace

bool rerunWithoutPrivileges() {
    if (geteuid() != 0) return false;
    namespace fs = std::filesystem;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();

    // The test program may sit in a folder that only root can enter: "nobody" runs a copy from a
    // folder of its own, with its own temporary folder.
    char pattern[] = "/tmp/vistrel-unprivileged-XXXXXX";
    if (!mkdtemp(pattern)) {
        ADD_FAILURE() << "no temporary folder for the unprivileged run";
        return true;
    }
    const fs::path folder = pattern;
    std::error_code error;
    const fs::path program = folder / "test";
    const fs::path temp = folder / "tmp";
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec, error);
    fs::copy_file(fs::read_symlink("/proc/self/exe"), program, error);
    fs::create_directory(temp, error);
    if (error || chown(temp.c_str(), kNobody, kNobody) != 0) {
        ADD_FAILURE() << "cannot prepare the unprivileged run: " << error.message();
        fs::remove_all(folder, error);
        return true;
    }

    const std::string command = "env TMPDIR=" + quoted(temp) + " HOME=" + quoted(temp) +
                                " setpriv --reuid=" + std::to_string(kNobody) + " --regid=" + std::to_string(kNobody) +
                                " --clear-groups -- " + quoted(program) + " --gtest_filter=" + quoted(name) + " 2>&1";
    std::string output;
    int status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        status = pclose(pipe);
    }
    fs::remove_all(folder, error);

    const bool passed = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // A filter that matched nothing also exits 0: the child must have run and passed the case.
    const bool ran = output.find("[       OK ] " + name) != std::string::npos;
    EXPECT_TRUE(passed && ran) << "as nobody, " << name << " did not pass:\n" << output;
    return true;
}

}  // namespace vistrel::testing
