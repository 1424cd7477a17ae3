#include "tests/architecture/IncludeMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace
{

const QStringList kLowLayer{"platform", "link"};

// Each production node and the nodes below it that it may include.
const QHash<QString, QStringList> &belowMap()
{
    static const QHash<QString, QStringList> map = [] {
        QHash<QString, QStringList> m;
        m["platform"] = {};
        m["platform/widgets"] = {"platform"};
        m["link"] = {"platform"};
        for (const char *n : {"comm", "record", "unit"})
            m[n] = kLowLayer;
        for (const char *n : {"tools", "comments", "history"})
            m[n] = {"platform", "platform/widgets", "link"};
        m["ui"] = {"platform", "platform/widgets", "link",   "comm", "record", "unit",
                   "tools",    "comments",         "history"};
        m["program"] = m["ui"] + QStringList{"ui"};
        return m;
    }();
    return map;
}

// Folders at the top of the tree that hold nodes (besides platform/ and tests/).
const QStringList kTopNodes{"link",    "comm", "record", "unit", "tools",    "comments",
                            "history", "ui",   "bench",  "fuzz", "packaging"};

bool isTestNode(const QString &node)
{
    return node == QLatin1String("tests") || node.startsWith(QLatin1String("tests/"));
}

// Build trees inside the source tree (build/, build-asan/ ...) and hidden folders hold no
// sources of ours.
bool skippedFolder(const QString &root, const QString &relative)
{
    return relative.startsWith(u'.') ||
           QFileInfo::exists(root + '/' + relative + "/CMakeCache.txt");
}

void collectFiles(const QString &root, const QString &relative, QStringList &out)
{
    const QDir dir(relative.isEmpty() ? root : root + '/' + relative);
    const QString prefix = relative.isEmpty() ? QString() : relative + '/';
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!skippedFolder(root, prefix + name))
            collectFiles(root, prefix + name, out);
    }
    for (const QString &name : dir.entryList({"*.cpp", "*.h"}, QDir::Files))
        out.append(prefix + name);
}

struct Include {
    int line;
    QString path;
    QString node;
};

QList<Include> includesOf(const QString &file)
{
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*"([^"]+)")re"));
    QList<Include> out;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    int line = 0;
    while (!f.atEnd()) {
        ++line;
        const QRegularExpressionMatch m = include.match(QString::fromUtf8(f.readLine()));
        if (m.hasMatch() && m.captured(1).contains(u'/'))
            out.append({line, m.captured(1), IncludeMap::nodeOf(m.captured(1))});
    }
    return out;
}

// Whether an include names a file of ours: a node of the map, or a folder of the tree the map
// does not know. Anything else ("QtCore/qglobal.h" in quotes, say) is someone else's.
bool ours(const QString &root, const Include &inc)
{
    if (inc.node.isEmpty())
        return false;
    if (!inc.node.startsWith(u'?'))
        return true;
    return QFileInfo(root + '/' + inc.node.mid(1)).isDir();
}

QStringList closureOf(const IncludeMap::Target &target,
                      const QHash<QString, const IncludeMap::Target *> &byName)
{
    QStringList seen;
    QStringList todo = target.links;
    while (!todo.isEmpty()) {
        const QString name = todo.takeFirst();
        if (seen.contains(name))
            continue;
        seen.append(name);
        if (const IncludeMap::Target *t = byName.value(name))
            todo += t->links;
    }
    return seen;
}

} // namespace

QString IncludeMap::nodeOf(const QString &path)
{
    const QStringList parts = QDir::cleanPath(path).split(u'/');
    if (parts.size() == 1)
        return path == QLatin1String("qxwatch.cpp") ? QStringLiteral("program") : QString();
    const QString &top = parts.first();
    if (top == QLatin1String("platform"))
        return parts.size() > 2 && parts[1] == QLatin1String("widgets")
                   ? QStringLiteral("platform/widgets")
                   : top;
    if (top == QLatin1String("tests"))
        return parts.size() > 2 ? top + '/' + parts[1] : top;
    if (kTopNodes.contains(top))
        return top;
    return u'?' + top;
}

bool IncludeMap::allows(const QString &from, const QString &to)
{
    if (from.startsWith(u'?') || to.startsWith(u'?') || to == QLatin1String("program"))
        return false;
    if (from == to)
        return true;
    return allowed(from).contains(to);
}

QStringList IncludeMap::allowed(const QString &from)
{
    const QHash<QString, QStringList> &below = belowMap();
    if (below.contains(from))
        return below.value(from);
    const QStringList production = below.value("program");
    if (from == QLatin1String("tests/support"))
        return production;
    if (isTestNode(from))
        return production + QStringList{"tests/support"};
    if (from == QLatin1String("bench") || from == QLatin1String("fuzz"))
        return production;
    return {};
}

QString IncludeMap::libraryOf(const QString &node)
{
    if (node == QLatin1String("tests/support"))
        return QStringLiteral("qx_testsupport");
    if (!belowMap().contains(node) || node == QLatin1String("program"))
        return {};
    return QStringLiteral("qx_") + QString(node).replace(u'/', u'_');
}

QList<IncludeMap::Target> IncludeMap::readTargets(const QString &file, const QString &root)
{
    QList<Target> targets;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return targets;
    const QDir rootDir(root);
    while (!f.atEnd()) {
        const QStringList fields = QString::fromUtf8(f.readLine()).trimmed().split(u'\t');
        if (fields.size() < 5 || fields[0].startsWith(u'#'))
            continue;
        Target t;
        t.name = fields[0];
        if (fields[1] == QLatin1String("STATIC_LIBRARY"))
            t.library = true;
        else if (fields[1] != QLatin1String("EXECUTABLE"))
            continue;
        const QDir sourceDir(fields[2]);
        for (const QString &source : fields[3].split(u';', Qt::SkipEmptyParts)) {
            const QString relative =
                rootDir.relativeFilePath(QDir::cleanPath(sourceDir.absoluteFilePath(source)));
            const QString top = relative.section(u'/', 0, 0);
            if (relative.startsWith(QLatin1String("..")) || skippedFolder(root, top))
                continue;
            t.sources.append(relative);
        }
        t.links = fields[4].split(u';', Qt::SkipEmptyParts);
        targets.append(t);
    }
    return targets;
}

QStringList IncludeMap::check(const QString &root, const QList<Target> &targets, Counts *counts)
{
    QStringList problems;
    QStringList files;
    collectFiles(root, QString(), files);

    QHash<QString, QList<Include>> includes;
    QSet<QString> unknownFolders;
    for (const QString &file : std::as_const(files)) {
        const QString node = nodeOf(file);
        if (node.isEmpty())
            continue;
        if (node.startsWith(u'?')) {
            if (!unknownFolders.contains(node))
                problems.append(QStringLiteral("%1/ is not in the include map").arg(node.mid(1)));
            unknownFolders.insert(node);
            continue;
        }
        if (counts)
            ++counts->files;
        for (const Include &inc : includesOf(root + '/' + file)) {
            if (!ours(root, inc))
                continue;
            if (counts)
                ++counts->includes;
            includes[file].append(inc);
            if (!allows(node, inc.node))
                problems.append(QStringLiteral("%1:%2 includes %3, but %4 may include only %5")
                                    .arg(file)
                                    .arg(inc.line)
                                    .arg(inc.path, node, allowed(node).join(QStringLiteral(", "))));
        }
    }

    QHash<QString, const Target *> byName;
    for (const Target &t : targets)
        byName.insert(t.name, &t);
    for (const Target &t : targets) {
        QSet<QString> ownNodes;
        for (const QString &source : t.sources)
            ownNodes.insert(nodeOf(source));
        const QStringList reachable = t.library ? t.links : closureOf(t, byName);
        // The target's sources and the headers of its own folders they include.
        QStringList todo = t.sources;
        QSet<QString> seen;
        QSet<QString> reported;
        while (!todo.isEmpty()) {
            const QString file = todo.takeFirst();
            if (seen.contains(file))
                continue;
            seen.insert(file);
            for (const Include &inc : includes.value(file)) {
                if (ownNodes.contains(inc.node)) {
                    todo.append(inc.path);
                    continue;
                }
                const QString library = libraryOf(inc.node);
                if (library.isEmpty() || reachable.contains(library) || reported.contains(library))
                    continue;
                reported.insert(library);
                problems.append(QStringLiteral("%1:%2 includes %3, but %4 does not link %5%6")
                                    .arg(file)
                                    .arg(inc.line)
                                    .arg(inc.path, t.name, library,
                                         t.library
                                             ? QStringLiteral(" (a folder library links what it "
                                                              "includes itself)")
                                             : QString()));
            }
        }
    }
    return problems;
}
