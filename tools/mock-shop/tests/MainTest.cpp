// The mock-shop program as scripts use it: the READY handshake, and a clean stop on a signal.

#include <gtest/gtest.h>
#include <httplib.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

struct Launched {
    pid_t pid = -1;
    std::FILE* out = nullptr;  // the program's stdout
};

Launched launch(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Launched l;
    // Started the way a shell starts a background job: with SIGINT ignored, which the child inherits.
    // Linux keeps a blocked signal pending even so, and the program waits for it blocked.
    const auto previous = std::signal(SIGINT, SIG_IGN);
    const int rc = posix_spawn(&l.pid, argv[0], &actions, nullptr, argv.data(), environ);
    std::signal(SIGINT, previous);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return {};
    }
    l.out = fdopen(fds[0], "r");
    return l;
}

// A failed assertion must not leave the program running behind the test.
struct Reaper {
    pid_t& pid;
    ~Reaper() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

int waitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class MockShopProgram : public ::testing::TestWithParam<int> {};

TEST_P(MockShopProgram, AnnouncesReadinessServesAndStopsCleanly) {
    const auto dir = std::filesystem::temp_directory_path() / ("mockshop-main-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        std::ofstream(dir / "scenario.json")
            << R"({"products": [{"id": "7", "title": "程序测试商品 一号"}]})";
    }
    const std::string readyFile = (dir / "ready").string();
    Launched shop = launch({MOCKSHOP_BINARY, "--scenario", (dir / "scenario.json").string(), "--ready-file",
                            readyFile, "--record", (dir / "requests.jsonl").string()});
    ASSERT_GT(shop.pid, 0);
    Reaper reaper{shop.pid};
    ASSERT_NE(shop.out, nullptr);

    // Blocks until the program prints its line: the handshake scripts rely on.
    char buffer[4096] = {};
    ASSERT_NE(std::fgets(buffer, sizeof buffer, shop.out), nullptr);
    const std::string line = buffer;
    std::fclose(shop.out);
    int port = 0;
    char ca[2048] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "READY port=%d ca=%2047s", &port, ca), 2) << line;
    std::string fromFile;
    std::getline(std::ifstream(readyFile), fromFile);
    EXPECT_EQ(fromFile + "\n", line);

    httplib::SSLClient client("127.0.0.1", port);
    client.set_ca_cert_path(ca);
    client.enable_server_certificate_verification(true);
    auto res = client.Get("/7.html?dist=jd");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    client.stop();

    ASSERT_EQ(kill(shop.pid, GetParam()), 0);
    EXPECT_EQ(waitExit(std::exchange(shop.pid, -1)), 0);
    // Its own certificate directory is gone with it; the record stays.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(ca).parent_path()));
    EXPECT_TRUE(std::filesystem::exists(dir / "requests.jsonl"));
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Signals, MockShopProgram, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& row) { return row.param == SIGINT ? "Sigint" : "Sigterm"; });

}  // namespace
