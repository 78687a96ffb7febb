// The port rules that differ between platforms: port fields, devices and both platforms'
// message wording. Qt-free, so they run on Windows' ABI as well.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bridge/port_message_rules.h"
#include "bridge/port_name_rules.h"

namespace {

using bridge::PortPlatform;

const bridge::SideWords kLogger{"input", "Virtual Port"};
const bridge::SideWords kKeyer{"output", "Winkey Port"};

TEST(PortRules, PortFieldsAreReadAsNumbers) {
    const std::pair<const char*, std::optional<int>> fields[] = {
        {"16", 16},     {" 16 ", 16},     {"COM16", 16}, {"com 16", 16},
        {" Com16", 16}, {"\t17\r\n", 17}, {"16.5", 16},  {"17.5", 18},
        {"", 0},        {"COM", 0},       {"abc", 0},    {"CCOM16", 0},
        {"40000", {}},  {"-40000", {}},   {"COM5x", 5},  {"cOm32767", 32767}};
    for (const auto& [field, number] : fields) {
        const auto read = bridge::portFieldNumber(field);
        EXPECT_EQ(read ? std::optional<int>(*read) : std::nullopt, number) << field;
    }
}

TEST(PortRules, EachPlatformNamesThePortsDeviceItsOwnWay) {
    const struct {
        PortPlatform platform;
        int number;
        const char* folder;
        std::set<std::string> present;
        const char* device;
    } cases[] = {
        // Windows: the system's own name, whatever the folder holds. COM10 and up are no
        // different here: the serial library prefixes \\.\ itself.
        {PortPlatform::Windows, 17, "C:\\Ham", {"COM17", "C:\\Ham\\COM17"}, "COM17"},
        {PortPlatform::Windows, 3, "", {}, "COM3"},
        {PortPlatform::Windows, 256, "", {}, "COM256"},
        // Elsewhere: COMn, then comn in the folder, then the serial device Linux gives COM n.
        {PortPlatform::Unix, 16, "/op", {"/op/COM16", "/op/com16"}, "/op/COM16"},
        {PortPlatform::Unix, 16, "/op/", {"/op/com16"}, "/op/com16"},
        {PortPlatform::Unix, 16, "/op", {"/op/COM17"}, "/dev/ttyS15"},
        {PortPlatform::Unix, 1, "/op", {}, "/dev/ttyS0"},
        {PortPlatform::Unix, 7, "", {"COM7"}, "COM7"},
    };
    for (const auto& c : cases) {
        const auto present = [&](const std::string& path) { return c.present.count(path) > 0; };
        EXPECT_EQ(bridge::portDevice(c.number, c.platform, c.folder, present), c.device)
            << c.number << " in " << c.folder;
    }
}

TEST(PortRules, ThisBuildFollowsItsOwnPlatform) {
    const auto nothing = [](const std::string&) { return false; };
#ifdef _WIN32
    EXPECT_EQ(bridge::portDevice(17, bridge::kThisPlatform, "C:\\Ham", nothing), "COM17");
#else
    EXPECT_EQ(bridge::portDevice(17, bridge::kThisPlatform, "/op", nothing), "/dev/ttyS16");
#endif
}

TEST(PortRules, WindowsWordingQuotesTheFieldAsTyped) {
    const std::string tail =
        " is restricting the highest port number. A possible fix is to download a modifed "
        "version of this file, reboot the system, backup the file and replace it with a "
        "downloaded version from http://www.example.org/vantrel/mscomm32.ocx ";
    const struct {
        bridge::SideWords side;
        const char* typed;
        std::string text;
    } cases[] = {
        // Only the keyer side says "on your computer".
        {kLogger, " 40 ",
         "The system cannot find the file specified. Unable to connect to input port COM 40 . "
         "It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx" +
             tail},
        {kKeyer, "40",
         "The system cannot find the file specified. Unable to connect to output port COM40. "
         "It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx on your "
         "computer" +
             tail},
        // A field that is not a number is quoted all the same.
        {kKeyer, "abc",
         "The system cannot find the file specified. Unable to connect to output port COMabc. "
         "It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx on your "
         "computer" +
             tail},
    };
    for (const auto& c : cases) {
        bridge::PortAttempt attempt;
        attempt.description = "The system cannot find the file specified";
        attempt.typed = c.typed;
        attempt.number = 40;
        attempt.device = "COM40";
        attempt.folder = "C:\\Ham";
        EXPECT_EQ(bridge::openFailureText(PortPlatform::Windows, c.side, attempt), c.text);
    }
}

TEST(PortRules, ALostPortSaysWhatHappenedThenTheSystemsWords) {
    const std::string gone =
        " has gone away: the adapter was unplugged, or the program that provides the port (the "
        "radio's software, or the one that makes a virtual pair) has ended.";
    const std::string stalled =
        " stopped answering: the device, or the program at its other end, no longer takes or "
        "sends bytes.";
    const std::string then =
        " Vantrel closed the port. Check the device and the program at its other end, then "
        "connect again.";
    const struct {
        const char* description;
        std::string happened;
    } cases[] = {
        // Linux, as the serial layer reports errno.
        {"Inappropriate ioctl for device", gone},
        {"Input/output error", gone},
        {"No such file or directory", gone},
        {"No such device or address", gone},
        {"Bad file descriptor", gone},
        {"Resource temporarily unavailable", gone},
        {"Connection timed out", stalled},
        // Windows, as the system words its error codes.
        {"The device does not recognize the command.", gone},
        {"A device which does not exist was specified.", gone},
        {"A device attached to the system is not functioning.", gone},
        {"Access is denied.", gone},
        {"The I/O operation has been aborted because of either a thread exit or an application "
         "request.",
         gone},
        {"The semaphore timeout period has expired.", stalled},
        // Anything else is said as it is.
        {"Permission denied", " stopped working."},
        {"Unknown error", " stopped working."},
    };
    for (const auto& c : cases) {
        const std::string description = c.description;
        const std::string words = description.back() == '.' ? description : description + ".";
        EXPECT_EQ(bridge::lostPortText(kKeyer, c.description, 17, "/home/op/cw/COM17"),
                  "The output port COM17 (Winkey Port, /home/op/cw/COM17)" + c.happened + then +
                      " (The system said: " + words + ")");
    }
    // On Windows the device is the port's own name, said once; no words, no brackets.
    EXPECT_EQ(bridge::lostPortText(kLogger, "", 16, "COM16"),
              "The input port COM16 (Virtual Port) stopped working." + then);
}

}  // namespace
