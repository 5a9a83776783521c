// Any bytes as config.ini: the reader gives three items or raises one of the two
// run-time errors a malformed file can cause (62 input past end, 6 overflow). It never
// crashes, never raises anything else, and what it reads survives being written back.
// A byte order mark before the file changes nothing, and the URL loses no byte to a
// replacement character.
#include "configfile.h"
#include "runtimeerror.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "config.ini reader: %s\n", what);
    std::abort();
}

// What a writer produces from the items: three lines, text items in double quotes.
QByteArray written(const ConfigItems& items)
{
    return "\"" + items.url.toLocal8Bit() + "\"\r\n" + QByteArray::number(items.showPopup) +
           "\r\n\"" + items.soundFile.toLocal8Bit() + "\"\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ConfigItems items;
    try {
        items = ConfigFile::parse(bytes);
    } catch (const RuntimeError& e) {
        if (e.number() != RuntimeError::InputPastEndOfFile && e.number() != RuntimeError::Overflow)
            fail("raised an error other than 62 or 6");
        return 0;
    }
    // Any other exception leaves this function and libFuzzer reports it.

    if (items.showPopup > 255)
        fail("popup switch outside 0..255");

    // The same bytes read the same way twice.
    const ConfigItems again = ConfigFile::parse(bytes);
    if (again.url != items.url || again.showPopup != items.showPopup ||
        again.soundFile != items.soundFile)
        fail("two readings of the same bytes differ");

    // A byte order mark at the start is skipped.
    const QByteArray bom("\xEF\xBB\xBF");
    if (!bytes.startsWith(bom)) {
        const ConfigItems marked = ConfigFile::parse(bom + bytes);
        if (marked.url != items.url || marked.showPopup != items.showPopup ||
            marked.soundFile != items.soundFile)
            fail("a byte order mark changed what was read");
    }
    // Bytes of the URL that do not decode are kept as %XX, never replaced.
    if (items.url.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"))
        fail("the URL lost bytes to a replacement character");

    // A quoted item cannot hold a double quote; any other text the reader gives back
    // is read again unchanged from the writer's form of it.
    const QChar quote = QLatin1Char('"');
    if (items.url.contains(quote) || items.soundFile.contains(quote))
        return 0;
    const ConfigItems reread = ConfigFile::parse(written(items));
    if (reread.url != items.url || reread.showPopup != items.showPopup ||
        reread.soundFile != items.soundFile)
        fail("the written-back items read differently");
    return 0;
}
