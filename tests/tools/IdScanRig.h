#pragma once

// The ID scan on its page, with a monitor unit behind a fake port that walks its ID list as
// the keys come.

#include "link/Frames.h"
#include "link/KeyCodes.h"
#include "link/UnitLink.h"
#include "tests/support/FakeDisplayLines.h"
#include "tests/support/FakePort.h"
#include "tools/IdScan.h"

#include <QLineEdit>
#include <QMap>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <functional>

struct RegisteredId {
    QString kind; // "ID" or "EID"
    QString id;   // three characters as the unit shows them
};

// A monitor unit as far as its ID list goes: it answers each key frame a moment later (from the
// event loop, as display frames would arrive) by rewriting the texts of its cursor line.
class FakeUnit
{
public:
    FakeUnit(FakePort &port, FakeDisplayLines &lines, int line) : m_lines(lines), m_line(line)
    {
        port.onSend = [this, &port](const QByteArray &frame) {
            const QByteArray code = Frames::parseKeyFrame(frame).value_or("??");
            keys.append(QString::fromLatin1(code));
            addrAtKey.append(text("Addr"));
            if (keys.size() == closeAtKey) {
                port.open = false;
                return;
            }
            if (keys.size() >= silentFromKey && silentFromKey > 0)
                return;
            if (onKey)
                onKey(code);
            QTimer::singleShot(0, &m_lines, [this, code] { answer(code); });
        };
    }

    // The unit showing something other than its ID list.
    void leaveList()
    {
        m_inList = false;
        show(QStringLiteral("IN"), QStringLiteral("000"), QStringLiteral("0000"));
    }

    // The unit inside its ID list at some entry.
    void enterListAt(int index)
    {
        m_inList = true;
        m_index = index;
        showEntry();
    }

    void show(const QString &kind, const QString &addr, const QString &data)
    {
        m_lines.show(m_line, kind, addr, data);
    }

    QString text(const char *prefix) const
    {
        const QLatin1String field(prefix);
        return field == QLatin1String("IO")     ? m_lines.kind(m_line)
               : field == QLatin1String("Addr") ? m_lines.addr(m_line)
                                                : m_lines.data(m_line);
    }

    QList<RegisteredId> ids;
    QStringList keys;
    QStringList addrAtKey; // the address text shown when each key came
    int silentFromKey = 0; // 1-based; 0 answers every key
    int closeAtKey = 0;    // 1-based; closes the port instead of answering
    std::function<void(const QByteArray &)> onKey;

private:
    void showEntry()
    {
        if (m_index < ids.size())
            show(ids[m_index].kind, QStringLiteral("%1").arg(m_index, 3, 10, QLatin1Char('0')),
                 QLatin1Char('0') + ids[m_index].id);
        else
            show(QStringLiteral("ID"), QStringLiteral("   "), QStringLiteral("****"));
    }

    void answer(const QByteArray &code)
    {
        if (code == KeyCodes::Id) {
            if (!m_inList) {
                enterListAt(0);
                return;
            }
            m_typed.clear();
            show(QStringLiteral("ID"), QStringLiteral("   "), QStringLiteral("    "));
        } else if (code == KeyCodes::digit(0)) {
            m_typed += QLatin1Char('0');
            show(QStringLiteral("ID"), m_typed.leftJustified(3, QLatin1Char(' ')),
                 QStringLiteral("    "));
        } else if (code == KeyCodes::Ent) {
            m_index = m_typed.toInt();
            m_typed.clear();
            showEntry();
        } else if (code == KeyCodes::Left) {
            ++m_index;
            showEntry();
        }
    }

    FakeDisplayLines &m_lines;
    int m_line;
    bool m_inList = false;
    int m_index = 0;
    QString m_typed;
};

// What the scan works with: the unit behind a port, the display lines, the ID page and a status
// bar.
struct Rig {
    explicit Rig(int cursorLine = 2) : curLine(cursorLine)
    {
        lines.curLine = curLine;
        link.setPort(&port);
        page = new QWidget(&client);
        scan = new IdScan(link, lines, page, &statusBar);
        unit.leaveList();
    }

    QTableWidget *grid() const { return client.findChild<QTableWidget *>("IDStringGrid"); }
    QString counter(const char *name) const
    {
        return client.findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 4; ++c) {
            const QTableWidgetItem *item = grid()->item(r - 1, c);
            cells.append(item ? item->text() : QString());
        }
        return cells;
    }
    void scanIds(const QList<RegisteredId> &ids)
    {
        unit.ids = ids;
        unit.leaveList();
        scan->btnIDScanClick();
    }

    QWidget client;
    QStatusBar statusBar;
    FakePort port;
    UnitLink link;
    FakeDisplayLines lines;
    int curLine;
    QWidget *page = nullptr;
    IdScan *scan = nullptr;
    FakeUnit unit{port, lines, curLine};
};

inline RegisteredId ok(const char *id)
{
    return {QStringLiteral("ID"), QLatin1String(id)};
}
inline RegisteredId err(const char *id)
{
    return {QStringLiteral("EID"), QLatin1String(id)};
}

using Rows = QList<QStringList>;
using Counters = QMap<QString, QString>;
Q_DECLARE_METATYPE(QList<RegisteredId>)
