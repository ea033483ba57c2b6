#include "platform/latestonly.h"

#include <algorithm>

LatestOnly::LatestOnly(int gapMs, QObject* parent) : QObject(parent), m_gap(gapMs) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LatestOnly::flush);
}

void LatestOnly::post(std::function<void()> update) {
    const qint64 since = m_clock.isValid() ? m_clock.elapsed() : m_gap;
    if (since >= m_gap && !m_pending) {
        apply(update);
        return;
    }
    m_pending = std::move(update);
    if (!m_timer.isActive()) m_timer.start(int(std::max<qint64>(1, m_gap - since)));
}

void LatestOnly::apply(const std::function<void()>& update) {
    drop();
    m_clock.start();
    update();
}

void LatestOnly::flush() {
    if (!m_pending) return;
    const std::function<void()> update = std::move(m_pending);
    apply(update);
}

void LatestOnly::drop() {
    m_pending = nullptr;
    m_timer.stop();
}
