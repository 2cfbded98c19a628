// Small helpers for the console tools' "--name value" command lines.
#pragma once

#include <string>

namespace tools {

// Whole text as a decimal number within [low, high]; false otherwise.
bool ParseNumber(const std::string& text, long low, long high, long& value);

// Walks argv: Next() gives each argument in turn, the Value calls the one
// after an option that takes a value (false, with error set, when it is
// missing or does not fit).
class ArgWalker {
public:
    ArgWalker(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool Next(std::string& argument);
    bool Value(const std::string& option, std::string& value, std::string& error);
    // The value as a port name COM1..COM256, as its library index.
    bool PortValue(const std::string& option, int& port, std::string& error);
    // The value as a number in [low, high]; a usage error reads
    // "bad <what> "<value>" (<hint>)".
    bool NumberValue(const std::string& option, long low, long high, long& number, const std::string& what,
                     const std::string& hint, std::string& error);

private:
    int argc_;
    char** argv_;
    int next_ = 1;
};

}  // namespace tools
