#include "app/CommandLine.h"

#include <algorithm>
#include <iterator>

namespace quillon {

namespace {

constexpr std::string_view kUsage =
    "Usage: quillon [--help | --version]\n"
    "The management utility of a point-of-sale panel PC: talks to the terminal's system\n"
    "controller over RS-232 and shows its terminal status, thermal, power and I/O pages.\n"
    "\n"
    "Quillon opens the first of COM1 to COM8 that it can open, at 115200 bit/s, 8N1.\n"
    "COMn is the device named by the environment variable QUILLON_COMn when it is set,\n"
    "else /dev/ttyS0 to /dev/ttyS7. Any serial device will do, for example:\n"
    "  QUILLON_COM1=/dev/ttyUSB0 quillon\n"
    "  QUILLON_COM1=/dev/serial/by-id/usb-Example_USB_Serial_A10K3X2B-if00-port0 quillon\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "See quillon(1).\n";

enum class Reply { Usage, Version };

struct Option {
    std::string_view name;
    Reply reply;
};

constexpr Option kOptions[] = {{"-h", Reply::Usage}, {"--help", Reply::Usage}, {"--version", Reply::Version}};

}  // namespace

std::optional<std::string> CommandLineReply(std::span<const std::string_view> args,
                                            std::string_view version) {
    for (std::string_view arg : args) {
        const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [arg](const Option& o) { return o.name == arg; });
        if (option == std::end(kOptions)) continue;
        if (option->reply == Reply::Usage) return std::string(kUsage);
        return "quillon " + std::string(version) + "\n";
    }
    return std::nullopt;
}

}  // namespace quillon
