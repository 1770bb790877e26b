#include "BoardProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

std::string secretPath() {
    return "/tmp/tamq-board-test-secret-" + std::to_string(getpid());
}

void removeSecret() {
    std::remove(secretPath().c_str());
}

std::string secretFile() {
    static const std::string path = [] {
        std::ofstream(secretPath()) << BoardProcess::secret();
        std::atexit(removeSecret);
        return secretPath();
    }();
    return path;
}

}  // namespace

const std::string& BoardProcess::secret() {
    static const std::string text = "test secret of the board's tests, 32 bytes or more";
    return text;
}

BoardProcess::~BoardProcess() {
    if (pid_ > 0) {
        kill9();
    }
}

void BoardProcess::start(const std::string& database, const std::vector<std::string>& extra) {
    // TAMQ_TEST_BOARD_EXE runs the tests against another build (an older one, to see
    // which of them it fails).
    const char* other = std::getenv("TAMQ_TEST_BOARD_EXE");
    std::vector<std::string> arguments = {other && *other ? other : TAMQ_BOARD_EXE, "--listen", "127.0.0.1:0", "--database", database,
                                          "--secret-file", secretFile(), "--data", TAMQ_SOURCE_DIR "/data",
                                          // The tests come from one address: only the limit test limits them.
                                          "--read-rate", "100000", "--write-rate", "100000"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("no pipe");
    }
    pid_ = fork();
    if (pid_ == 0) {
        // The service dies with the test program, should that crash.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        throw std::runtime_error("cannot start " TAMQ_BOARD_EXE);
    }
    // The first line names the port: "tamq-board: listening on 127.0.0.1:PORT".
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            char buffer[256];
            ssize_t count = read(out[0], buffer, sizeof buffer);
            if (count <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(count));
        }
    }
    if (keepOutput_) {
        out_ = out[0];
    } else {
        close(out[0]);
    }
    line = line.substr(0, line.find('\n'));
    std::size_t colon = line.rfind(':');
    if (line.find("listening on") == std::string::npos || colon == std::string::npos) {
        kill9();
        throw std::runtime_error("tamq-board did not start: " + line);
    }
    port_ = std::stoi(line.substr(colon + 1));
}

bool BoardProcess::alive() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void BoardProcess::stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    wait();
}

void BoardProcess::kill9() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    wait();
}

std::string BoardProcess::output(std::chrono::milliseconds wait) {
    std::string text;
    pollfd ready{out_, POLLIN, 0};
    while (out_ >= 0 && poll(&ready, 1, text.empty() ? static_cast<int>(wait.count()) : 0) > 0) {
        char buffer[4096];
        ssize_t count = read(out_, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

int BoardProcess::wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (out_ >= 0) {
        close(out_);
        out_ = -1;
    }
    return status;
}

std::unique_ptr<httplib::Client> BoardProcess::client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_connection_timeout(5);
    client->set_read_timeout(30);
    client->set_write_timeout(10);
    return client;
}
