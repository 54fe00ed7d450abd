#include "AboutDlg.h"

#include "ControlIds.h"
#include "Controls.h"
#include "Resources.h"
#include "UiTexts.h"
#include "VersionStamp.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <ctime>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_versionLabel(new QLabel(this)), m_noticeLabel(new QLabel(this)) {
    setWindowTitle(QString::fromLatin1(txt::kAboutTitle));

    auto* iconLabel = new QLabel(this);
    SetControl(iconLabel, ids::IDC_STATIC, QStringLiteral("iconLabel"));
    const int iconSize = DluX(this, 20);
    iconLabel->setPixmap(AppIcon().pixmap(QSize(iconSize, iconSize), devicePixelRatioF()));
    SetControl(m_versionLabel, ids::IDC_VERSION, QStringLiteral("versionLabel"));
    m_versionLabel->setTextFormat(Qt::PlainText);
    m_versionLabel->setMinimumWidth(DluX(this, 188));
    SetControl(m_noticeLabel, ids::IDC_NOTICE, QStringLiteral("noticeLabel"));
    m_noticeLabel->setTextFormat(Qt::PlainText);

    auto* okButton = new QPushButton(QString::fromLatin1(txt::kOk), this);
    SetControl(okButton, ids::IDOK, QStringLiteral("okButton"));
    okButton->setDefault(true);
    okButton->setMinimumWidth(DluX(this, 50));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(DluX(this, 9));
    layout->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(m_versionLabel, 0, 1, 1, 2);
    layout->addWidget(m_noticeLabel, 1, 1);
    layout->addWidget(okButton, 1, 2, Qt::AlignRight | Qt::AlignBottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    OnInitDialog();
}

void CAboutDlg::OnInitDialog() {
    m_versionLabel->setText(QString::fromLatin1(txt::kVersionPrefix) +
                            QString::fromStdString(GetVersionStamp()));
    m_noticeLabel->setText(
        QString::fromStdString(FormatLocalTime(std::time(nullptr), txt::kNoticeFormat)));
}
