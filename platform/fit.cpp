#include "platform/fit.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QTableView>
#include <algorithm>
#include <cmath>

namespace layout {

QLabel* caption(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return l;
}

int textWidth(const QWidget* w, const QString& text, int extra) {
    return w->fontMetrics().horizontalAdvance(text) + extra;
}

void fitMinimumWidth(QWidget* w, const QStringList& texts, int extra) {
    int need = w->minimumWidth();
    for (const QString& t : texts)
        need = std::max(need, textWidth(w, t, extra));
    w->setMinimumWidth(need);
}

namespace {
// Room a header cell of the calendar needs beside its text.
constexpr int kDayCellPadding = 10;

int widestDayName(const QCalendarWidget* c, QLocale::FormatType format, const QFont& font) {
    const QFontMetrics fm(font);
    int widest = 0;
    for (int d = 1; d <= 7; ++d)
        widest = std::max(widest, fm.horizontalAdvance(c->locale().dayName(d, format)));
    return widest + kDayCellPadding;
}

class DayNameFitter : public QObject {
public:
    explicit DayNameFitter(QCalendarWidget* c)
        : QObject(c), m_calendar(c), m_designedWidth(c->minimumWidth()) {}
    void apply() {
        auto* view = m_calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
        if (!view) return;
        // The header row uses the calendar's bold-less font, in the view's font.
        const QFont font = view->font();
        const int shortNeed = widestDayName(m_calendar, QLocale::ShortFormat, font);
        const int longNeed = widestDayName(m_calendar, QLocale::LongFormat, font);
        const int frame = 2 * view->frameWidth() + 2 * m_calendar->contentsMargins().left();
        const int minimum = 7 * shortNeed + frame;
        const int width = std::max(m_designedWidth, minimum);
        if (m_calendar->minimumWidth() != width || m_calendar->maximumWidth() != width)
            m_calendar->setFixedWidth(width);
        const int column = view->viewport()->width() / 7;
        const auto format =
            column >= longNeed ? QCalendarWidget::LongDayNames : QCalendarWidget::ShortDayNames;
        if (m_calendar->horizontalHeaderFormat() != format) m_calendar->setHorizontalHeaderFormat(format);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize || e->type() == QEvent::FontChange || e->type() == QEvent::Show ||
            e->type() == QEvent::LocaleChange)
            apply();
        return QObject::eventFilter(o, e);
    }

private:
    QCalendarWidget* m_calendar;
    int m_designedWidth; // the width the calendar has where its day names fit
};
} // namespace

void fitDayNames(QCalendarWidget* calendar) {
    auto* fitter = new DayNameFitter(calendar);
    calendar->installEventFilter(fitter);
    fitter->apply();
}

QColor readableOn(const QColor& background) {
    return contrast(background, Qt::black) >= contrast(background, Qt::white) ? QColor(Qt::black)
                                                                              : QColor(Qt::white);
}

void fixColours(QWidget* w, const QColor& background, const QColor& text) {
    QPalette p = w->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Base, background);
        p.setColor(g, QPalette::Window, background);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::WindowText, text);
    }
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

namespace {
class ButtonFace : public QObject {
public:
    explicit ButtonFace(QWidget* w) : QObject(w), m_w(w) { apply(); }
    void apply() {
        const QPalette app = QApplication::palette(m_w);
        QPalette p = m_w->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, QPalette::Base, app.color(g, QPalette::Button));
            p.setColor(g, QPalette::Text, app.color(g, QPalette::ButtonText));
        }
        m_w->setPalette(p);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == m_w && e->type() == QEvent::ApplicationPaletteChange) apply();
        return QObject::eventFilter(o, e);
    }

private:
    QWidget* m_w;
};
} // namespace

void buttonFaceColours(QWidget* w) {
    w->installEventFilter(new ButtonFace(w));
}

void fixColours(QWidget* w, const QColor& background) {
    fixColours(w, background, readableOn(background));
}

namespace {
double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void chainFocus(std::initializer_list<QWidget*> order) {
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (!w) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void nameControls(QWidget* root) {
    for (QLabel* l : root->findChildren<QLabel*>())
        if (QWidget* buddy = l->buddy(); buddy && buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(l->text().trimmed());
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->accessibleName().isEmpty() || w->focusPolicy() == Qt::NoFocus) continue;
        QString name;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) name = b->text();
        if (name.isEmpty()) name = w->toolTip().section(QLatin1Char('\n'), 0, 0);
        if (name.isEmpty()) name = w->objectName();
        w->setAccessibleName(name.remove(QLatin1Char('&')).trimmed());
    }
}

} // namespace layout

TElidingLabel::TElidingLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QString TElidingLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

bool TElidingLabel::isElided() const {
    return shownText() != text();
}

QSize TElidingLabel::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(text()), fontMetrics().height());
}

QSize TElidingLabel::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4, fontMetrics().height());
}

void TElidingLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QString shown = shownText();
    // The whole text as tooltip only where it is not all there.
    const QString tip = shown == text() ? QString() : text();
    if (toolTip() != tip) setToolTip(tip);
    style()->drawItemText(&p, contentsRect(), int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
