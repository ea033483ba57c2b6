// Marks a handler that may wait inside an engine call. While one is on the
// stack, closing the window is put off; the last one to unwind closes it.
#pragma once

#include "app/mainwindow.h"

#include <QMetaObject>
#include <QPointer>

class EngineCall {
public:
    explicit EngineCall(TForm1* form) : m_form(form) { ++form->m_engineCalls; }
    ~EngineCall() {
        if (!m_form) return;
        if (--m_form->m_engineCalls == 0 && m_form->m_closePending) {
            m_form->m_closePending = false;
            QMetaObject::invokeMethod(m_form, &TForm1::close, Qt::QueuedConnection);
        }
    }
    EngineCall(const EngineCall&) = delete;
    EngineCall& operator=(const EngineCall&) = delete;

private:
    QPointer<TForm1> m_form;
};
