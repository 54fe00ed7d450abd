#pragma once
// A path field of the main window: a file or folder dragged onto it from a
// file manager becomes its text as a local path (not as a "file://" address),
// and its own context menu ends with the window's extra entries (About).

#include <QLineEdit>
#include <QList>

class QAction;

class CPathEdit : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    // Appended, after a separator, to the field's context menu.
    void AddContextAction(QAction* action) { m_contextActions.append(action); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Accepts a drag of one local path, ignores one that is no path for this
    // field; false for plain text, which the line edit handles as usual.
    bool Answer(QDropEvent* event);

    QList<QAction*> m_contextActions;
};
