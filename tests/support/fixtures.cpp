#include "fixtures.h"

#include <QFileInfo>
#include <QListWidget>
#include <QTest>

LoadedMainWindow::LoadedMainWindow(const QString& url, int showPopup, const QString& programDir)
{
    if (!programDir.isEmpty())
        t.setProgramDir(programDir);
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)); // no mark
    t.writeFile(
        QStringLiteral("config.ini"),
        QStringLiteral("\"%1\"\r\n%2\r\n\"chime.wav\"\r\n").arg(url).arg(showPopup).toUtf8());
    form = std::make_unique<Form1>(t.services());
    form->Form_Load();
    form->Timer1.stop();
    m_ends = std::make_unique<QSignalSpy>(form.get(), &Form1::checkEnded);
}

CheckOutcome LoadedMainWindow::check(int timeoutMs)
{
    m_seen = m_ends->size();
    form->FetchURL();
    return waitForCheck(timeoutMs);
}

CheckOutcome LoadedMainWindow::waitForCheck(int timeoutMs)
{
    if (m_ends->size() <= m_seen &&
        !QTest::qWaitFor([this] { return m_ends->size() > m_seen; }, timeoutMs)) {
        // Fails the test function that waited, whatever it checks next.
        QTest::qFail("the check did not end in time", __FILE__, __LINE__);
        return {CheckOutcome::Result::Failed, QStringLiteral("the check did not end in time")};
    }
    return m_ends->at(m_seen++).at(0).value<CheckOutcome>();
}

bool LoadedMainWindow::tmpExists() const
{
    return QFileInfo::exists(t.path(QStringLiteral("data.tmp")));
}

int LoadedMainWindow::logLines() const
{
    return form->List1->count();
}
