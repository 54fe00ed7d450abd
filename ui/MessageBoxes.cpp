#include "MessageBoxes.h"

#include "AppNames.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon ToQtIcon(IMessageBoxes::Icon icon) {
    switch (icon) {
    case IMessageBoxes::Icon::Error:
        return QMessageBox::Critical;
    case IMessageBoxes::Icon::Question:
        return QMessageBox::Question;
    case IMessageBoxes::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class CQtMessageBoxes : public IMessageBoxes {
public:
    Answer Show(QWidget* parent, const std::string& text, Icon icon, Buttons buttons,
                const std::string& detail) override {
        const QMessageBox::StandardButtons standard =
            buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
        QMessageBox box(ToQtIcon(icon), QString::fromLatin1(app::kAppName),
                        QString::fromStdString(text), standard, parent);
        box.setTextFormat(Qt::PlainText);
        if (!detail.empty())
            box.setDetailedText(QString::fromStdString(detail));
        switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Ok;
        }
    }
};

} // namespace

IMessageBoxes& StandardMessageBoxes() {
    static CQtMessageBoxes boxes;
    return boxes;
}
