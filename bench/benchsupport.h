#pragma once

// Small pieces shared by the benchmarks: a main window loaded with the program's own Qt
// services in a program directory of its own, and the process's memory figures.

#include "benchmemory.h"
#include "form1.h"
#include "notifyarea.h"
#include "pagecheck.h"
#include "qtservices.h"
#include "services.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace BenchSupport {

// A clock that never reaches a mark of the schedule: only the benchmark starts checks.
class NoMarkClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate::currentDate(), QTime(10, 0, 0)); }
};

// A notification area that is never there, for benchmarks that need no tray.
class NoNotifyArea : public NotifyArea
{
public:
    void notify(NotifyMessage, const NotifyIconData&) override {}
    bool isAvailable() const override { return false; }
};

// The main window, loaded from a config.ini that watches `url`, in a fresh program
// directory under `baseDir`; the program's Qt services but for the clock (and the tray
// when `withTray` is false). https checks trust `tls` when it is given.
class BenchWindow
{
public:
    explicit BenchWindow(const QString& url, const QString& baseDir = QDir::tempPath(),
                         bool withTray = true, std::optional<QSslConfiguration> tls = {})
        : m_dir(baseDir + QStringLiteral("/orvell-bench-XXXXXX")), m_tls(std::move(tls))
    {
        QFile config(path(QStringLiteral("config.ini")));
        if (!config.open(QIODevice::WriteOnly) ||
            config.write("\"" + url.toUtf8() + "\"\r\n0\r\n\"chime.wav\"\r\n") <= 0)
            qFatal("cannot write %s", qPrintable(config.fileName()));
        config.close();
        m_services = m_qt.services();
        m_services.clock = &m_clock;
        m_services.programDir = m_dir.path();
        if (!withTray)
            m_services.notifyArea = &m_noTray;
        if (m_tls)
            m_services.tlsConfiguration = &*m_tls;
        form = std::make_unique<Form1>(m_services);
        form->Form_Load();
        form->Timer1.stop();
        QObject::connect(form.get(), &Form1::checkEnded, form.get(),
                         [this](const CheckOutcome& outcome) { m_last = outcome; });
    }

    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QtServices& qt() { return m_qt; }
    void setUrl(const QString& url) { form->txtURL->setText(url); }

    // One check, from its start to its end.
    CheckOutcome check()
    {
        m_last.reset();
        form->FetchURL();
        while (!m_last)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return *m_last;
    }

private:
    QTemporaryDir m_dir;
    std::optional<QSslConfiguration> m_tls;
    QtServices m_qt;
    NoMarkClock m_clock;
    NoNotifyArea m_noTray;
    Services m_services;
    std::optional<CheckOutcome> m_last;

public:
    // Made after and gone before the services it uses.
    std::unique_ptr<Form1> form;
};

} // namespace BenchSupport
