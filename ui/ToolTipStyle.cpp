#include "ToolTipStyle.h"

int CToolTipStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) {
        return 400;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
