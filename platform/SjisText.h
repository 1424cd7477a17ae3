#pragma once

#include <QByteArray>
#include <QString>

// Shift-JIS (code page 932) at the edges of the program: files and frames are bytes in CP932,
// everything inside is QString.
QString fromSjis(const QByteArray &bytes);
QByteArray toSjis(const QString &text);
