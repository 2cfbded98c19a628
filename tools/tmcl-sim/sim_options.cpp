// Parsing of tmcl-sim's command line, and its help text.
#include "sim_options.h"

#include "args.h"
#include "vantoro_version.h"

namespace sim {

const char* UsageText() {
    return "tmcl-sim " VANTORO_VERSION_TEXT
           "\n"
           "usage: tmcl-sim --port COMn [--eeprom FILE] [--frames N] [--seconds S] [--dump]\n"
           "                [--refuse N:STATUS]\n"
           "\n"
           "Simulates the slider's motor controller (module address 1) on a COM port at\n"
           "9600 baud, 8N1. It collects 9-byte command frames (module, command, type,\n"
           "bank, value MSB first, checksum = sum of bytes 0-7 mod 256); an unfinished\n"
           "frame is dropped when the line stays silent for more than 50 ms. Every frame\n"
           "addressed to module 1 gets a 9-byte reply: reply address 2, module 1, status,\n"
           "command, value MSB first, checksum. Frames for other modules get no reply.\n"
           "\n"
           "Commands, on global parameters 0-127 of banks 0-3:\n"
           "   9  set    the parameter := value; the reply carries the new value\n"
           "  10  get    the reply carries the parameter's value\n"
           "  11  store  copies the parameter into the EEPROM (and the EEPROM file)\n"
           "Statuses: 100 success, 1 wrong checksum, 2 invalid command, 3 wrong type\n"
           "(parameter above 127), 4 invalid value (bank above 3), 5 EEPROM locked (the\n"
           "EEPROM file cannot be written).\n"
           "A rejected command changes nothing and its reply carries value 0.\n"
           "\n"
           "  --port COMn     the port to listen on (required)\n"
           "  --eeprom FILE   keeps the EEPROM across runs: loaded at start (a missing\n"
           "                  file is an empty EEPROM), rewritten after every store; text,\n"
           "                  one \"bank parameter value\" line per stored parameter\n"
           "  --frames N      exit after N complete frames\n"
           "  --seconds S     exit after S seconds\n"
           "  --dump          print the EEPROM at exit\n"
           "  --refuse N:STATUS  answer the N-th frame with STATUS (1..255) and change\n"
           "                  nothing, as a controller refusing that command would\n"
           "  --help          this text\n"
           "Every frame is logged on stdout with its arrival time in ms since the start.\n"
           "Without --frames or --seconds it runs until Ctrl+C.\n"
           "\n"
           "Exit codes: 0 done, 2 usage error, 3 port error, 4 EEPROM file error.\n";
}

namespace {

// "N:STATUS", both whole numbers: frame 1 or later, status 1..255.
bool ParseRefusal(const std::string& option, tools::ArgWalker& args, Options& options, std::string& error) {
    std::string value;
    if (!args.Value(option, value, error)) return false;
    size_t colon = value.find(':');
    if (colon == std::string::npos ||
        !tools::ParseNumber(value.substr(0, colon), 1, 1000000000, options.refuseFrame) ||
        !tools::ParseNumber(value.substr(colon + 1), 1, 255, options.refuseStatus)) {
        error = "bad refusal \"" + value + "\" (expected FRAME:STATUS, e.g. 2:5)";
        return false;
    }
    return true;
}

bool ParseOne(const std::string& argument, tools::ArgWalker& args, Options& options, std::string& error) {
    if (argument == "--help" || argument == "-h") {
        options.help = true;
    } else if (argument == "--dump") {
        options.dump = true;
    } else if (argument == "--port") {
        return args.PortValue(argument, options.port, error);
    } else if (argument == "--eeprom") {
        if (!args.Value(argument, options.eepromPath, error)) return false;
        if (options.eepromPath.empty()) error = "--eeprom needs a file name";
    } else if (argument == "--frames") {
        return args.NumberValue(argument, 1, 1000000000, options.frameLimit, "frame count",
                                "expected 1 or more", error);
    } else if (argument == "--seconds") {
        return args.NumberValue(argument, 1, 1000000, options.secondsLimit, "time limit",
                                "expected 1..1000000 s", error);
    } else if (argument == "--refuse") {
        return ParseRefusal(argument, args, options, error);
    } else {
        error = "unknown argument \"" + argument + "\"";
    }
    return error.empty();
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    tools::ArgWalker args(argc, argv);
    std::string argument;
    while (args.Next(argument))
        if (!ParseOne(argument, args, options, error)) return false;
    if (!options.help && options.port < 0) {
        error = "--port is required";
        return false;
    }
    return true;
}

}  // namespace sim
