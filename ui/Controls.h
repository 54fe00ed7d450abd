#pragma once
// Small helpers shared by the windows: control ids on widgets, and sizes in
// dialog units, so the windows keep their proportions in whatever font and
// scale the desktop uses.

#include <QString>

class QWidget;

// Gives the widget its control id and its object name (the member name
// without "m_").
void SetControl(QWidget* widget, int id, const QString& name);
// The control id given by SetControl, or 0.
int ControlId(const QWidget* widget);
// The child of the window that carries the id, or null.
QWidget* FindControl(const QWidget* window, int id);

// Dialog units of the widget's font: a horizontal unit is a quarter of the
// average character width, a vertical one an eighth of the line height.
int DluX(const QWidget* widget, int units);
int DluY(const QWidget* widget, int units);
