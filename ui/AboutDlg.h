#pragma once
// The About window: the program's icon, its version stamp and a notice with
// the current year.

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    void OnInitDialog();

    QLabel* m_versionLabel;
    QLabel* m_noticeLabel;
};
