#include "PathEdit.h"

#include "DroppedPaths.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>

#include <memory>

namespace {

// A field takes one local file or folder. Anything else is left to the
// window (several files) or refused; text that is not an address is typed in
// as the line edit does it.
enum class Drag { Path, NotAPath, Text };

Drag Classify(const QMimeData& data) {
    if (DroppedLocalPaths(data).size() == 1) {
        return Drag::Path;
    }
    const bool carriesAddresses =
        data.hasUrls() || data.text().trimmed().contains(QLatin1String("://"));
    return carriesAddresses || !data.hasText() ? Drag::NotAPath : Drag::Text;
}

} // namespace

void CPathEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (!Answer(event)) {
        QLineEdit::dragEnterEvent(event);
    }
}

void CPathEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (!Answer(event)) {
        QLineEdit::dragMoveEvent(event);
    }
}

void CPathEdit::dropEvent(QDropEvent* event) {
    if (Classify(*event->mimeData()) == Drag::Path) {
        setText(QString::fromStdString(DroppedLocalPaths(*event->mimeData()).front()));
        setFocus(Qt::OtherFocusReason);
    }
    if (!Answer(event)) {
        QLineEdit::dropEvent(event);
    }
}

bool CPathEdit::Answer(QDropEvent* event) {
    switch (Classify(*event->mimeData())) {
    case Drag::Path:
        event->acceptProposedAction();
        return true;
    case Drag::NotAPath:
        event->ignore();
        return true;
    case Drag::Text:
        break;
    }
    return false;
}

void CPathEdit::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!m_contextActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_contextActions);
    }
    menu->exec(event->globalPos());
}
