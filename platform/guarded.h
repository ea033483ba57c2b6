// What a handler raises and does not handle goes to the standard error box, after
// which the program goes on.
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

// Shows an error caught at the edge of an event handler in the standard error box.
// An engine wait that ended because the window is closing is no error: nothing is shown.
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
