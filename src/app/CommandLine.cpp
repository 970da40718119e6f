#include "app/CommandLine.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace quillon {

namespace {

constexpr std::string_view kSynopsis = "Usage: quillon [--list-ports] [DEVICE]\n";

constexpr std::string_view kHelp =
    "       quillon --help | --version\n"
    "The management utility of a point-of-sale panel PC: talks to the terminal's system\n"
    "controller over RS-232 and shows its terminal status, thermal, power and I/O pages.\n"
    "\n"
    "Quillon opens the first of COM1 to COM8 that it can open, at 115200 bit/s, 8N1, and\n"
    "names on standard error the device it uses (\"quillon: COM1 is /dev/ttyUSB0\").\n"
    "COMn is the device named by the environment variable QUILLON_COMn when it is set,\n"
    "else /dev/ttyS0 to /dev/ttyS7; a port so named that cannot be opened is named on\n"
    "standard error with the reason. A DEVICE given on the command line is the only\n"
    "port tried, as COM1. Any serial device will do, for example:\n"
    "  quillon /dev/ttyUSB0\n"
    "  QUILLON_COM1=/dev/serial/by-id/usb-Example_USB_Serial_A10K3X2B-if00-port0 quillon\n"
    "\n"
    "      --list-ports  print COM1 to COM8 (or DEVICE), each with its device and state:\n"
    "                    free, missing, held by process N, no permission; then exit\n"
    "      --capture FILE\n"
    "                    write every chunk read from or written to the line to FILE,\n"
    "                    one line of JSON each: time, direction, bytes in hex\n"
    "      --report FILE write a report of the terminal to FILE (JSON; Prometheus text for\n"
    "                    a name ending in .prom) once the versions, the serial numbers\n"
    "                    and every sensor value have arrived, and again at the end\n"
    "      --exit-after-report\n"
    "                    with --report: leave as YES on the exit question does once the\n"
    "                    report is written\n"
    "      --history FILE.csv\n"
    "                    append the sensors' values to FILE.csv once a second while the\n"
    "                    link is open: the time (UTC) and one column per sensor\n"
    "  -h, --help        show this text and exit\n"
    "      --version     show the version and exit\n"
    "\n"
    "Exit status: 2 for a wrong command line, 1 without a display or when the output\n"
    "cannot be written, else 0.\n"
    "See quillon(1).\n";

struct Option {
    std::string_view name;
    Action action;
    std::string CommandLine::*pValue = nullptr;  // an option with a value: where it goes
    bool CommandLine::*pFlag = nullptr;          // a switch: what it sets
};

constexpr Option kOptions[] = {
    {"-h", Action::Help},
    {"--help", Action::Help},
    {"--version", Action::Version},
    {"--list-ports", Action::ListPorts},
    {"--capture", Action::Run, &CommandLine::capture},
    {"--report", Action::Run, &CommandLine::report},
    {"--exit-after-report", Action::Run, nullptr, &CommandLine::bExitAfterReport},
    {"--history", Action::Run, &CommandLine::history},
};

CommandLine Only(Action action) {
    CommandLine line;
    line.action = action;
    return line;
}

CommandLine Wrong(std::string error) {
    CommandLine line = Only(Action::Wrong);
    line.error = std::move(error);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> args) {
    CommandLine line;
    bool bOptions = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (bOptions && arg == "--") {
            bOptions = false;
            continue;
        }
        if (bOptions && arg.size() > 1 && arg.front() == '-') {
            std::optional<std::string_view> value;
            if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
            const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                             [arg](const Option& o) { return o.name == arg; });
            if (option == std::end(kOptions)) return Wrong("unknown option '" + std::string(arg) + "'");
            if (option->pValue) {
                if (!value && i + 1 < args.size()) value = args[++i];
                if (!value || value->empty())
                    return Wrong("option '" + std::string(arg) + "' needs a file name");
                line.*option->pValue = *value;
                continue;
            }
            if (value) return Wrong("option '" + std::string(arg) + "' takes no value");
            if (option->pFlag) {
                line.*option->pFlag = true;
                continue;
            }
            if (option->action != Action::ListPorts) return Only(option->action);
            line.action = Action::ListPorts;
            continue;
        }
        if (arg.empty()) return Wrong("the device is an empty name");
        if (!line.device.empty()) return Wrong("one device only, not also '" + std::string(arg) + "'");
        line.device = arg;
    }
    if (line.bExitAfterReport && line.report.empty()) return Wrong("--exit-after-report needs --report FILE");
    return line;
}

std::string_view HelpText() {
    static const std::string text = std::string(kSynopsis) + std::string(kHelp);
    return text;
}

std::string UsageMessage(std::string_view error) {
    return "quillon: " + std::string(error) + "\n" + std::string(kSynopsis) + "Try 'quillon --help'.\n";
}

}  // namespace quillon
