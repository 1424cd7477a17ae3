// The settings file reader on arbitrary file contents: after one key is written, that key reads
// back as written and every other key reads as it did before.
#include "platform/ProfileFile.h"
#include "platform/SjisText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void fail(const char *what, const QString &section, const QString &key)
{
    std::fprintf(stderr, "profile property failed: %s ([%s] %s)\n", what, qPrintable(section),
                 qPrintable(key));
    std::abort();
}

// Names the program itself uses, in other cases too, so the fuzzer finds them in files.
const QStringList kSections{"PORTS", "COM", "window", "Bitorder", "QXMODE", "A"};
const QStringList kKeys{"COM1", "Port", "left", "Top", "MODE", "k"};

// Names as the program writes them: plain ASCII words, no blanks, "=", brackets or quotes.
bool plainName(const QString &s)
{
    static const QRegularExpression plain("^[A-Za-z0-9_]{1,12}$");
    return plain.match(s).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    FuzzedDataProvider in(data, size);
    const int writeSection = in.ConsumeIntegralInRange<int>(0, int(kSections.size()) - 1);
    const int writeKey = in.ConsumeIntegralInRange<int>(0, int(kKeys.size()) - 1);
    const uint32_t valueNumber = in.ConsumeIntegral<uint32_t>();
    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();

    const QString path = dir.filePath("fuzz.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
    }
    ProfileFile ini(path);

    // Every plain section and key name of the file, plus the program's own.
    QStringList sections = kSections;
    QStringList keys = kKeys;
    for (const QByteArray &line :
         QByteArray::fromRawData(reinterpret_cast<const char *>(bytes.data()),
                                 qsizetype(bytes.size()))
             .split('\n')) {
        const QString text = fromSjis(line).trimmed();
        if (text.startsWith(u'[') && text.indexOf(u']') > 0) {
            const QString name = text.mid(1, text.indexOf(u']') - 1).trimmed();
            if (plainName(name))
                sections << name;
        } else if (text.indexOf(u'=') > 0) {
            const QString name = text.left(text.indexOf(u'=')).trimmed();
            if (plainName(name))
                keys << name;
        }
    }
    sections.removeDuplicates();
    keys.removeDuplicates();
    sections = sections.mid(0, 8);
    keys = keys.mid(0, 8);

    QList<QString> before;
    for (const QString &s : sections) {
        for (const QString &k : keys)
            before << ini.readString(s, k, QStringLiteral("<none>"));
    }

    const QString section = kSections.at(writeSection);
    const QString key = kKeys.at(writeKey);
    const QString value = QString::number(valueNumber);
    if (!ini.writeString(section, key, value))
        fail("write failed", section, key);
    if (ini.readString(section, key, QStringLiteral("<none>")) != value)
        fail("written value does not read back", section, key);
    if (valueNumber <= 0x7FFFFFFF && ini.readInt(section, key, -1) != int(valueNumber))
        fail("written number does not read back as one", section, key);

    qsizetype n = 0;
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            const bool written = s.compare(section, Qt::CaseInsensitive) == 0 &&
                                 k.compare(key, Qt::CaseInsensitive) == 0;
            if (!written && ini.readString(s, k, QStringLiteral("<none>")) != before.at(n))
                fail("another key changed", s, k);
            ++n;
        }
    }
    return 0;
}
