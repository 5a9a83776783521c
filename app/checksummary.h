#pragma once

#include "pagecheck.h"

#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

// What the program says about the last check outside the check itself: the tray icon's
// tooltip (what a user sees when hovering the icon) and, where it needs more words than
// the check's own, the main window's caption (which "About" shows).
namespace CheckSummary {

// The most a tooltip may hold: the tray control's tip field is 64 bytes with its NUL.
// Counted in UTF-8 bytes, which no system's code page exceeds.
inline constexpr int kMaxTipBytes = 63;

// Whether a stored reply is a redirect: 301, 302, 303, 307 or 308.
bool isRedirect(const CheckOutcome& outcome);

// The tooltip for the watched URL (as config.ini has it) and the last check, none before
// the first: the host as written (its port kept; shortened with "…" where the whole would
// not fit), the outcome in a few words and the check's time in the locale's long form:
// "example.org: unchanged, 1:09:59 PM", "example.org: changed at 13:09:59",
// "example.org: server error 503, 1:09:59 PM", "example.org: moved (301), see About",
// "example.org: not checked yet". Never more than kMaxTipBytes.
//
// After a change, the lines it added and removed follow where they fit: "example.org:
// changed at 1:09:59 PM, 3 lines added, 1 removed"; they shorten to ", +3 -1" and then go
// before the host gives way.
struct LineCounts
{
    int added = 0;
    int removed = 0;
};
QString trayTip(const QString& url, const std::optional<CheckOutcome>& last, const QTime& time,
                const QLocale& locale, const std::optional<LineCounts>& counts = std::nullopt);
// The tooltip while a check runs, from its start: "example.org: checking since 1:09:59 PM",
// within the same bound.
QString checkingTip(const QString& url, const QTime& start, const QLocale& locale);

// The host of a URL as written: without its scheme, up to the first "/"; the whole text
// when that leaves nothing.
QString hostText(const QString& url);

// The URL as a browser takes it: http:// in front where config.ini has no scheme.
QString browserAddress(const QString& url);

// The caption that a finished check leaves where the check's own says too little;
// empty when the check's caption stands. A stored redirect names its target (a relative
// one resolved against the URL) and advises writing that address in config.ini; an
// address refused at once says why.
QString caption(const QString& url, const CheckOutcome& outcome);

} // namespace CheckSummary
