#pragma once
// A one-line label that shows a text too long for it with an ellipsis in the
// middle, so both the start and the end of a long file name stay readable.
// text() keeps the whole text.

#include <QLabel>

class CElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
