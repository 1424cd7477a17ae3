#include "ui/TAboutDlg.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TAboutDlg::TAboutDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName("AboutDlg");
    setWindowTitle(tr("このプログラムについて"));
    setModal(false);
    setFixedSize(313, 148);

    auto *bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setGeometry(8, 8, 297, 97);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);

    auto *name = new QLabel(tr("QXモニター　WindowsPC版(NoSupport)"), this);
    name->setObjectName("ProductName");
    name->move(32, 24);
    name->adjustSize();
    auto *version = new QLabel(tr("バージョン2.1.1  2008/06/23"), this);
    version->setObjectName("Version");
    version->move(32, 48);
    version->adjustSize();

    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("OKBtn");
    ok->setGeometry(119, 116, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TAboutDlg::OKBtnClick);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}
