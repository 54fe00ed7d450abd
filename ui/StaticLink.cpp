#include "StaticLink.h"

#include "Controls.h"
#include "StringTable.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QUrl>

const QColor CStaticLink::s_colorUnvisited = QColor(0, 0, 255);
const QColor CStaticLink::s_colorVisited = QColor(128, 0, 128);

namespace {

bool OpenWithDesktop(const std::string& target) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
}

} // namespace

CStaticLink::CStaticLink(const std::string& link, QWidget* parent)
    : QLabel(parent), m_link(link), m_color(s_colorUnvisited), m_opener(OpenWithDesktop),
      m_beeper([] { QApplication::beep(); }) {
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    ApplyLook();
}

bool CStaticLink::Navigate() {
    if (!m_link.empty() && Open(m_link)) {
        return true;
    }
    m_link = LoadStringResource(ControlId(this));
    if (!m_link.empty() && Open(m_link)) {
        return true;
    }
    m_link = text().toStdString();
    if (!m_link.empty() && Open(m_link)) {
        return true;
    }
    m_beeper();
    return false;
}

bool CStaticLink::Open(const std::string& target) {
    if (!m_opener(target)) {
        return false;
    }
    m_color = s_colorVisited;
    ApplyLook();
    update();
    return true;
}

bool CStaticLink::IsTextLabel() const {
    return pixmap().isNull();
}

// A text label is underlined in the link colour; a picture keeps its look.
void CStaticLink::ApplyLook() {
    m_bApplyingLook = true;
    QFont linkFont = font();
    linkFont.setUnderline(IsTextLabel());
    setFont(linkFont);
    QPalette linkPalette = palette();
    if (IsTextLabel()) {
        linkPalette.setColor(QPalette::WindowText, m_color);
    } else {
        linkPalette.setColor(QPalette::WindowText,
                             QApplication::palette(this).color(QPalette::WindowText));
    }
    setPalette(linkPalette);
    m_bApplyingLook = false;
}

void CStaticLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // A new style or palette of the window must not take the link colour away.
    if (!m_bApplyingLook &&
        (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)) {
        ApplyLook();
    }
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Navigate();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        Navigate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CStaticLink::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void CStaticLink::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

// One pixel around the text of a left-aligned label, else the whole control.
QRect CStaticLink::FocusRect() const {
    if (IsTextLabel() && (alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft) {
        const QRect textRect = fontMetrics().boundingRect(contentsRect(), int(alignment()), text());
        return textRect.adjusted(-1, -1, 1, 1).intersected(rect());
    }
    return rect();
}

void CStaticLink::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = FocusRect();
    // Some styles draw the rectangle only after keyboard navigation; the label
    // shows it whenever it has the focus.
    option.state |= QStyle::State_KeyboardFocusChange;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}
