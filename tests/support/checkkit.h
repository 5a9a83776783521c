#pragma once

// Stand-ins for the two sides of one check: the socket it talks through and the main
// window it reports to. Header-only and free of Qt Test, so the fuzz targets use them too.

#include "httpsocket.h"
#include "pagecheck.h"

#include <QFile>
#include <QList>
#include <QStringList>
#include <utility>

// A socket that writes down what it is asked and delivers what the test hands it. With
// `refusesLikeTheRealOne`, a connect request that the real socket refuses at once is
// refused here too.
class ScriptedSocket : public HttpSocket
{
public:
    void Close() override { calls << QStringLiteral("Close"); }
    void setLocalPort(std::uint16_t port) override
    {
        calls << QStringLiteral("LocalPort %1").arg(port);
    }
    void Connect(const QString& host, std::uint16_t port) override
    {
        if (refusesLikeTheRealOne)
            QtHttpSocket::checkTarget(host, port);
        calls << QStringLiteral("Connect %1 %2").arg(host).arg(port);
        ++connects;
        connectedHost = host;
        connectedPort = port;
    }
    void SendData(const QByteArray& data) override { sent += data; }
    void GetData(QByteArray& data) override { data = std::exchange(waiting, QByteArray()); }

    // What the connection would report.
    void connectNow() { listener()->wscHTTP_Connect(); }
    void deliver(const QByteArray& piece)
    {
        waiting += piece;
        listener()->wscHTTP_DataArrival(waiting.size());
    }
    void closeNow() { listener()->wscHTTP_Close(); }
    void closeUnconfirmed()
    {
        listener()->wscHTTP_CloseUnconfirmed(QStringLiteral("the connection ended"));
    }
    void failNow(int number = QtHttpSocket::kConnectionError,
                 const QString& description = QStringLiteral("Connection reset by peer"))
    {
        listener()->wscHTTP_Error(number, description);
    }

    bool refusesLikeTheRealOne = false;
    QStringList calls;
    int connects = 0;
    QString connectedHost;
    std::uint16_t connectedPort = 0;
    QByteArray sent;
    QByteArray waiting;
};

// The main window as a check sees it: keeps what the check shows and the message boxes it
// asks for, and writes down the notifications in order, each with the snapshot as it
// stood at that moment (when `programDir` is set).
class RecordingCheckHost : public CheckHost
{
public:
    QString urlText() const override { return url; }
    void setCaption(const QString& c) override { caption = c; }
    void setWorkingText(const QByteArray& body) override { text1 = body; }
    void setSizes(const QString& n, const QString& o) override
    {
        label2 = n;
        label3 = o;
    }
    void logUpdate() override { calls << QStringLiteral("log:") + snapshotNow(); }
    void announceUpdate() override { calls << QStringLiteral("announce:") + snapshotNow(); }
    void checkEnded(const CheckOutcome& outcome) override { outcomes.append(outcome); }
    void showMessage(const QString& text, MessageIcon icon, const QString& title) override
    {
        messages.append({text, icon, title});
    }

    QString snapshotNow() const
    {
        if (programDir.isEmpty())
            return QString();
        QFile f(programDir + QStringLiteral("/data.orvl"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    bool ended() const { return !outcomes.isEmpty(); }
    CheckOutcome::Result lastResult() const { return outcomes.last().result; }

    QString url;
    QString programDir;
    QString caption = QStringLiteral("ORVELL 1");
    QByteArray text1 = "old text";
    QString label2 = QStringLiteral("Label2");
    QString label3 = QStringLiteral("Label3");
    QStringList calls;
    QList<CheckOutcome> outcomes;
    struct Message
    {
        QString text;
        MessageIcon icon;
        QString title;
    };
    QList<Message> messages;
};
