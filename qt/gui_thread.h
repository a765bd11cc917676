// Carrying a call to the GUI thread. Unit operations run on the worker thread; whatever they
// ask of the operator (boxes, dialogs, the busy window, the main window's controls) runs on
// the GUI thread while the worker waits for the answer. Called on the GUI thread itself, the
// function simply runs.
#pragma once
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <optional>
#include <type_traits>
#include <utility>

template <class F>
auto RunOnGui(QObject* context, F&& f) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if (QThread::currentThread() == context->thread()) return f();
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
  } else {
    std::optional<R> result;
    QMetaObject::invokeMethod(
        context, [&] { result.emplace(f()); }, Qt::BlockingQueuedConnection);
    return std::move(*result);
  }
}
