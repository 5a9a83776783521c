#include "checksummary.h"

#include "services.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <iterator>

namespace {

using Failure = CheckOutcome::Failure;

const QString kEllipsis = QStringLiteral("\u2026");
// A host shortened for a long outcome keeps at least this many bytes (with its "…").
constexpr qsizetype kMinHostBytes = 16;

static_assert(PageCheck::kMaxPageBytes == qint64(1) << 30, "the tooltip says \"page over 1 GiB\"");

qsizetype utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

// The text cut so that it takes at most maxBytes in UTF-8, with "…" where it was cut;
// never inside a character.
QString elided(const QString& text, qsizetype maxBytes)
{
    if (utf8Size(text) <= maxBytes)
        return text;
    QString kept;
    qsizetype bytes = utf8Size(kEllipsis);
    for (const char32_t c : text.toUcs4()) {
        const qsizetype n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        kept += QString::fromUcs4(&c, 1);
    }
    return kept + kEllipsis;
}

// The counts of a change's lines, from the longest form to none: ", 3 lines added, 1
// removed", ", +3 -1", "".
QStringList countForms(const CheckSummary::LineCounts& c)
{
    const auto lines = [](int n) {
        return n == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(n);
    };
    QString words;
    QString signs;
    if (c.added > 0 && c.removed > 0) {
        words = QStringLiteral("%1 added, %2 removed").arg(lines(c.added)).arg(c.removed);
        signs = QStringLiteral("+%1 -%2").arg(c.added).arg(c.removed);
    } else if (c.added > 0) {
        words = lines(c.added) + QStringLiteral(" added");
        signs = QStringLiteral("+%1").arg(c.added);
    } else if (c.removed > 0) {
        words = lines(c.removed) + QStringLiteral(" removed");
        signs = QStringLiteral("-%1").arg(c.removed);
    } else {
        return {QString()};
    }
    return {QStringLiteral(", ") + words, QStringLiteral(", ") + signs, QString()};
}

// "404 Not Found", "404" without a phrase.
QString statusText(const CheckOutcome& o)
{
    return o.reasonPhrase.isEmpty() ? QString::number(o.statusCode)
                                    : QStringLiteral("%1 %2").arg(o.statusCode).arg(o.reasonPhrase);
}

// A failed check in a few words.
QString failureWords(const CheckOutcome& o)
{
    switch (o.failure) {
    case Failure::AddressRefused:
        return QStringLiteral("address refused");
    case Failure::HostNotFound:
        return QStringLiteral("host not found");
    case Failure::ConnectionRefused:
        return QStringLiteral("connection refused");
    case Failure::ConnectionError:
        return QStringLiteral("connection failed");
    case Failure::CertificateProblem:
        return QStringLiteral("certificate not trusted");
    case Failure::HeaderTooLong:
        return QStringLiteral("reply header too long");
    case Failure::ServerError:
        return QStringLiteral("server error %1").arg(o.statusCode);
    case Failure::PageTooLarge:
        return QStringLiteral("page over 1 GiB");
    case Failure::CutShort:
        return QStringLiteral("reply cut short");
    case Failure::WriteFailure:
        return QStringLiteral("cannot save the page");
    case Failure::Malformed:
        return QStringLiteral("malformed reply");
    case Failure::NoAnswer:
        return QStringLiteral("no answer");
    case Failure::None:
        break;
    }
    return QStringLiteral("check failed");
}

} // namespace

QString CheckSummary::hostText(const QString& url)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    QString host = url;
    host.remove(scheme);
    if (const qsizetype slash = host.indexOf(QLatin1Char('/')); slash >= 0)
        host.truncate(slash);
    return host.isEmpty() ? url : host;
}

QString CheckSummary::browserAddress(const QString& url)
{
    return url.contains(QLatin1String("://")) ? url : QStringLiteral("http://") + url;
}

namespace CheckSummary {
// The tooltip of the last check, or of the one that runs.
static QString tip(const QString& url, const std::optional<CheckOutcome>& last, bool checking,
                   const QTime& time, const QLocale& locale,
                   const std::optional<LineCounts>& counts);
} // namespace CheckSummary

bool CheckSummary::isRedirect(const CheckOutcome& outcome)
{
    static constexpr int kRedirects[] = {301, 302, 303, 307, 308};
    return outcome.result != CheckOutcome::Result::Failed &&
           std::find(std::begin(kRedirects), std::end(kRedirects), outcome.statusCode) !=
               std::end(kRedirects);
}

QString CheckSummary::trayTip(const QString& url, const std::optional<CheckOutcome>& last,
                              const QTime& time, const QLocale& locale,
                              const std::optional<LineCounts>& counts)
{
    return tip(url, last, false, time, locale, counts);
}

QString CheckSummary::checkingTip(const QString& url, const QTime& start, const QLocale& locale)
{
    return tip(url, std::nullopt, true, start, locale, std::nullopt);
}

QString CheckSummary::tip(const QString& url, const std::optional<CheckOutcome>& last,
                          bool checking, const QTime& time, const QLocale& locale,
                          const std::optional<LineCounts>& counts)
{
    if (url.isEmpty())
        return QStringLiteral("ORVELL: no address in config.ini");
    const QString timeText = Clock::longTimeText(time, locale);
    // The outcome's words, and what follows them: its time, or where to read more.
    QString words;
    QString after = QStringLiteral(", ") + timeText;
    if (checking) {
        words = QStringLiteral("checking");
        after = QStringLiteral(" since ") + timeText;
    } else if (!last) {
        words = QStringLiteral("not checked yet");
        after.clear();
    } else if (last->result == CheckOutcome::Result::Failed) {
        words = failureWords(*last);
        if (last->failure == Failure::AddressRefused)
            after = QStringLiteral(", see About");
    } else if (isRedirect(*last)) {
        words = QStringLiteral("moved (%1)").arg(last->statusCode);
        after = QStringLiteral(", see About");
    } else if (last->statusCode >= 400 && last->statusCode <= 499) {
        words = statusText(*last);
    } else if (last->result == CheckOutcome::Result::Changed) {
        words = QStringLiteral("changed");
        after = QStringLiteral(" at ") + timeText;
        // The counts shorten, and go, before the host gives way.
        if (counts) {
            const QStringList forms = countForms(*counts);
            const qsizetype fixed = utf8Size(hostText(url) + QStringLiteral(": ") + words + after);
            const auto fits = std::find_if(forms.begin(), forms.end(), [&](const QString& f) {
                return fixed + utf8Size(f) <= kMaxTipBytes;
            });
            after += fits != forms.end() ? *fits : QString();
        }
    } else {
        words = QStringLiteral("unchanged");
    }

    // The host gives way first, down to a few characters; then the words (a long reason
    // phrase); the time stays whole.
    const QString colon = QStringLiteral(": ");
    const QString host = elided(
        hostText(url), std::max(kMinHostBytes, kMaxTipBytes - utf8Size(colon + words + after)));
    words = elided(words, kMaxTipBytes - utf8Size(host + colon + after));
    return elided(host + colon + words + after, kMaxTipBytes);
}

QString CheckSummary::caption(const QString& url, const CheckOutcome& outcome)
{
    if (outcome.failure == Failure::AddressRefused)
        return QStringLiteral("Check failed: ") + outcome.reason;
    if (!isRedirect(outcome))
        return {};
    if (outcome.location.isEmpty())
        return QStringLiteral("Connection Closed: the server answered %1 without saying where "
                              "the page went")
            .arg(statusText(outcome));
    // A relative target is resolved against the watched address.
    QString target = outcome.location;
    const QUrl location(target);
    const QUrl base(browserAddress(url));
    if (location.isRelative() && base.isValid() && !base.host().isEmpty())
        target = base.resolved(location).toString(QUrl::FullyEncoded);
    return QStringLiteral("Connection Closed: the page has moved (%1) to %2: write that "
                          "address in config.ini to watch it")
        .arg(statusText(outcome), target);
}
