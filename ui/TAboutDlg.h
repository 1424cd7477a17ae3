#pragma once

#include <QDialog>

// The About box: created once, hidden; shown without blocking the main window.
class TAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget *parent = nullptr);

    void OKBtnClick() { hide(); }
};
