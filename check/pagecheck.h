#pragma once

#include "httpsocket.h"
#include "vbbool.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

struct Services;

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
};

// One check of the watched page: the URL split into host and path, the GET request,
// the reply streamed into data.tmp as it arrives, and at the server's close the
// comparison with the snapshot data.orvl, which the new body then replaces.
class PageCheck : public HttpSocketEvents
{
public:
    // A reply whose header is longer than this counts as failed.
    static constexpr qint64 kMaxHeaderBytes = 1024 * 1024;
    // ResponseText and Text1 keep the body up to this size; data.tmp holds all of it.
    static constexpr qint64 kKeptBodyBytes = 1024 * 1024;

    PageCheck(Services& services, CheckHost& host, std::unique_ptr<HttpSocket> socket);
    ~PageCheck() override;

    // Starts one check; returns once the connect request is made.
    void FetchURL();

    // Where the connection goes for a host text: "host:8080" is port 8080 of "host",
    // anything else port 80 of the whole text.
    struct Target
    {
        QString host;
        std::uint16_t port = 80;
    };
    static Target connectTarget(const QString& hostName);
    // The five-line GET request.
    static QByteArray request(const QString& requestPath, const QString& hostName);

    QString tmpPath() const;
    QString snapshotPath() const;
    HttpSocket& wscHTTP() { return *m_socket; }

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
    void wscHTTP_Error(int number, const QString& description) override;

private:
    void takeBody(const char* data, qint64 size);
    // Ends the fetch without touching the snapshot: removes data.tmp, says why.
    void fail(const QString& why);
    void discardTmp();
    bool replaceSnapshot(bool snapshotIsFile);
    void showError(int number, const QString& description);

    Services& m_services;
    CheckHost& m_host;
    std::unique_ptr<HttpSocket> m_socket;
    QByteArray m_chunk; // reused for every GetData
    QFile m_tmp;        // data.tmp, open from the end of the header to the close
    qint64 m_bodySize = 0;
    bool m_active = false; // a fetch is running and has not failed
};
