#include "app/pagecontrol.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <algorithm>

TTabSheet::TTabSheet(const QString& name, const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {
    setObjectName(name);
}

void TTabSheet::setCaption(const QString& c) {
    if (c == m_caption) return;
    m_caption = c;
    emit captionChanged();
}

class TMultiRowTabBar : public QWidget {
public:
    explicit TMultiRowTabBar(TPageControl* pc) : QWidget(pc), m_pc(pc) {
        setFocusPolicy(Qt::StrongFocus);
        setObjectName(QStringLiteral("PageControl1TabBar"));
    }

    // Lays the tabs out in rows for the given width; returns the height needed.
    int layoutTabs(int width) {
        const QFontMetrics fm(font());
        m_rects.clear();
        m_rowOf.clear();
        const int h = fm.height() + 8;
        int x = 2, row = 0;
        for (TTabSheet* p : m_pc->m_pages) {
            const int w = std::max(24, fm.horizontalAdvance(p->Caption()) + 18);
            if (x + w > width - 2 && x > 2) {
                ++row;
                x = 2;
            }
            m_rects.push_back(QRect(x, 0, w, h));
            m_rowOf.push_back(row);
            x += w;
        }
        m_rows = row + 1;
        // The row of the active tab sits next to the page, as on a real multi-line tab control.
        const int active = m_pc->ActivePageIndex();
        const int activeRow =
            active >= 0 && active < static_cast<int>(m_rowOf.size()) ? m_rowOf[active] : m_rows - 1;
        for (std::size_t i = 0; i < m_rects.size(); ++i) {
            int visualRow = m_rowOf[i];
            if (visualRow == activeRow)
                visualRow = m_rows - 1;
            else if (visualRow > activeRow)
                visualRow -= 1;
            m_rects[i].moveTop(visualRow * h);
        }
        m_tabHeight = h;
        return m_rows * h + 2;
    }
    int rows() const { return m_rows; }
    QRect rect(int i) const { return i >= 0 && i < static_cast<int>(m_rects.size()) ? m_rects[i] : QRect(); }
    int at(const QPoint& p) const {
        for (std::size_t i = 0; i < m_rects.size(); ++i)
            if (m_rects[i].contains(p)) return static_cast<int>(i);
        return -1;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        const int active = m_pc->ActivePageIndex();
        for (std::size_t i = 0; i < m_rects.size(); ++i) {
            QStyleOptionTab opt;
            opt.initFrom(this);
            opt.rect = m_rects[i];
            opt.text = m_pc->m_pages[i]->Caption();
            opt.shape = QTabBar::RoundedNorth;
            opt.position = QStyleOptionTab::Middle;
            if (static_cast<int>(i) == active) {
                opt.state |= QStyle::State_Selected;
                if (hasFocus()) opt.state |= QStyle::State_HasFocus;
            } else {
                opt.state &= ~QStyle::State_HasFocus;
            }
            p.drawControl(QStyle::CE_TabBarTabShape, opt);
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(m_rects[i], Qt::AlignCenter | Qt::TextSingleLine, opt.text);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        const int i = at(e->pos());
        if (i >= 0) m_pc->setActivePageIndex(i);
    }
    void keyPressEvent(QKeyEvent* e) override {
        const int n = m_pc->PageCount();
        if (n == 0) return;
        if (e->key() == Qt::Key_Right || e->key() == Qt::Key_Down)
            m_pc->setActivePageIndex((m_pc->ActivePageIndex() + 1) % n);
        else if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Up)
            m_pc->setActivePageIndex((m_pc->ActivePageIndex() + n - 1) % n);
        else
            QWidget::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent* e) override {
        QWidget::focusInEvent(e);
        update();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QWidget::focusOutEvent(e);
        update();
    }

private:
    TPageControl* m_pc;
    std::vector<QRect> m_rects;
    std::vector<int> m_rowOf;
    int m_rows = 1;
    int m_tabHeight = 20;
};

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), m_bar(new TMultiRowTabBar(this)), m_stack(new QStackedWidget(this)) {
    m_stack->setObjectName(QStringLiteral("PageControl1Pages"));
    m_stack->setFrameShape(QFrame::StyledPanel);
    // The focus entering the page control from outside, on any of its controls.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
        if (!m_entered && inside(now) && !inside(old)) {
            m_entered = true;
            emit entered();
        }
    });
    connect(m_stack, &QStackedWidget::currentChanged, this, [this](int) {
        relayout();
        emit changed();
    });
}

void TPageControl::addPage(TTabSheet* page) {
    m_pages.push_back(page);
    m_stack->addWidget(page);
    connect(page, &TTabSheet::captionChanged, this, &TPageControl::relayout);
    relayout();
}

TTabSheet* TPageControl::ActivePage() const {
    return qobject_cast<TTabSheet*>(m_stack->currentWidget());
}

void TPageControl::setActivePage(TTabSheet* page) {
    m_stack->setCurrentWidget(page);
}

void TPageControl::setActivePageIndex(int i) {
    if (i >= 0 && i < PageCount()) m_stack->setCurrentIndex(i);
}

int TPageControl::tabAt(const QPoint& pos) const {
    return m_bar->at(m_bar->mapFrom(this, pos));
}

QRect TPageControl::tabRect(int i) const {
    return m_bar->rect(i).translated(m_bar->pos());
}

int TPageControl::tabRows() const {
    return m_bar->rows();
}

void TPageControl::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    relayout();
}

void TPageControl::relayout() {
    const int h = m_bar->layoutTabs(width());
    m_bar->setGeometry(0, 0, width(), h);
    m_stack->setGeometry(0, h, width(), std::max(0, height() - h));
    m_bar->update();
}
