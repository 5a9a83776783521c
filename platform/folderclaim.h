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

// The claim as a local socket named after the canonical directory. On Linux the name
// lives in the abstract namespace: no file is left anywhere, and the name goes with
// the process that holds it, even when it is killed. Binding the name is atomic, so of
// two starts at once exactly one claims it.
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

    // How long a later start waits for the holder's answer.
    static constexpr int kAnswerMs = 5000;

private:
    void serve(QLocalSocket* socket);

    QString m_name;
    QString m_error;
    QLocalServer* m_server = nullptr;
    ShowHandler m_showHandler;
    QList<QLocalSocket*> m_waiting; // asked before there was a handler
};
