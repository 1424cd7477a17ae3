#include "tests/architecture/IncludeMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Files = QMap<QString, QByteArray>;
using Targets = QList<IncludeMap::Target>;
Q_DECLARE_METATYPE(Targets)

namespace
{

IncludeMap::Target library(const char *name, QStringList sources, QStringList links)
{
    return {QLatin1String(name), true, std::move(sources), std::move(links)};
}

IncludeMap::Target program(const char *name, QStringList sources, QStringList links)
{
    return {QLatin1String(name), false, std::move(sources), std::move(links)};
}

} // namespace

class tst_IncludeMap : public QObject
{
    Q_OBJECT
private slots:
    // The project as it stands: no include against the map, none without its link edge.
    void projectFollowsTheMap()
    {
        const Targets targets =
            IncludeMap::readTargets(QStringLiteral(QX_TARGETS_FILE), QStringLiteral(QX_SOURCE_DIR));
        QVERIFY2(targets.size() > 10, QX_TARGETS_FILE);
        int sources = 0;
        for (const IncludeMap::Target &t : targets)
            sources += int(t.sources.size());
        IncludeMap::Counts counts;
        const QStringList problems =
            IncludeMap::check(QStringLiteral(QX_SOURCE_DIR), targets, &counts);
        // The whole tree was read: at least every file the build compiles.
        QVERIFY2(counts.files >= sources, qPrintable(QString::number(counts.files)));
        QVERIFY(counts.includes > 0);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void nodesByFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("node");
        const auto row = [](const char *what, const char *path, const char *node) {
            QTest::newRow(what) << QString::fromLatin1(path) << QString::fromLatin1(node);
        };
        row("the program", "qxwatch.cpp", "program");
        row("platform core", "platform/ProfileFile.h", "platform");
        row("platform widgets", "platform/widgets/ImageBox.h", "platform/widgets");
        row("a folder library", "tools/IdScan.cpp", "tools");
        row("a folder still to come", "history/HistoryWindow.h", "history");
        row("test support", "tests/support/PtyPair.h", "tests/support");
        row("a test folder", "tests/ui/BitPanelFixture.h", "tests/ui");
        row("a fuzz target", "fuzz/fuzz_window.cpp", "fuzz");
        row("an unknown folder", "net/Socket.h", "?net");
        row("another top-level file", "config.h", "");
    }
    void nodesByFolder()
    {
        QFETCH(QString, path);
        QFETCH(QString, node);
        QCOMPARE(IncludeMap::nodeOf(path), node);
    }

    void edges_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("allowed");
        const auto edge = [](const char *from, const char *to, bool allowed) {
            QTest::addRow("%s -> %s", from, to) << from << to << allowed;
        };
        edge("link", "platform", true);
        edge("platform", "link", false);
        edge("link", "link", true);
        edge("comm", "link", true);
        edge("unit", "platform", true);
        edge("record", "link", true);
        edge("history", "link", true);
        edge("tools", "ui", false);
        edge("comments", "ui", false);
        edge("tools", "comments", false);
        edge("comm", "unit", false);
        edge("link", "comm", false);
        edge("ui", "comments", true);
        edge("ui", "tools", true);
        edge("ui", "comm", true);
        edge("ui", "record", true);
        edge("ui", "history", true);
        edge("program", "ui", true);
        edge("ui", "program", false);
        edge("platform/widgets", "platform", true);
        edge("platform", "platform/widgets", false);
        edge("tools", "platform/widgets", true);
        edge("comments", "platform/widgets", true);
        edge("history", "platform/widgets", true);
        edge("link", "platform/widgets", false);
        edge("comm", "platform/widgets", false);
        edge("unit", "platform/widgets", false);
        edge("record", "platform/widgets", false);
        edge("tests/ui", "ui", true);
        edge("tests/ui", "tests/support", true);
        edge("tests/ui", "tests/e2e", false);
        edge("tests/support", "link", true);
        edge("tests/support", "tests/ui", false);
        edge("ui", "tests/support", false);
        edge("bench", "ui", true);
        edge("bench", "tests/support", false);
        edge("fuzz", "ui", true);
        edge("fuzz", "tests/support", false);
        edge("tests/e2e", "fuzz", false);
        edge("link", "fuzz", false);
        edge("?net", "link", false);
        edge("link", "?net", false);
    }
    void edges()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, allowed);
        QCOMPARE(IncludeMap::allows(from, to), allowed);
    }

    // Small trees with one fault each, and the message the check gives for it.
    void checkFindsTheFault_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<Targets>("targets");
        QTest::addColumn<QStringList>("expected"); // a part of each problem's message

        const Targets sound{library("qx_platform", {"platform/P.h"}, {}),
                            library("qx_link", {"link/L.h"}, {"qx_platform"}),
                            library("qx_ui", {"ui/U.h"}, {"qx_link", "qx_platform"})};
        const Files base{{"platform/P.h", "#pragma once\n"},
                         {"link/L.h", "#include \"platform/P.h\"\n"},
                         {"ui/U.h", "#include \"link/L.h\"\n#include <QWidget>\n"}};

        QTest::newRow("sound tree") << base << sound << QStringList();

        Files upward = base;
        upward["link/L.h"] += "#include \"ui/U.h\"\n";
        QTest::newRow("an upward include")
            << upward << sound
            << QStringList{"link/L.h:2 includes ui/U.h, but link may include only platform",
                           "link/L.h:2 includes ui/U.h, but qx_link does not link qx_ui"};

        Files sideways = base;
        sideways["tools/T.cpp"] = "#include \"comments/C.h\"\n";
        sideways["comments/C.h"] = "#pragma once\n";
        QTest::newRow("an include between siblings")
            << sideways << sound << QStringList{"tools/T.cpp:1 includes comments/C.h"};

        Files unknown = base;
        unknown["net/N.cpp"] = "#include \"link/L.h\"\n";
        QTest::newRow("a folder the map does not know")
            << unknown << sound << QStringList{"net/ is not in the include map"};

        Files intoUnknown = base;
        intoUnknown["net/README"] = "";
        intoUnknown["ui/U.cpp"] = "#include \"net/N.h\"\n";
        QTest::newRow("an include of a folder the map does not know")
            << intoUnknown << sound << QStringList{"ui/U.cpp:1 includes net/N.h"};

        Targets unlinked = sound;
        unlinked[2].links = {"qx_platform"};
        QTest::newRow("an include without its link edge")
            << base << unlinked
            << QStringList{"ui/U.h:1 includes link/L.h, but qx_ui does not link qx_link"};

        // A folder library links what it includes itself, even when it gets it through
        // another library; a program may have it from anywhere among its libraries.
        Targets indirect = sound;
        indirect[2].links = {"qx_link"};
        Files alsoPlatform = base;
        alsoPlatform["ui/U.h"] += "#include \"platform/P.h\"\n";
        QTest::newRow("a folder library using a library it does not link")
            << alsoPlatform << indirect << QStringList{"qx_ui does not link qx_platform"};
        Files withProgram = alsoPlatform;
        withProgram["qxwatch.cpp"] = "#include \"ui/U.h\"\n#include \"platform/P.h\"\n";
        QTest::newRow("a program linking it through its libraries")
            << withProgram << (sound + Targets{program("qxwatch", {"qxwatch.cpp"}, {"qx_ui"})})
            << QStringList();

        // A test's own header counts as the test's: its includes need the test's links.
        Files testHeader = base;
        testHeader["tests/ui/Fixture.h"] = "#include \"ui/U.h\"\n";
        testHeader["tests/ui/tst_u.cpp"] = "#include \"tests/ui/Fixture.h\"\n";
        QTest::newRow("a test header's include without the link")
            << testHeader
            << (sound + Targets{program("tst_u", {"tests/ui/tst_u.cpp"}, {"qx_link"})})
            << QStringList{"tests/ui/Fixture.h:1 includes ui/U.h, but tst_u does not link qx_ui"};

        Files fuzzIntoTests = base;
        fuzzIntoTests["tests/support/Fake.h"] = "#pragma once\n";
        fuzzIntoTests["fuzz/fuzz_x.cpp"] = "#include \"tests/support/Fake.h\"\n";
        QTest::newRow("a fuzz target using test support")
            << fuzzIntoTests << sound
            << QStringList{"fuzz/fuzz_x.cpp:1 includes tests/support/Fake.h"};

        Files buildTree = base;
        buildTree["build/CMakeCache.txt"] = "";
        buildTree["build/ui/moc_U.cpp"] = "#include \"tests/ui/anything.h\"\n";
        buildTree["ui/X.cpp"] = "#include \"QtCore/qglobal.h\"\n#include \"tst_x.moc\"\n";
        QTest::newRow("build trees and others' headers are not ours")
            << buildTree << sound << QStringList();
    }
    void checkFindsTheFault()
    {
        QFETCH(Files, files);
        QFETCH(Targets, targets);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QString path = dir.filePath(it.key());
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(it.value());
        }
        const QStringList problems = IncludeMap::check(dir.path(), targets);
        QVERIFY2(problems.size() == expected.size(), qPrintable(problems.join(u'\n')));
        for (qsizetype i = 0; i < problems.size(); ++i)
            QVERIFY2(problems[i].contains(expected[i]), qPrintable(problems[i]));
    }

    void targetsFileGivesSourcesInTheTree()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("ui"));
        QVERIFY(QDir(dir.path()).mkpath("build"));
        QFile cache(dir.filePath("build/CMakeCache.txt"));
        QVERIFY(cache.open(QIODevice::WriteOnly));
        cache.close();
        QFile list(dir.filePath("targets.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QStringLiteral("qx_ui\tSTATIC_LIBRARY\t%1/ui\t%1/ui/A.cpp;B.h;%1/build/ui/"
                                  "anchor.cpp\tqx_link;Qt6::Widgets\n"
                                  "qx_warnings\tINTERFACE_LIBRARY\t%1\t\t\n"
                                  "tst_a\tEXECUTABLE\t%1/tests/ui\ttst_a.cpp\tqx_ui\n")
                       .arg(dir.path())
                       .toUtf8());
        list.close();
        const Targets targets = IncludeMap::readTargets(list.fileName(), dir.path());
        QCOMPARE(targets.size(), 2);
        QCOMPARE(targets[0].name, QString("qx_ui"));
        QVERIFY(targets[0].library);
        QCOMPARE(targets[0].sources, (QStringList{"ui/A.cpp", "ui/B.h"}));
        QCOMPARE(targets[0].links, (QStringList{"qx_link", "Qt6::Widgets"}));
        QCOMPARE(targets[1].name, QString("tst_a"));
        QVERIFY(!targets[1].library);
        QCOMPARE(targets[1].sources, QStringList{"tests/ui/tst_a.cpp"});
    }
};

QTEST_GUILESS_MAIN(tst_IncludeMap)
#include "tst_includemap.moc"
