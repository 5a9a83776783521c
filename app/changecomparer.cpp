#include "changecomparer.h"

#include "pagetext.h"
#include "systemfiles.h"

#include <QCoreApplication>
#include <QMutex>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ChangeComparer", text);
}

QString tooLarge()
{
    return tr("The page was larger than 32 MiB: it was not kept.");
}

// Why a kept page cannot be compared; empty when it can.
QString unavailable(const KeptPage& page, bool before)
{
    if (page.state == KeptPage::State::TooLarge)
        return tooLarge();
    if (page.state == KeptPage::State::NotKept && before)
        return tr("No earlier version was kept.");
    return page.whyUnavailable();
}

// The page as the check stored it, without the line end the check adds to every body.
std::optional<QByteArray> readKept(const KeptPage& page)
{
    Result<QByteArray> read = SystemFiles::readShared(page.path, VersionHistory::kMaxPageBytes + 1);
    if (!read || read.value().size() != page.size)
        return std::nullopt; // removed or changed since it was listed
    QByteArray bytes = std::move(read).value();
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    return bytes;
}

std::optional<QString> firstLine(const TextDiff& diff, DiffLine::Kind kind)
{
    for (const DiffLine& line : diff.lines) {
        if (line.kind == kind && !line.text.trimmed().isEmpty())
            return line.text;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> Comparison::firstAddedLine() const
{
    return firstLine(diff, DiffLine::Kind::Added);
}

std::optional<QString> Comparison::firstRemovedLine() const
{
    return firstLine(diff, DiffLine::Kind::Removed);
}

Comparison ChangeComparer::compareNow(const KeptUpdate& update)
{
    Comparison c;
    c.time = update.time;
    c.oldSize = update.before.size;
    c.newSize = update.after.size;
    if (c.message = unavailable(update.before, true); !c.message.isEmpty())
        return c;
    if (c.message = unavailable(update.after, false); !c.message.isEmpty())
        return c;
    const std::optional<QByteArray> before = readKept(update.before);
    const std::optional<QByteArray> after = readKept(update.after);
    if (!before || !after) {
        KeptPage missing;
        missing.state = KeptPage::State::Missing;
        c.message = missing.whyUnavailable();
        return c;
    }
    const PageText a = readPageText(*before, PageType::fromContentType(update.before.contentType));
    const PageText b = readPageText(*after, PageType::fromContentType(update.after.contentType));
    using Kind = PageText::Kind;
    if (a.kind == Kind::TooLarge || b.kind == Kind::TooLarge) {
        c.message = tooLarge();
    } else if (a.kind == Kind::NotText || b.kind == Kind::NotText) {
        c.message = tr("The page is not text: its size went from %1 to %2 bytes.")
                        .arg(c.oldSize)
                        .arg(c.newSize);
    } else {
        c.diff = diffTexts(a.lines, b.lines);
    }
    return c;
}

// Lives in the comparer's thread. The request waiting is one slot, not a queue: a new one
// takes the place of one not yet started.
class ChangeComparer::Worker : public QObject
{
public:
    explicit Worker(ChangeComparer& owner) : m_owner(owner) {}

    void put(quint64 number, const KeptUpdate& update)
    {
        QMutexLocker lock(&m_mutex);
        m_waiting = Request{number, update};
        if (m_woken)
            return; // the wake-up already queued takes this one
        m_woken = true;
        QMetaObject::invokeMethod(
            this, [this] { run(); }, Qt::QueuedConnection);
    }

private:
    struct Request
    {
        quint64 number = 0;
        KeptUpdate update;
    };

    void run()
    {
        std::optional<Request> request;
        {
            QMutexLocker lock(&m_mutex);
            m_woken = false;
            request = std::exchange(m_waiting, std::nullopt);
        }
        if (!request)
            return;
        Comparison result = compareNow(request->update);
        ChangeComparer* owner = &m_owner;
        QMetaObject::invokeMethod(
            owner,
            [owner, n = request->number, result = std::move(result)] { owner->deliver(n, result); },
            Qt::QueuedConnection);
    }

    ChangeComparer& m_owner;
    QMutex m_mutex;
    std::optional<Request> m_waiting;
    bool m_woken = false;
};

ChangeComparer::ChangeComparer(QObject* parent) : QObject(parent), m_worker(new Worker(*this))
{
    m_thread.setObjectName(QStringLiteral("ChangeComparer"));
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
}

ChangeComparer::~ChangeComparer()
{
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void ChangeComparer::compare(const KeptUpdate& update)
{
    m_worker->put(++m_latest, update);
}

void ChangeComparer::deliver(quint64 request, const Comparison& result)
{
    if (request == m_latest)
        Q_EMIT compared(result);
}
