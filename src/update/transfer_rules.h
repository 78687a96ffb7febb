#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// What a finished HTTP transfer is worth: whether its status and its body may be used, how long
// a transfer may run at most, and the texts that say why one was not used.
namespace update {

// How long the version check may take from the click, and the installer download from its
// start, however steadily the server keeps sending (the inactivity timeout restarts with every
// byte, so it alone does not end a trickle).
inline constexpr std::chrono::milliseconds kCheckDeadline = std::chrono::seconds(60);
inline constexpr std::chrono::milliseconds kDownloadDeadline = std::chrono::minutes(30);

// Only a 2xx reply carries the file that was asked for.
bool isSuccessStatus(int status);

// Whether a body that ended without a transfer error is known to have arrived whole: only a
// body that met its announced Content-Length is. Without one the body ended where the server
// closed the connection, and a cut there cannot be told from the real end. A chunked body is
// no better here: its last chunk is what proves it whole, and Qt 6.4 does not show it (a
// connection closed after any chunk often finishes the reply as if the body were complete).
enum class BodyArrival { Whole, Cut, LengthUnknown };
BodyArrival judgeBody(bool chunked, std::optional<long long> contentLength, long long received);

// "The server answered with status 404 Not Found."
std::string statusErrorText(int status, std::string_view reason);

// The download's progress in the About window's status box; `total` is unknown when absent.
std::string downloadProgressText(long long received, std::optional<long long> total);

// Why a downloaded installer is not used, in the "Download Error" message.
std::string cutBodyText(long long received, std::optional<long long> total);
std::string unknownLengthText();
std::string emptyBodyText();
std::string deadlineText(std::chrono::milliseconds deadline);

// Why a transfer failed, in the status box and in the "Download Error" message: the server
// went silent for the whole transfer timeout; the server sent the request on to another
// scheme, host or port (`target`), which is not followed.
std::string silenceText(std::chrono::milliseconds transferTimeout);
std::string foreignRedirectText(std::string_view target);

}  // namespace update
