// Parsing of vantoro-home's command line, and its help text.
#include "home_options.h"

#include "args.h"
#include "vantoro_version.h"

namespace home {

const char* UsageText() {
    return "vantoro-home " VANTORO_VERSION_TEXT
           "\n"
           "usage: vantoro-home --port COMn --option 1|2 [--wait MS] [--verify]\n"
           "       vantoro-home --port COMn --status\n"
           "       vantoro-home --list\n"
           "       vantoro-home --help\n"
           "\n"
           "Sends the Vantoro slider's home configuration to its motor controller, as the\n"
           "configuration tool's Home_Option1 and Home_Option2 commands do: it goes on-line\n"
           "on the port at 9600 baud (8N1, DTR and RTS on), sends the six 9-byte command\n"
           "frames 100 ms apart, waits 2.5 s while the controller stores them, printing the\n"
           "tool's progress lines, and then collects the controller's replies and prints a\n"
           "one-line result: confirmed, or what went wrong.\n"
           "\n"
           "  --port COMn   the controller's port, COM1..COM256\n"
           "  --option N    1: home option 1 (default homing), 2: home option 2\n"
           "  --wait MS     collect replies until all six are in or nothing has come\n"
           "                for MS ms (default 1000)\n"
           "  --verify      the exit code says whether the controller confirmed all six\n"
           "                commands: six replies, each with status 100 (success), a\n"
           "                right checksum and the command of the frame it answers\n"
           "  --status      ask the controller which home option it holds now: reads\n"
           "                parameters 3 and 10 of bank 2 and 77 of bank 0 (command 10,\n"
           "                get global parameter) and prints the option with the values\n"
           "  --list        list the COM ports this system has, with the device's name\n"
           "                and, for USB devices, the vendor and product ids\n"
           "  --help        this text\n"
           "\n"
           "Each 9-byte reply is printed decoded: reply address, module, status with its\n"
           "meaning (100 success, 1 wrong checksum, 2 invalid command, 3 wrong type,\n"
           "4 invalid value, 5 EEPROM locked, 6 command not available), command, value and\n"
           "whether its checksum is right. Bytes that form no reply are printed in hex.\n"
           "The last line starts with \"Result:\" and gives the verdict on the replies.\n"
           "\n"
           "Exit codes: 0 the six frames were sent (with --verify: and the controller\n"
           "confirmed all six; with --status: the values were read), 2 usage error, 3 port\n"
           "error (unknown or busy port, or a frame not sent), 4 with --verify: the result\n"
           "is not a confirmation (no reply, too few, a command refused, a damaged reply),\n"
           "5 --status got no answer or an error status.\n";
}

namespace {

bool ParseOne(const std::string& argument, tools::ArgWalker& args, Options& options, std::string& error) {
    long option = 0;
    if (argument == "--help" || argument == "-h") {
        options.help = true;
    } else if (argument == "--list") {
        options.list = true;
    } else if (argument == "--status") {
        options.status = true;
    } else if (argument == "--verify") {
        options.verify = true;
    } else if (argument == "--port") {
        return args.PortValue(argument, options.port, error);
    } else if (argument == "--option") {
        if (!args.NumberValue(argument, 1, 2, option, "option", "expected 1 or 2", error)) return false;
        options.option = static_cast<int>(option);
    } else if (argument == "--wait") {
        return args.NumberValue(argument, 0, 600000, options.waitMs, "wait", "expected 0..600000 ms", error);
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
    if (options.help || options.list) return true;
    if (options.port < 0)
        error = "--port is required";
    else if (options.status && options.option != 0)
        error = "--status and --option exclude each other";
    else if (!options.status && options.option == 0)
        error = "--option is required (1 or 2)";
    return error.empty();
}

}  // namespace home
