#pragma once

#include "link/DisplayLineTexts.h"

#include <array>

// The display lines without a window, for the areas that only read them: each line's texts are
// set with show(), which signals lineChanged like the window's lines do.
class FakeDisplayLines : public DisplayLineTexts
{
public:
    QString kind(int line) const override { return valid(line) ? m_lines[line].kind : QString(); }
    QString addr(int line) const override { return valid(line) ? m_lines[line].addr : QString(); }
    QString data(int line) const override { return valid(line) ? m_lines[line].data : QString(); }
    int CurLine() const override { return curLine; }

    void show(int line, const QString &kind, const QString &addr, const QString &data)
    {
        if (!valid(line))
            return;
        Line &l = m_lines[line];
        const bool changed = l.kind != kind || l.addr != addr || l.data != data;
        l = {kind, addr, data};
        if (changed)
            emit lineChanged(line);
    }
    void setKind(int line, const QString &kind) { show(line, kind, addr(line), data(line)); }
    void setData(int line, const QString &data) { show(line, kind(line), addr(line), data); }
    // A good frame was taken (whether or not it changed a line).
    void takeFrame() { emit frameTaken(); }

    int curLine = 0;

private:
    struct Line {
        QString kind = QStringLiteral("--");
        QString addr = QStringLiteral("000");
        QString data = QStringLiteral("0000");
    };
    static bool valid(int line) { return line >= 0 && line < kLines; }
    std::array<Line, kLines> m_lines{};
};
