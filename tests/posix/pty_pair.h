// A socat pseudo-terminal pair in a temporary folder of the test's own, with
// COM3 and COM4 mapped to its two ends: the only devices a native test opens.
#pragma once

#include <sys/types.h>

#include <string>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Both ends exist and the map names them.
    bool Ready() const { return ready_; }
    const std::string& PathA() const { return a_; }
    const std::string& PathB() const { return b_; }

    static constexpr int kPortA = 2;  // COM3
    static constexpr int kPortB = 3;  // COM4

private:
    std::string folder_;
    std::string a_;
    std::string b_;
    pid_t socat_ = -1;
    bool ready_ = false;
};
