#pragma once
// A label that is a hyperlink: a hand cursor over it, a text label drawn
// underlined in blue (purple once it has opened its target), and a click or
// the space key opens the target with the desktop's default handler.

#include <QColor>
#include <QLabel>

#include <functional>
#include <string>

class CStaticLink : public QLabel {
    Q_OBJECT

public:
    // Opens a target; true when the desktop took it.
    using Opener = std::function<bool(const std::string& target)>;

    explicit CStaticLink(const std::string& link = std::string(), QWidget* parent = nullptr);

    void SetLink(const std::string& link) { m_link = link; }
    const std::string& GetLink() const { return m_link; }
    QColor GetColor() const { return m_color; }

    // Opens the link, the address kept for the control's id, or the label's
    // own text, the first of them that opens; beeps when none does.
    bool Navigate();

    // Replace how targets are opened and how the failure is sounded.
    void SetOpener(Opener opener) { m_opener = std::move(opener); }
    void SetBeeper(std::function<void()> beeper) { m_beeper = std::move(beeper); }

    static const QColor s_colorUnvisited;
    static const QColor s_colorVisited;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool Open(const std::string& target);
    bool IsTextLabel() const;
    void ApplyLook();
    QRect FocusRect() const;

    std::string m_link;
    QColor m_color;
    Opener m_opener;
    std::function<void()> m_beeper;
    bool m_bApplyingLook = false;
};
