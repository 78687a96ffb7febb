#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the published version is read from the status box and when an update is offered. Texts
// hold one character per byte, as the version file's bytes arrived.
namespace update {

// The steps of a transfer as the status box reports them.
enum TransferState : int {
    kNothingToReport = 0,
    kLookingUpHost = 1,
    kHostFound = 2,
    kConnecting = 3,
    kConnected = 4,
    kSendingRequest = 5,
    kRequestSent = 6,
    kReceivingResponse = 7,
    kResponseReceived = 8,
    kDisconnecting = 9,
    kDisconnected = 10,
    kCommunicationError = 11,
    kRequestCompleted = 12,
};

// The text the status box shows for a state; nullopt for a number outside the table.
std::optional<std::string_view> stateText(int state);

// Shown instead of the body when a completed request brought none.
inline constexpr std::string_view kBlankResponse = "Server returned a blank response";

// How many bytes of the version file are read.
inline constexpr std::size_t kVersionChunkSize = 1024;

// Keeps the progress report moving forward: a signal of the transfer proves that every step up
// to some state has happened, and each step not yet reported is reported once, in order.
class ProgressReport {
  public:
    // The states to report, in order, now that `state` (one of 1 to 8) is reached.
    std::vector<int> reach(int state);

  private:
    int reported_ = kNothingToReport;
};

// The first line of a text, found by cutting it before the first CR or, without one, the first
// LF, again and again. Cutting stops early, leaving the text as far as it got, once the text is
// shorter than 4 characters: it is then not usable and the check ends without a word.
struct FirstLine {
    std::string text;
    bool usable = false;
};
FirstLine firstLineOf(std::string text);

// Whether the published version `published` (the first line, as found) is offered: its leading
// number is positive and, with blanks around it removed, it is not exactly `running`. Any
// difference counts; a lower version is offered as well.
bool offersUpdate(std::string_view running, std::string_view published);

// The question that offers the update.
std::string offerText(std::string_view published);

// Said when the check is asked for again while the last one still waits for the server.
inline constexpr std::string_view kCheckStillWaiting =
    "The last check is still waiting for the server's answer: its progress shows in the status "
    "box.";

}  // namespace update
