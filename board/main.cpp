// tamq-board: the online board service. Settings from TAMQ_BOARD_* and the command line
// (--help); SIGINT or SIGTERM stop it after the requests in progress.
#include "board/AdminCommand.h"
#include "board/BoardConfig.h"
#include "board/BoardService.h"

#include <malloc.h>
#include <sys/resource.h>

#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <pthread.h>
#include <future>
#include <thread>

int main(int argc, char** argv) {
    auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    if (argc > 1 && std::string(argv[1]) == "admin") {
        return AdminCommand().run(std::vector<std::string>(argv + 2, argv + argc), env, std::cout, std::cerr);
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::cout << BoardConfig::usage();
            return 0;
        }
    }
    BoardConfig config;
    std::string fault;
    if (!config.parse(arguments, env, fault)) {
        std::cerr << "tamq-board: " << fault << "\n";
        return 2;
    }
    // The soft open-file limit raised to the hard one; caps over what is left are lowered.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        if (files.rlim_cur < files.rlim_max) {
            files.rlim_cur = files.rlim_max;
            setrlimit(RLIMIT_NOFILE, &files);
            getrlimit(RLIMIT_NOFILE, &files);
        }
        const std::string note = config.fitFileLimit(static_cast<std::size_t>(std::min<rlim_t>(files.rlim_cur, 1u << 24)));
        if (!note.empty()) {
            std::cerr << "tamq-board: " << note << std::endl;
        }
    }
    // glibc gives each thread that allocates under contention an arena of its own (up to
    // eight a core) and keeps what a burst of requests freed in them: a few arenas keep
    // the resident memory of 64 request threads near what the requests under way hold.
    mallopt(M_ARENA_MAX, 2);
    // Every thread started from here on leaves the stop signals to the one that waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    BoardService service;
    if (!service.init(config, fault) || !service.bind(fault)) {
        std::cerr << "tamq-board: " << fault << "\n";
        return 1;
    }
    std::cout << "tamq-board: listening on " << HttpServer::address(config.host, service.port()) << std::endl;
    if (!config.adminHost.empty()) {
        std::cout << "tamq-board: metrics on " << HttpServer::address(config.adminHost, service.adminPort())
                  << std::endl;
    }
    std::promise<void> served;
    std::future<void> done = served.get_future();
    std::thread server([&] {
        service.run();
        served.set_value();
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.stop();
    done.wait();
    server.join();
    return 0;
}
