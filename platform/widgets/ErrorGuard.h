#pragma once

#include "platform/Exceptions.h"
#include "platform/widgets/GuardedApplication.h"

#include <exception>
#include <utility>

// The boundary between Qt and a handler of ours. Qt's own frames are not built to be unwound:
// an exception must never travel through a signal emission or an event dispatch. So every
// handler that can fail is reached through runGuarded: a failure ends the handler and the
// program-wide error box shows it, while Qt's dispatch returns normally.

template <class F> void runGuarded(F &&handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (const Exception &e) {
        GuardedApplication::showError(e.message(), e.detail());
    } catch (const std::exception &e) {
        GuardedApplication::showError(QString::fromLocal8Bit(e.what()));
    }
}

// A slot for connect() that runs a member handler guarded; the signal's arguments are ignored.
template <class T> auto guarded(T *object, void (T::*handler)())
{
    return [object, handler](auto &&...) { runGuarded([&] { (object->*handler)(); }); };
}
