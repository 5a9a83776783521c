#pragma once

#include <QString>
#include <cstdint>

// The URL as a check takes it: without its "http://" or "https://" prefix, split at the
// first "/" (no "/": path "/"), the host's internationalised name in its ASCII ("xn--")
// form, a port after it kept.
struct Address
{
    bool secure = false;
    QString hostName;
    QString requestPath;

    // The error number of an address whose scheme is neither http nor https.
    static constexpr int kUnsupportedScheme = 10043;

    static Address parse(const QString& url);
    // Raises the RuntimeError of an address a check refuses at once, before any socket
    // sees it: the form "scheme://..." with a scheme other than exactly http or https, or
    // a port outside 1..65535.
    static void checkForm(const QString& url, const QString& hostName);
    // The host text with its name in ASCII; text that is no name stays as it is, for the
    // socket to refuse.
    static QString asciiHostName(const QString& hostName);

    // Where the connection goes for a host text: "host:8080" is port 8080 of "host",
    // anything else the scheme's port (80, or 443 for https) of the whole text.
    struct Target
    {
        QString host;
        std::uint16_t port = 80;
    };
    static Target connectTarget(const QString& hostName, std::uint16_t defaultPort = 80);
};
