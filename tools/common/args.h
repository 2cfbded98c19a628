// Small helpers for the console tools' "--name value" command lines.
#pragma once

#include <string>

namespace tools {

// Whole text as a decimal number within [low, high]; false otherwise.
bool ParseNumber(const std::string& text, long low, long high, long& value);

// Walks argv: Next() gives each argument in turn, Value() the one after an
// option that takes a value (false, with error set, when it is missing).
class ArgWalker {
public:
    ArgWalker(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool Next(std::string& argument);
    bool Value(const std::string& option, std::string& value, std::string& error);

private:
    int argc_;
    char** argv_;
    int next_ = 1;
};

}  // namespace tools
