#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What may include what in this project, and the check of a source tree against it.
//
// Every source file belongs to a node named after its folder: platform, platform/widgets, link,
// comm, record, unit, tools, comments, history, ui, program (qxwatch.cpp), tests/support, each
// other folder of tests/ on its own, bench, fuzz. Only downward edges are allowed:
//
//   platform <- platform/widgets
//   platform <- link <- {comm, record, unit} <- ui <- program
//   {platform, platform/widgets, link} <- {tools, comments, history} <- ui
//   everything above <- tests/support, tests/..., bench, fuzz
//
// Nothing includes a test folder or fuzz/, except a test folder itself and tests/support from
// the tests. Every include edge must also be a link edge of the build: a folder library links
// the library of each folder it includes directly; a program (qxwatch, qxunit, a test, a
// benchmark, a fuzz target) has it among everything it links.
class IncludeMap
{
public:
    // A target of the build, as CMake lists it (see the top CMakeLists.txt).
    struct Target {
        QString name;
        bool library = false;
        QStringList sources; // relative to the source root
        QStringList links;   // the target's own link libraries
    };

    // The node of a file, by its path relative to the source root; empty for a file outside
    // every node (a top-level file other than qxwatch.cpp), "?" + folder for a folder the map
    // does not know.
    static QString nodeOf(const QString &path);
    // Whether a file of node from may include a file of node to.
    static bool allows(const QString &from, const QString &to);
    // The nodes that from may include, for messages.
    static QStringList allowed(const QString &from);
    // The library a node's files are built into; empty for nodes no other node may include.
    static QString libraryOf(const QString &node);

    // Reads the targets file the build writes: one "name<TAB>type<TAB>source dir<TAB>sources
    // <TAB>links" line per target, lists separated by ";". Sources outside root are dropped.
    static QList<Target> readTargets(const QString &file, const QString &root);

    // How much of the tree a check read.
    struct Counts {
        int files = 0;
        int includes = 0; // of files of ours
    };

    // Every violation in the tree at root, one message each: a forbidden include, a folder the
    // map does not know, a missing link edge.
    static QStringList check(const QString &root, const QList<Target> &targets,
                             Counts *counts = nullptr);
};
