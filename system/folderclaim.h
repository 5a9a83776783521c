#pragma once

#include "result.h"

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// One watcher per program directory: the first start from a directory holds it for
// as long as it runs; a later start from the same directory asks the holder to show
// its window and then ends, so that two watchers never share data.tmp and data.orvl.
// A start that only asks the holder to end (`--exit`, as an installer does before it
// replaces the program) makes no claim of its own.
class FolderClaim
{
public:
    enum class Outcome
    {
        Claimed,     // this start is the directory's watcher
        OtherShown,  // another watcher runs there and has shown its window
        OtherEnding, // another watcher ran there and is ending, as asked
        NoneRunning, // asked to end the directory's watcher: none runs there
        OtherSilent  // another watcher runs there but did not answer in time
    };
    // What a later start asks of the holder.
    enum class Request
    {
        Show, // show the window
        Exit  // end as the menu's "Exit" does
    };
    virtual ~FolderClaim() = default;
    // Claimed, OtherShown or OtherSilent; a failure when the directory could not be
    // claimed.
    virtual Result<Outcome> claim() = 0;

    // Runs for every later start's request. Requests that came before a handler was set
    // are served when it is set.
    using RequestHandler = std::function<void(Request)>;
    virtual void setRequestHandler(RequestHandler handler) = 0;

    // Asks the directory's watcher, where one runs, to end: OtherEnding, NoneRunning or
    // OtherSilent. Nothing is claimed.
    [[nodiscard]] virtual Outcome askToExit() = 0;
    // After OtherEnding: waits until the watcher's process has ended, for `ms` at most;
    // false when it still runs then.
    [[nodiscard]] virtual bool waitForOtherToEnd(int ms) = 0;
};

// The claim as a local socket named after the directory, which serves the later starts'
// requests, held exclusively in the system's own way; nothing is left on disk, and the
// hold goes with the process that has it, even when that is killed, and of two starts
// at once exactly one claims it.
// - Linux: the socket's name lives in the abstract namespace; binding it is the hold.
// - Windows: a named mutex is the hold (a named pipe's name may be taken twice), and the
//   name comes from the directory's final path, case-folded, so that every spelling of
//   the same directory (another case, an 8.3 short name, a link) gives the same name.
class QtFolderClaim : public QObject, public FolderClaim
{
    Q_OBJECT
public:
    explicit QtFolderClaim(const QString& programDir, QObject* parent = nullptr);
    ~QtFolderClaim() override;

    Result<Outcome> claim() override;
    void setRequestHandler(RequestHandler handler) override;
    Outcome askToExit() override;
    bool waitForOtherToEnd(int ms) override;

    // The socket name for a directory.
    static QString socketName(const QString& programDir);
    // The text that names a directory however it is written: its canonical path (on
    // Windows case-folded); the socket name is made from it.
    static QString identity(const QString& programDir);

    // How long a later start waits for the holder's answer.
    static constexpr int kAnswerMs = 5000;

private:
    void serve(QLocalSocket* socket);

    enum class Hold
    {
        Taken, // this process holds the name, and `server` listens on it
        InUse  // another process holds it
    };
    // Takes the exclusive hold on the name and listens on it; a failure when it can
    // do neither.
    Result<Hold> hold(QLocalServer& server);
    void release();
    // Where a later start connects to ask the holder.
    void prepare(QLocalSocket& socket) const;
    // Whether some process holds the name, also one that does not listen yet.
    bool held() const;
    // Waits for the process to end, for `ms` at most; false when it still runs then.
    static bool processEnded(qint64 pid, int ms);

    QString m_name;
    QLocalServer* m_server = nullptr;
    RequestHandler m_handler;
    QList<QLocalSocket*> m_waiting; // asked before there was a handler
    qint64 m_otherPid = 0;          // the process of the watcher asked to end, where it said
    void* m_systemHold = nullptr;   // the system's own object of the hold, where there is one
};
