#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>

namespace update {

// A request to the update server: it fails after `transferTimeout` without a byte, and follows
// only a redirection that stays on the same scheme, host and port. A redirection elsewhere
// ends the reply with QNetworkReply::InsecureRedirectError, so nothing from another server is
// ever read as the version file or kept as the installer.
inline QNetworkRequest updateRequest(const QString& address,
                                     std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request{QUrl(address)};
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

}  // namespace update
