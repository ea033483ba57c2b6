// Shows the latest of a quick run of window updates at most once per gap.
// A batch of small files changes the status text and the current list entry
// several times per file; painting each change cost more than the transfer.
// The first update after a quiet gap is applied at once; later ones within the
// gap wait, and only the last of them is applied when the gap is over (or at
// flush()). apply() drops whatever waits and applies its own update at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class LatestOnly : public QObject {
public:
    explicit LatestOnly(int gapMs, QObject* parent = nullptr);

    // Throttled: at once after a quiet gap, otherwise the last one when the gap is over.
    void post(std::function<void()> update);
    // At once; an update still waiting is dropped (this one is newer).
    void apply(const std::function<void()>& update);
    // Applies the waiting update now, if there is one.
    void flush();
    // Forgets the waiting update.
    void drop();
    bool waiting() const { return bool(m_pending); }
    void setGap(int ms) { m_gap = ms; }
    int gap() const { return m_gap; }

private:
    int m_gap;
    QElapsedTimer m_clock; // when an update was last applied
    QTimer m_timer;
    std::function<void()> m_pending;
};
