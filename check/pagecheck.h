#pragma once

#include "address.h"
#include "boolean.h"
#include "chunkedbody.h"
#include "httpmessage.h"
#include "httpsocket.h"
#include "snapshotfiles.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>

struct SystemServices;

// How one check ended. A check that a newer one abandoned does not end: it is gone.
struct CheckOutcome
{
    enum class Result
    {
        Unchanged, // stored: the same size as the snapshot, or the first snapshot
        Changed,   // stored, and the change announced
        Failed     // the snapshot left alone; `reason` and `failure` say why
    };
    // What kept a failed check from storing the page, for code that reports it in its own
    // words. None for a stored page.
    enum class Failure
    {
        None,
        AddressRefused,     // the URL cannot be asked for at all (a scheme other than http or
                            // https, a port outside 1..65535, a host text that is no name)
        HostNotFound,       // the host name has no address
        ConnectionRefused,  // nothing listens at the host's port
        ConnectionError,    // any other failure of the connection or of its secure handshake
                            // (reset, unreachable, handshake refused)
        CertificateProblem, // the server's certificate did not pass verification
        HeaderTooLong,      // the reply's header ran over its limit
        ServerError,        // the server answered with a status of 500 to 599
        PageTooLarge,       // the body is, or its header says it is, over the page bound
        CutShort,           // the reply ended before it was whole: inside its header, short
                            // of its announced length, before the last of its chunks, or
                            // over TLS without the close alert where no length vouches for it
        WriteFailure,       // data.tmp could not be made, written, or put in data.orvl's place
        Malformed,          // the body's chunks are not as HTTP/1.1 has them
        NoAnswer,           // no address took the connection in time, or the server sent
                            // nothing for the silence bound
    };
    Result result = Result::Failed;
    // Why a check failed, in the words the caption shows (for an address refused at once,
    // the words of the message box).
    QString reason;
    Failure failure = Failure::None;
    // The status of the reply once its header was complete, stored or not (a 301 or a 404
    // is stored like any page; a 503 is a ServerError); 0 and empty before that, or for a
    // reply without a status line. The reason phrase holds printable ASCII only, at most
    // kMaxReasonPhrase characters.
    int statusCode = 0;
    QString reasonPhrase = {};
    static constexpr int kMaxReasonPhrase = HttpMessage::kMaxReasonPhrase;
    // Where the reply's Location field points (the target of a redirect such as a 301),
    // once its header was complete; empty when it has none. Printable ASCII: its other
    // bytes go percent-encoded; at most kMaxLocation characters.
    QString location = {};
    static constexpr int kMaxLocation = HttpMessage::kMaxLocation;
    // The reply's Content-Type value once its header was complete (what reading the page
    // needs: its media type and charset); empty when it sent none.
    QByteArray contentType = {};
    // A stored page: the sizes compared, of data.orvl before (-1: there was none) and after.
    qint64 oldSize = -1;
    qint64 newSize = -1;
    // A change: the snapshot it replaced, left under this name in the program's folder for
    // the host to keep or remove; empty when the system could not keep it. Other checks
    // remove the replaced snapshot themselves.
    QString replacedSnapshot = {};
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
    // A check has started: its request is on its way (it ends with checkEnded, unless a
    // newer check abandons it).
    virtual void checkStarted() {}
    // The check has ended; comes last, after everything above.
    virtual void checkEnded(const CheckOutcome& outcome) = 0;
    // A modal message box with a single OK button: the check shows no window itself.
    enum class MessageIcon
    {
        Information,
        Exclamation
    };
    virtual void showMessage(const QString& text, MessageIcon icon, const QString& title) = 0;
};

// One check of the watched page: the URL split into host and path, the GET request over
// TCP ("http://" or no scheme) or TLS ("https://"), the page streamed into data.tmp as
// it arrives, and once the page is whole the comparison with the snapshot data.orvl,
// which the new page then replaces. Both kinds of connection take the same path.
//
// A page is whole when the reply says so: at its last chunk (a body sent in chunks, whose
// framing is taken off as it comes), at its announced Content-Length, and otherwise at
// the server's close. The check then closes the connection itself: a server that keeps
// it open holds nothing up.
//
// Only a whole page is stored: a reply with a status of 500 to 599 (a server's passing
// error, not the page), a body over the page bound, malformed chunks, or a reply that ends
// short of its length or before its last chunk fails the check and leaves the snapshot
// alone. So does a server that sends nothing for the silence bound.
class PageCheck : public HttpSocketEvents
{
public:
    // A reply whose header is longer than this counts as failed.
    static constexpr qint64 kMaxHeaderBytes = 1024 * 1024;
    // ResponseText and Text1 keep the body up to this size; data.tmp holds all of it.
    static constexpr qint64 kKeptBodyBytes = 1024 * 1024;
    // A body larger than this (1 GiB) fails the check: a server that streams without end
    // would fill the disk.
    static constexpr qint64 kMaxPageBytes = qint64(1) << 30;

    // Once connected, a check that receives no byte for this long (60 s) fails.
    static constexpr int kSilenceMs = 60000;

    struct Limits
    {
        // The header, and with it a chunked body's size lines and trailer.
        qint64 maxHeaderBytes = kMaxHeaderBytes;
        qint64 keptBodyBytes = kKeptBodyBytes;
        qint64 maxPageBytes = kMaxPageBytes;
        // For each address of the host to take the connection.
        int connectTimeoutMs = HttpSocket::kConnectTimeoutMs;
        // Without any byte received, from the connection on (a TLS handshake's included).
        int silenceMs = kSilenceMs;
    };

    // `socket` carries http checks, `secureSocket` https checks.
    PageCheck(SystemServices& services, CheckHost& host, std::unique_ptr<HttpSocket> socket,
              std::unique_ptr<HttpSocket> secureSocket);
    ~PageCheck() override;

    // Other limits than the defaults above, for the next fetch on (tests and the reply
    // fuzz target use small ones, to reach them with short inputs).
    void setLimits(const Limits& limits);
    const Limits& limits() const { return m_limits; }

    // Starts one check; returns once the connect request is made. An address that cannot
    // be asked for at all is refused at once, in a message box the first time only: later
    // checks of the same URL end with the same outcome without it.
    void FetchURL();
    // Looks at the URL in txtURL without connecting (at start-up), and says at once what a
    // check would refuse it for, in the same message box (which the checks then do not
    // show again). Nothing is said about an empty URL: a check asks for one.
    void reviewAddress();

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
    void wscHTTP_Heard() override;

private:
    using Failure = CheckOutcome::Failure;
    void takeHeader(qsizetype blankLine);
    void takeBody(const char* data, qint64 size);
    // The page's own bytes: into data.tmp, and the start of them into ResponseText.
    bool takePage(const char* data, qint64 size);
    // The page is whole: the connection closed, the page compared and stored.
    void completePage();
    void onSilence();
    // data.tmp's calls; a failure fails the check.
    bool openTmp();
    bool writeTmp(const char* data, qint64 size);
    void failWriting(const QString& why);
    // Ends the fetch without touching the snapshot: removes data.tmp, says why.
    void fail(Failure failure, const QString& why);
    void failCutShort();
    CheckOutcome outcome(CheckOutcome::Result result, const QString& reason = QString(),
                         Failure failure = Failure::None) const;
    void showError(int number, const QString& description);
    // The message box of an address refused at once, unless this URL's was shown already.
    void reportRefusal(const QString& url, int number, const QString& description);

    SystemServices& m_services;
    CheckHost& m_host;
    std::unique_ptr<HttpSocket> m_plain;
    std::unique_ptr<HttpSocket> m_secure;
    HttpSocket* m_socket = nullptr; // the one of the current check
    QByteArray m_chunk;             // reused for every GetData
    SnapshotFiles m_files;
    qint64 m_bodySize = 0;
    qint64 m_announcedLength = -1;
    std::optional<ChunkedBody> m_chunks; // of a chunked body, once its header is complete
    qint64 m_headerBytes = 0;            // of the current reply's header, with its blank line
    QTimer m_silence;                    // runs from the connection on, restarted by every byte
    HttpMessage::Status m_status;        // of the current reply, once its header is complete
    QString m_location;
    QByteArray m_contentType;
    qint64 m_oldSize = -1;
    qint64 m_newSize = -1;
    QString m_replaced; // the snapshot a change replaced, kept for the host
    Limits m_limits;
    QString m_refusedUrl;  // the URL whose refusal has been shown
    bool m_active = false; // a fetch is running and has not failed
};
