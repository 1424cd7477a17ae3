#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content so that a crash, a full disk or a size limit never leaves it
// half-written: the bytes go to a temporary file beside it (every byte checked, synced, the old
// file's permissions kept), which is then renamed over it. Through a symbolic link, the file it
// points to is replaced. Returns false, leaving the old file whole, when any step fails.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
