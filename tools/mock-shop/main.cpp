// mock-shop: the simulated shop on 127.0.0.1 for tests, load runs and the offline demo.
//
//   mock-shop --scenario FILE [--port N] [--dir DIR] [--record FILE] [--ready-file FILE] [--threads N]
//
// Prints "READY port=<port> ca=<ca file>" on stdout once it accepts connections (and writes the same
// line to the ready file, if asked), then serves until SIGINT or SIGTERM.

#include "tools/mock-shop/MockShop.h"

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

int usage(const char* message) {
    std::cerr << "mock-shop: " << message << "\n"
              << "usage: mock-shop --scenario FILE [--port N] [--dir DIR] [--record FILE]"
                 " [--ready-file FILE] [--threads N]\n";
    return 2;
}

// Written beside and renamed into place, so a waiting script never reads half a line.
void writeReadyFile(const std::string& path, const std::string& line) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary);
        out << line << "\n";
    }
    std::filesystem::rename(temporary, path);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jdsm::mockshop;
    Options options;
    std::string scenarioFile;
    std::string readyFile;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
            const std::string value = argv[++i];
            if (arg == "--scenario") {
                scenarioFile = value;
            } else if (arg == "--port") {
                options.port = std::stoi(value);
            } else if (arg == "--dir") {
                options.dir = value;
            } else if (arg == "--record") {
                options.recordFile = value;
            } else if (arg == "--ready-file") {
                readyFile = value;
            } else if (arg == "--threads") {
                options.threads = std::stoul(value);
            } else {
                return usage(("unknown option " + arg).c_str());
            }
        }
    } catch (const std::exception&) {
        return usage("--port and --threads take numbers");
    }
    if (scenarioFile.empty()) return usage("--scenario is required");

    bool ownDir = false;
    if (options.dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "mock-shop.XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mock-shop: mkdtemp");
            return 1;
        }
        options.dir = pattern;
        ownDir = true;
    }

    // Blocked before any thread starts, so every server thread inherits the mask and the signals wait
    // for sigwait below instead of killing the process mid-reply.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string certDir = options.dir;
    int status = 0;
    try {
        options.scenario = loadScenario(scenarioFile);
        MockShop shop(std::move(options));
        shop.start();
        const std::string line = "READY port=" + std::to_string(shop.port()) + " ca=" + shop.caFile();
        if (!readyFile.empty()) writeReadyFile(readyFile, line);
        std::cout << line << std::endl;
        int signal = 0;
        sigwait(&stopSignals, &signal);
        shop.stop();
    } catch (const std::exception& e) {
        std::cerr << "mock-shop: " << e.what() << "\n";
        status = 1;
    }
    if (ownDir) {
        std::error_code ignored;
        std::filesystem::remove_all(certDir, ignored);
    }
    return status;
}
