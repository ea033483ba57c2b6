// Placing a control of a page at its designed position and size, under its
// designed name, and a caption label sized to its text in the window's font.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

namespace layout {

template <class W> W* place(W* w, const QString& name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}
template <class W> W* place(W* w, const char* name, int x, int y, int width, int height) {
    return place(w, QString::fromLatin1(name), x, y, width, height);
}

inline QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}
inline QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    return label(parent, QString::fromLatin1(name), text, x, y);
}

} // namespace layout
