#pragma once

#include <optional>
#include <string>
#include <vector>

#include "delay_schedule.h"

namespace sim {

// The simulated radio: where it plays and how.
struct RadioOptions {
    std::string sink;  // empty: no radio
    delays::Duration delay = std::chrono::milliseconds(250);
    std::vector<delays::Step> steps;
    double pitchHz = 700;
    std::optional<double> noiseDb;
    std::optional<double> secondHz;
    std::string logFile;
};

struct Options {
    std::string dir = ".";
    int appPort = 16;
    int keyerPort = 17;
    std::string script;
    bool repeat = false;
    bool untilDone = false;
    int speed = 28;
    std::string logFile;
    std::string keyLogFile;
    RadioOptions radio;
};

extern const char* const kUsage;

// The command line after the program's name; nullopt when something is wrong with it.
std::optional<Options> parseOptions(const std::vector<std::string>& arguments);

}  // namespace sim
