#include "update/transfer_rules.h"

namespace update {
namespace {

std::string bytesText(long long count, std::optional<long long> total) {
    return std::to_string(count) + (total ? " of " + std::to_string(*total) : std::string()) +
           " bytes";
}

// A duration in the largest unit that states it exactly.
std::string durationText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    const auto unit = [](long long n, const char* name) {
        return std::to_string(n) + " " + name + (n == 1 ? "" : "s");
    };
    if (ms % 60000 == 0) {
        return unit(ms / 60000, "minute");
    }
    if (ms % 1000 == 0) {
        return unit(ms / 1000, "second");
    }
    return unit(ms, "millisecond");
}

}  // namespace

bool isSuccessStatus(int status) {
    return status >= 200 && status <= 299;
}

BodyArrival judgeBody(bool chunked, std::optional<long long> contentLength, long long received) {
    if (chunked || !contentLength) {
        return BodyArrival::LengthUnknown;
    }
    return received == *contentLength ? BodyArrival::Whole : BodyArrival::Cut;
}

std::string statusErrorText(int status, std::string_view reason) {
    return "The server answered with status " + std::to_string(status) + " " + std::string(reason) +
           ".";
}

std::string downloadProgressText(long long received, std::optional<long long> total) {
    return "Downloading: " + bytesText(received, total);
}

std::string cutBodyText(long long received, std::optional<long long> total) {
    return "The transfer ended after " + bytesText(received, total) +
           ": the file is incomplete and was not kept.";
}

std::string unknownLengthText() {
    return "The server did not say how long the file is, so a cut transfer cannot be told "
           "from a complete one: the file was not kept.";
}

std::string emptyBodyText() {
    return "The server sent an empty file.";
}

std::string deadlineText(std::chrono::milliseconds deadline) {
    return "The download did not finish within " + durationText(deadline) + ".";
}

std::string silenceText(std::chrono::milliseconds transferTimeout) {
    return "The server stopped answering: nothing came from it for " +
           durationText(transferTimeout) + ".";
}

std::string foreignRedirectText(std::string_view target) {
    return "The server sent the request on to " + std::string(target) +
           ", which is not the update server: the redirection was not followed.";
}

}  // namespace update
