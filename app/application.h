// The application object: its title, and the standard error box that shows
// what an event handler raised and did not handle, after which the program goes on.
#pragma once

#include <QApplication>
#include <type_traits>
#include <utility>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an error caught at the edge of an event handler in the standard error box.
void ShowStandardError(const std::exception& e);

// Wraps a handler so that what it raises goes to the standard error box even when
// it is called straight from a signal (a menu action triggered from code, say)
// rather than from an event.
template <class F> auto Guarded(F f) {
    return [f](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<F, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f(); // signal arguments the handler does not take

        } catch (const std::exception& e) {
            ShowStandardError(e);
        }
    };
}
