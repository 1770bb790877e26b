#include "TransportMessages.h"

std::string TransportMessages::noAnswerWithin(int timeoutMilliseconds) {
    return "no answer within " + std::to_string(timeoutMilliseconds) + " ms";
}
