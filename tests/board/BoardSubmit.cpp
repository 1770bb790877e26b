// board_submit: one run played by the tests' scripted player, submitted to a running
// tamq-board on loopback as the game submits it; prints the service's answer.
//   board_submit PORT SECRET_FILE MODE DIFFICULTY NAME PLAYER VARIANT
// The token is signed with the service's secret as issued when the run began.
#include "BoardCalls.h"
#include "TestRecords.h"
#include "board/TokenSigner.h"
#include "io/FileReader.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: board_submit PORT SECRET_FILE MODE DIFFICULTY NAME PLAYER VARIANT\n");
        return 2;
    }
    try {
        std::string secret = FileReader::readOrThrow(argv[2]);
        while (!secret.empty() && secret.back() == '\n') {
            secret.pop_back();
        }
        const std::string mode = argv[3];
        const std::string difficulty = argv[4];
        const int seconds = 1800;
        TokenSigner signer;
        signer.init(secret);
        const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
        RunTicket ticket = TokenSigner::draw(mode, difficulty, now - (seconds + 1) * 1000);
        const std::string record = TestRecords::play(ticket.seed, mode, difficulty, seconds, std::stoi(argv[7]));
        Reply stored = BoardCalls(std::stoi(argv[1]))
                           .submit(signer.sign(ticket), argv[5], BoardCalls::playerKey(std::stoi(argv[6])), record);
        std::printf("%s\n", stored.raw.c_str());
        return stored.status == 201 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "board_submit: %s\n", error.what());
        return 1;
    }
}
