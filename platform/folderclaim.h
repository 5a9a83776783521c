#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// One watcher per program directory: the first start from a directory holds it for
// as long as it runs; a later start from the same directory asks the holder to show
// its window and then ends, so that two watchers never share data.tmp and data.orvl.
class FolderClaim
{
public:
    enum class Result
    {
        Claimed,     // this start is the directory's watcher
        OtherShown,  // another watcher runs there and has shown its window
        OtherSilent, // another watcher runs there but did not answer in time
        NotClaimed   // the directory could not be claimed (see errorText)
    };
    virtual ~FolderClaim() = default;
    virtual Result claim() = 0;
    virtual QString errorText() const = 0;

    // Runs for every later start's request to show the window. Requests that came
    // before a handler was set are served when it is set.
    using ShowHandler = std::function<void()>;
    virtual void setShowHandler(ShowHandler handler) = 0;
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

    Result claim() override;
    QString errorText() const override { return m_error; }
    void setShowHandler(ShowHandler handler) override;

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
        InUse, // another process holds it
        Failed // neither: m_error says why
    };
    // Takes the exclusive hold on the name and listens on it.
    Hold hold(QLocalServer& server);
    void release();
    // Where a later start connects to ask the holder.
    void prepare(QLocalSocket& socket) const;

    QString m_name;
    QString m_error;
    QLocalServer* m_server = nullptr;
    ShowHandler m_showHandler;
    QList<QLocalSocket*> m_waiting; // asked before there was a handler
    void* m_systemHold = nullptr;   // the system's own object of the hold, where there is one
};
