#include "link/Frames.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#ifndef QXUNIT_PATH
#error "QXUNIT_PATH names the qxunit program under test"
#endif

namespace
{

// The window's side of the line, reduced to what the tests need: open the device, read
// display frames out of the byte stream, send bytes.
class LineEnd
{
public:
    explicit LineEnd(const QString &device)
    {
        m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio = {};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~LineEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    void send(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.constData(), bytes.size()), bytes.size());
    }

    void discardInput()
    {
        ::tcflush(m_fd, TCIFLUSH);
        m_buffer.clear();
    }

    // Reads until at least n bytes arrived since the last discardInput() or deadline.
    qsizetype readBytes(qsizetype n, QDeadlineTimer deadline, QElapsedTimer *sinceFirst = nullptr)
    {
        while (m_buffer.size() < n && !deadline.hasExpired()) {
            if (!readOnce(deadline))
                continue;
            if (sinceFirst && !sinceFirst->isValid())
                sinceFirst->start();
        }
        return m_buffer.size();
    }

    // Reads until a display frame satisfies pred; every frame found on the way must pass its
    // check. Frames before the match are consumed.
    std::optional<QByteArray> waitForFrame(const std::function<bool(const QByteArray &)> &pred,
                                           QDeadlineTimer deadline)
    {
        for (;;) {
            while (auto f = takeFrame()) {
                if (!Frames::displayCheckMatches(f->constData())) {
                    ++badFrames;
                    continue;
                }
                ++goodFrames;
                if (pred(*f))
                    return f;
            }
            if (deadline.hasExpired())
                return std::nullopt;
            readOnce(deadline);
        }
    }

    int goodFrames = 0;
    int badFrames = 0;

private:
    bool readOnce(QDeadlineTimer deadline)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            return false;
        char buf[512];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        m_buffer.append(buf, n);
        return true;
    }

    std::optional<QByteArray> takeFrame()
    {
        for (qsizetype i = 0; i + 1 < m_buffer.size(); ++i) {
            if (m_buffer.at(i) != '*' || (m_buffer.at(i + 1) & 0xF8) != 0x70)
                continue;
            if (m_buffer.size() - i < Frames::kDisplayFrameSize) {
                m_buffer.remove(0, i);
                return std::nullopt;
            }
            QByteArray f = m_buffer.mid(i, Frames::kDisplayFrameSize);
            m_buffer.remove(0, i + Frames::kDisplayFrameSize);
            return f;
        }
        if (!m_buffer.endsWith('*'))
            m_buffer.clear();
        return std::nullopt;
    }

    int m_fd = -1;
    QByteArray m_buffer;
};

bool isDebug(const QByteArray &f)
{
    return f.at(1) & Frames::kHeaderDebug;
}

bool isBitMode(const QByteArray &f)
{
    return f.at(1) & Frames::kHeaderBitMode;
}

} // namespace

class tst_QxunitProgram : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Starts qxunit and returns the device path it printed.
    QString start(QProcess &p, const QStringList &args)
    {
        p.start(QStringLiteral(QXUNIT_PATH), args);
        if (!p.waitForStarted(5000))
            return {};
        QDeadlineTimer deadline(5000);
        while (!p.canReadLine() && !deadline.hasExpired())
            p.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        return QString::fromLocal8Bit(p.readLine()).trimmed();
    }

    static void stop(QProcess &p)
    {
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
    }

private slots:
    void answersKeysOnThePtyItPrints()
    {
        const QString link = m_dir.filePath(QStringLiteral("unit"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/left-by-a-killed-unit"), link));
        QProcess p;
        const QString device = start(p, {QStringLiteral("--link"), link});
        QVERIFY2(device.startsWith(QStringLiteral("/dev/")), qPrintable(device));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        LineEnd line(link);
        QVERIFY(line.isOpen());
        const QDeadlineTimer deadline(10000);
        // The unit refreshes on its own: frames of all four lines arrive without any key.
        QList<int> seen;
        while (seen.size() < 4) {
            const auto f = line.waitForFrame([](const QByteArray &) { return true; }, deadline);
            QVERIFY(f);
            QVERIFY(!isDebug(*f));
            if (!seen.contains(f->at(2) & 3))
                seen.append(f->at(2) & 3);
        }

        line.send(Frames::keyFrame("23")); // ENABLE
        QVERIFY(line.waitForFrame(isDebug, deadline));

        // A bad ENABLE (upper-case check), noise and an unknown code are ignored; the MODE
        // key after them still works and the debug state stays.
        line.send("*232Bxyz" + Frames::keyFrame("31") + Frames::keyFrame("26"));
        const auto bit = line.waitForFrame(isBitMode, deadline);
        QVERIFY(bit);
        QVERIFY(isDebug(*bit));

        // Bit mode: "24" moves the cursor one bit higher, shown as the first line's address.
        line.send(Frames::keyFrame("24"));
        QVERIFY(line.waitForFrame(
            [](const QByteArray &f) { return (f.at(2) & 3) == 0 && f.mid(4, 3) == "001"; },
            deadline));
        QCOMPARE(line.badFrames, 0);

        stop(p);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    // 9600 bit/s, 11 bits a byte: the unit may never send faster than that.
    void pacesItsOutputLikeTheLine()
    {
        QProcess p;
        const QString device = start(p, {QStringLiteral("--refresh"), QStringLiteral("20")});
        LineEnd line(device);
        QVERIFY(line.isOpen());
        line.discardInput();
        QElapsedTimer sinceFirst;
        constexpr int kBytes = 300;
        const qsizetype got = line.readBytes(kBytes, QDeadlineTimer(10000), &sinceFirst);
        QVERIFY(got >= kBytes);
        const double byteMs = 11.0 * 1000 / 9600;
        // The first read may hold up to two frames already on their way.
        const double minimumMs = double(got - 2 * Frames::kDisplayFrameSize) * byteMs;
        QVERIFY2(sinceFirst.elapsed() >= 0.9 * minimumMs,
                 qPrintable(QStringLiteral("%1 ms").arg(sinceFirst.elapsed())));
        stop(p);
    }

    void fastSendsWithoutPacing()
    {
        QProcess p;
        const QString device =
            start(p, {QStringLiteral("--fast"), QStringLiteral("--refresh"), QStringLiteral("1")});
        LineEnd line(device);
        QVERIFY(line.isOpen());
        line.discardInput();
        QElapsedTimer sinceFirst;
        constexpr int kBytes = 2000; // 2.3 s at 9600 bit/s
        QVERIFY(line.readBytes(kBytes, QDeadlineTimer(10000), &sinceFirst) >= kBytes);
        QVERIFY2(sinceFirst.elapsed() < 2000, qPrintable(QString::number(sinceFirst.elapsed())));
        stop(p);
    }

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");

        QTest::newRow("help documents the scenario format")
            << QStringList{"--help"} << 0 << "[EightChannel]";
        QTest::newRow("help lists the keys by code")
            << QStringList{"--help"} << 0 << "Keys (key frame codes): 01 IN, 02 OUT, 03 ID,";
        QTest::newRow("help gives the hexadecimal keys' codes")
            << QStringList{"--help"} << 0 << "05 DATA, 06..21 hex 0..F,";
        QTest::newRow("help ends the keys with INI")
            << QStringList{"--help"} << 0 << "30 ON, ON INI.";
        QTest::newRow("version from the build")
            << QStringList{"--version"} << 0 << "qxunit " QX_VERSION "\n";
        QTest::newRow("built-in scenario printed")
            << QStringList{"--print-scenario"} << 0 << "[IDs]";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "--bogus";
        QTest::newRow("missing scenario file")
            << QStringList{"--scenario", "/nonexistent/bus.ini"} << 2 << "/nonexistent/bus.ini";
        QTest::newRow("link without a path") << QStringList{"--link"} << 2 << "--link";
        const QString file = m_dir.filePath(QStringLiteral("not-a-link"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QTest::newRow("link path taken by a file") << QStringList{"--link", file} << 2 << file;
    }

    void commandLineErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess p;
        p.start(QStringLiteral(QXUNIT_PATH), args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), exitCode);
        const QString text =
            QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(text.contains(output), qPrintable(text));
    }

    // The printed scenario is a valid scenario file.
    void printedScenarioLoadsBack()
    {
        QProcess print;
        print.start(QStringLiteral(QXUNIT_PATH), {QStringLiteral("--print-scenario")});
        QVERIFY(print.waitForFinished(5000));
        const QString path = m_dir.filePath(QStringLiteral("bus.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(print.readAllStandardOutput());
        f.close();

        QProcess p;
        const QString device = start(p, {QStringLiteral("--scenario"), path});
        QVERIFY2(device.startsWith(QStringLiteral("/dev/")), qPrintable(device));
        stop(p);
    }
};

QTEST_GUILESS_MAIN(tst_QxunitProgram)
#include "tst_qxunitprogram.moc"
