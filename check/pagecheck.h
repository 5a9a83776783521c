#pragma once

#include "boolean.h"
#include "httpsocket.h"

#include <QByteArray>
#include <QFile>
#include <QMetaType>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

struct Services;

// How one check ended. A check that a newer one abandoned does not end: it is gone.
struct CheckOutcome
{
    enum class Result
    {
        Unchanged, // stored: the same size as the snapshot, or the first snapshot
        Changed,   // stored, and the change announced
        Failed     // the snapshot left alone; `reason` says why
    };
    Result result = Result::Failed;
    // Why a check failed, in the words the caption shows.
    QString reason;
};
Q_DECLARE_METATYPE(CheckOutcome)

// What one check reads from and shows in the main window.
class CheckHost
{
public:
    virtual ~CheckHost() = default;
    // The text of `txtURL`.
    virtual QString urlText() const = 0;
    // The main window's caption: the only progress display of a check.
    virtual void setCaption(const QString& caption) = 0;
    // `Text1`: the body of the latest reply (its first kKeptBodyBytes at most).
    virtual void setWorkingText(const QByteArray& body) = 0;
    // `Label2` and `Label3`: the sizes of the new body file and of the snapshot.
    virtual void setSizes(const QString& newSize, const QString& oldSize) = 0;
    // A detected change: the log line, then the sound, flash and popup. Both come
    // after the snapshot holds the new body.
    virtual void logUpdate() = 0;
    virtual void announceUpdate() = 0;
    // The check has ended; comes last, after everything above.
    virtual void checkEnded(const CheckOutcome& outcome) = 0;
};

// One check of the watched page: the URL split into host and path, the GET request over
// TCP ("http://" or no scheme) or TLS ("https://"), the reply streamed into data.tmp as
// it arrives, and at the server's close the comparison with the snapshot data.orvl,
// which the new body then replaces. Both kinds of connection take the same path.
class PageCheck : public HttpSocketEvents
{
public:
    // A reply whose header is longer than this counts as failed.
    static constexpr qint64 kMaxHeaderBytes = 1024 * 1024;
    // ResponseText and Text1 keep the body up to this size; data.tmp holds all of it.
    static constexpr qint64 kKeptBodyBytes = 1024 * 1024;

    // `socket` carries http checks, `secureSocket` https checks.
    PageCheck(Services& services, CheckHost& host, std::unique_ptr<HttpSocket> socket,
              std::unique_ptr<HttpSocket> secureSocket);
    ~PageCheck() override;

    // Other limits than the two above, for the next fetch on (the reply fuzz target
    // uses small ones, to reach them with short inputs).
    void setLimits(qint64 maxHeaderBytes, qint64 keptBodyBytes);

    // Starts one check; returns once the connect request is made.
    void FetchURL();

    // Where the connection goes for a host text: "host:8080" is port 8080 of "host",
    // anything else the scheme's port (80, or 443 for https) of the whole text.
    struct Target
    {
        QString host;
        std::uint16_t port = 80;
    };
    static Target connectTarget(const QString& hostName, std::uint16_t defaultPort = 80);
    // The body length a header announces (Content-Length); -1 when it announces none,
    // or none that can be trusted (several that differ, or a chunked body).
    static qint64 announcedLength(const QByteArray& header);
    // The five-line GET request.
    static QByteArray request(const QString& requestPath, const QString& hostName);

    QString tmpPath() const;
    QString snapshotPath() const;
    HttpSocket& wscHTTP() { return *m_plain; }
    HttpSocket& wscHTTPS() { return *m_secure; }
    // Whether the current (or last) check goes over TLS.
    bool isSecure() const { return m_socket == m_secure.get(); }

    // The state of the current fetch.
    QString HostName;
    QString RequestPath;
    // Before the header is cut: the reply so far; after: the body (bounded).
    QByteArray ResponseText;
    Boolean HeaderStripped = False;

    // The socket's events.
    void wscHTTP_Connect() override;
    void wscHTTP_DataArrival(std::int64_t bytesTotal) override;
    void wscHTTP_Close() override;
    void wscHTTP_CloseUnconfirmed(const QString& description) override;
    void wscHTTP_Error(int number, const QString& description) override;

private:
    void takeBody(const char* data, qint64 size);
    bool openTmp();
    // Ends the fetch without touching the snapshot: removes data.tmp, says why.
    void fail(const QString& why);
    void discardTmp();
    void showError(int number, const QString& description);

    Services& m_services;
    CheckHost& m_host;
    std::unique_ptr<HttpSocket> m_plain;
    std::unique_ptr<HttpSocket> m_secure;
    HttpSocket* m_socket = nullptr; // the one of the current check
    QByteArray m_chunk;             // reused for every GetData
    QFile m_tmp;                    // data.tmp, open from the connection to the close
    qint64 m_bodySize = 0;
    qint64 m_announcedLength = -1;
    qint64 m_maxHeaderBytes = kMaxHeaderBytes;
    qint64 m_keptBodyBytes = kKeptBodyBytes;
    bool m_active = false; // a fetch is running and has not failed
};
