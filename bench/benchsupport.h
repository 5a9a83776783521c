#pragma once

// Small pieces shared by the benchmarks: a main window loaded with the program's own Qt
// services in a program directory of its own, and the process's memory figures. The
// clock and the absent tray are the test kit's fakes.

#include "benchmemory.h"
#include "fakes.h"
#include "form1.h"
#include "pagecheck.h"
#include "qtservices.h"
#include "services.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace BenchSupport {

// The main window, loaded from a config.ini that watches `url`, in a fresh program
// directory under `baseDir`; the program's Qt services but for the clock, which stands
// at no mark of the schedule so that only the benchmark starts checks (and the tray when
// `withTray` is false). https checks trust `tls` when it is given.
class BenchWindow
{
public:
    explicit BenchWindow(const QString& url, const QString& baseDir = QDir::tempPath(),
                         bool withTray = true, std::optional<QSslConfiguration> tls = {})
        : m_dir(baseDir + QStringLiteral("/orvell-bench-XXXXXX")), m_tls(std::move(tls))
    {
        writeFile(path(QStringLiteral("config.ini")),
                  "\"" + url.toUtf8() + "\"\r\n0\r\n\"chime.wav\"\r\n");
        // Without a tray: one that is never there.
        m_noTray.available = false;
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
    FakeClock m_clock;
    RecordingNotifyArea m_noTray;
    Services m_services;
    std::optional<CheckOutcome> m_last;

public:
    // Made after and gone before the services it uses.
    std::unique_ptr<Form1> form;
};

} // namespace BenchSupport
