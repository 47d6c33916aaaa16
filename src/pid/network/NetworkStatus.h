#pragma once
// The outcome of a step of loading or running a network: a status code and its message. The codes are those of
// the machine-learning runtimes (0 ok, 3 invalid argument, 5 not found, 12 unimplemented, 13 internal, 15 data
// loss), so that a report reads the same whatever backend runs the model.
#include <string>

namespace zel {

struct NetworkStatus {
    enum Code : int { Ok = 0, InvalidArgument = 3, NotFound = 5, Unimplemented = 12, Internal = 13, DataLoss = 15 };

    int code = Ok;
    std::string message;

    bool ok() const { return code == Ok; }
    static NetworkStatus failure(int code, std::string message) { return {code, std::move(message)}; }
};

}  // namespace zel
