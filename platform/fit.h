// Helpers for building pages with layouts: a control under its designed name, a
// caption label, a label that elides visibly, the calendar's day names, and the
// colours a fixed background needs for its text.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <initializer_list>

class QCalendarWidget;

namespace layout {

// The control under its designed name (tests and accessibility tools find it by that name).
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A caption label: as wide as its text needs, never narrower.
QLabel* caption(QWidget* parent, const char* name, const QString& text);

// A room that fits `text` in the widget's font, with `extra` pixels for frames and margins.
int textWidth(const QWidget* w, const QString& text, int extra = 0);

// Sets the widget's minimum width so that each of `texts` fits in it beside `extra` pixels.
void fitMinimumWidth(QWidget* w, const QStringList& texts, int extra);

// The calendar keeps its present minimum width, or more where its day names
// need it; it shows the whole day names ("Wednesday") where its columns have
// room for them, the short ones elsewhere.
void fitDayNames(QCalendarWidget* calendar);

// The text colour that reads best on `background`: black, or white on dark ones.
QColor readableOn(const QColor& background);
// Fixes a widget's background and its text colour together (a fixed background
// never meets the text colour of a dark palette). Without `text`, the readable one.
void fixColours(QWidget* w, const QColor& background);
void fixColours(QWidget* w, const QColor& background, const QColor& text);

// A read-only box drawn like a button face, in the application palette's button
// colours, now and after every change of that palette.
void buttonFaceColours(QWidget* w);

// The contrast ratio of two colours (1 to 21), as accessibility guidelines measure it.
double contrast(const QColor& a, const QColor& b);

// Tab goes from each control to the next in this order (the order a reader's eye takes).
void chainFocus(std::initializer_list<QWidget*> order);

// Sets an accessible name on every control below `root` that has none: its
// label's text (a label whose buddy it is), else its own text, tooltip or name.
void nameControls(QWidget* root);

} // namespace layout

// A label that shows what fits of its text, elided at the end, and the whole
// text as its tooltip when it had to elide. text() stays the whole text.
class TElidingLabel : public QLabel {
public:
    explicit TElidingLabel(QWidget* parent = nullptr);
    bool isElided() const;
    QString shownText() const;
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
};
