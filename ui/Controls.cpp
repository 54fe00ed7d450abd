#include "Controls.h"

#include <QFontMetrics>
#include <QVariant>
#include <QWidget>

namespace {

const char* const kIdProperty = "controlId";

// The average width of the Latin letters, as the dialog manager measures it.
int AverageCharWidth(const QWidget* widget) {
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = QFontMetrics(widget->font()).horizontalAdvance(letters);
    return (total / 26 + 1) / 2;
}

} // namespace

void SetControl(QWidget* widget, int id, const QString& name) {
    widget->setProperty(kIdProperty, id);
    widget->setObjectName(name);
}

int ControlId(const QWidget* widget) {
    return widget->property(kIdProperty).toInt();
}

QWidget* FindControl(const QWidget* window, int id) {
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        // Dialogs opened over this window are its children too; skip their controls.
        if (child->window() != window) {
            continue;
        }
        if (child->property(kIdProperty).isValid() && ControlId(child) == id) {
            return child;
        }
    }
    return nullptr;
}

int DluX(const QWidget* widget, int units) {
    return (units * AverageCharWidth(widget) + 2) / 4;
}

int DluY(const QWidget* widget, int units) {
    return (units * QFontMetrics(widget->font()).height() + 4) / 8;
}
