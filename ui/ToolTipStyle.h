#pragma once
// The desktop's style with the main window's tooltip timing: a tip shows
// after 400 ms.

#include <QProxyStyle>

class CToolTipStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
