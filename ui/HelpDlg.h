#pragma once
// The help window: the program's instructions and limitations in a
// read-only, wrapping, scrolling box.

#include <QDialog>

class QPlainTextEdit;

class CHelpDlg : public QDialog {
    Q_OBJECT

public:
    explicit CHelpDlg(QWidget* parent = nullptr);

private:
    void OnInitDialog();

    QPlainTextEdit* m_editHelp;
};
