#pragma once

#include <httplib.h>

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// The real tamq-board program, started on a free port of 127.0.0.1 against a test
// cluster, with a secret of the test's own; stopped (or killed) by the test.
class BoardProcess {
public:
    BoardProcess() = default;
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;
    ~BoardProcess();

    // The secret every test process signs its own tokens with (see TokenSigner).
    static const std::string& secret();

    // Starts the service and waits until it listens; throws with its standard error when
    // it does not. extra are further options ("--verify-threads", "1", ...).
    void start(const std::string& database, const std::vector<std::string>& extra = {});
    // SIGTERM and wait; or SIGKILL, as a crash.
    void stop();
    void kill9();
    // Waits for the program to exit by itself; its exit status.
    int wait();

    // Keeps the program's standard output after its first line for output() (call before
    // start; a test that keeps it reads it, or the program waits on a full pipe).
    void keepOutput() { keepOutput_ = true; }
    // What the program wrote since the last call, waiting up to wait for something.
    std::string output(std::chrono::milliseconds wait);
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // Whether the program still runs (it has not ended by itself).
    bool alive();
    // A client of the service, with short timeouts.
    std::unique_ptr<httplib::Client> client() const;

private:
    pid_t pid_ = -1;
    bool keepOutput_ = false;
    int out_ = -1;
    int port_ = 0;
};
