#include "HelpDlg.h"

#include "ControlIds.h"
#include "Controls.h"
#include "HelpText.h"
#include "UiTexts.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CHelpDlg::CHelpDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_editHelp(new QPlainTextEdit(this)) {
    setWindowTitle(QString::fromLatin1(txt::kHelpTitle));
    SetControl(m_editHelp, ids::IDC_HELP_TEXT, QStringLiteral("editHelp"));
    m_editHelp->setReadOnly(true);
    m_editHelp->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab stops every eight average characters, so the notes line up.
    m_editHelp->setTabStopDistance(DluX(m_editHelp, 32));
    m_editHelp->setFixedSize(DluX(this, 363), DluY(this, 157));

    auto* okButton = new QPushButton(QString::fromLatin1(txt::kOk), this);
    SetControl(okButton, ids::IDOK, QStringLiteral("okButton"));
    okButton->setDefault(true);
    okButton->setMinimumWidth(DluX(this, 50));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editHelp);
    layout->addSpacing(DluY(this, 6));
    layout->addWidget(okButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(okButton, m_editHelp);
    okButton->setFocus();

    OnInitDialog();
}

void CHelpDlg::OnInitDialog() {
    // The box breaks lines at "\n"; a carriage return would show as a mark.
    QString text = QString::fromStdString(BuildHelpText());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_editHelp->setPlainText(text);
}
