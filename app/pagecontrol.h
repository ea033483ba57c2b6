// A page control whose tabs wrap onto several lines when they do not fit on one.
#pragma once

#include <QStackedWidget>
#include <QWidget>
#include <vector>

class TTabSheet : public QWidget {
    Q_OBJECT
public:
    TTabSheet(const QString& name, const QString& caption, QWidget* parent = nullptr);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& c);

signals:
    void captionChanged();

private:
    QString m_caption;
};

class TMultiRowTabBar;

class TPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    void addPage(TTabSheet* page);
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    TTabSheet* Pages(int i) const { return m_pages[static_cast<std::size_t>(i)]; }
    TTabSheet* ActivePage() const;
    int ActivePageIndex() const { return m_stack->currentIndex(); }
    TTabSheet* Page(int i) const {
        return i >= 0 && i < PageCount() ? m_pages[static_cast<std::size_t>(i)] : nullptr;
    }
    void setActivePage(TTabSheet* page);
    void setActivePageIndex(int i);
    // Index of the tab at a point of the control (-1 when none).
    int tabAt(const QPoint& pos) const;
    QRect tabRect(int i) const;
    // Number of tab lines shown.
    int tabRows() const;

signals:
    // The user or the program changed the page.
    void changed();
    // The page control received the input focus from outside.
    void entered();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    friend class TMultiRowTabBar;
    void relayout();

    std::vector<TTabSheet*> m_pages;
    bool m_entered = false;
    TMultiRowTabBar* m_bar;
    QStackedWidget* m_stack;
};
