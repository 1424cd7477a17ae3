// The English translation against the sources: every text of the sources has a finished
// translation, the .ts file holds no text the sources lost, and a translation keeps what the
// program fills in or the toolkit reads out of a text (arguments, accelerators, file patterns).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace
{

struct Message {
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "obsolete", "vanished" or empty (finished)
    QString key() const { return context + QLatin1Char('|') + source; }
};

QList<Message> readTs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QList<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            m = Message{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            messages.append(m);
        }
    }
    if (xml.hasError())
        qFatal("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return messages;
}

// The texts the sources hold now, as lupdate finds them.
QList<Message> sourceTexts(const QString &scratch)
{
    const QString ts = QDir(scratch).filePath(QStringLiteral("qxwatch_en.ts"));
    QStringList args = QString::fromUtf8(QX_LUPDATE_OPTIONS).split(u',', Qt::SkipEmptyParts);
    args << QStringLiteral("-I") << QStringLiteral(QX_SOURCE_DIR) << QStringLiteral("-silent");
    args << QString::fromUtf8(QX_TRANSLATED_FOLDERS).split(u',', Qt::SkipEmptyParts);
    args << QStringLiteral("qxwatch.cpp") << QStringLiteral("-ts") << ts;
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(QX_SOURCE_DIR));
    lupdate.start(QStringLiteral(QX_LUPDATE), args);
    if (!lupdate.waitForFinished(120000) || lupdate.exitCode() != 0)
        qFatal("lupdate failed: %s", lupdate.readAllStandardError().constData());
    return readTs(ts);
}

QStringList sorted(QSet<QString> set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

// What of a text the program or the toolkit reads: %1.. arguments, the accelerator letter's
// mark, line ends and tabs (a menu item's tab parts its caption from its shortcut text), and a
// file dialog's patterns.
QStringList structure(const QString &text)
{
    QStringList parts;
    static const QRegularExpression marks(QStringLiteral(R"(%\d+|&&|&(?=\S)|\n|\t|\(\*[^)]*\))"));
    for (auto it = marks.globalMatch(text); it.hasNext();)
        parts << it.next().captured();
    parts.sort();
    return parts;
}

bool hasJapanese(const QString &text)
{
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FFEF}]"));
    return japanese.match(text).hasMatch();
}

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

    QList<Message> m_committed;

private slots:
    void initTestCase() { m_committed = readTs(QStringLiteral(QX_TS_FILE)); }

    void tsFileHoldsExactlyTheSourcesTexts()
    {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QSet<QString> now;
        for (const Message &m : sourceTexts(scratch.path()))
            now.insert(m.key());
        QVERIFY2(!now.isEmpty(), "lupdate found no text in the sources");
        QSet<QString> committed;
        for (const Message &m : std::as_const(m_committed))
            committed.insert(m.key());
        const QStringList missing = sorted(now - committed);
        const QStringList lost = sorted(committed - now);
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("texts without a translation (build the target "
                                           "update_translations and translate them):\n  ") +
                            missing.join(QStringLiteral("\n  "))));
        QVERIFY2(lost.isEmpty(),
                 qPrintable(QStringLiteral("texts the sources no longer hold:\n  ") +
                            lost.join(QStringLiteral("\n  "))));
    }

    void everyTextIsTranslated_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("type");
        QVERIFY(!m_committed.isEmpty());
        for (const Message &m : std::as_const(m_committed))
            QTest::newRow(qPrintable(m.key())) << m.source << m.translation << m.type;
    }

    void everyTextIsTranslated()
    {
        QFETCH(QString, source);
        QFETCH(QString, translation);
        QFETCH(QString, type);
        QVERIFY2(type.isEmpty(), qPrintable(QStringLiteral("marked ") + type));
        QVERIFY(!translation.trimmed().isEmpty());
        QVERIFY2(!hasJapanese(translation), qPrintable(translation));
        QCOMPARE(structure(translation), structure(source));
    }
};

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
