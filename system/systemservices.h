#pragma once

#include <QString>

class Clock;
class QSslConfiguration;

// What the program reaches outside itself without a window: the clock, its own folder and
// the trust of its secure connections. The check needs no more; the windows get these
// together with the desktop's services (Services).
struct SystemServices
{
    Clock* clock = nullptr;
    // The program's directory, without a trailing separator.
    QString programDir;
    // The TLS settings of https checks: which certificates are trusted. Null: the
    // system's trust store. Only code can set it (tests trust their own CA this way);
    // nothing a user or the environment sets can weaken the verification.
    const QSslConfiguration* tlsConfiguration = nullptr;
};
