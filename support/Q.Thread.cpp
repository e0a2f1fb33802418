#include "Q.Thread.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <chrono>
#include <future>

void Wait(std::function<void()> Proc)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QThreadPool::globalInstance()->start([Proc = std::move(Proc), done] {
        try {
            if (Proc)
                Proc();
        } catch (...) {
            // Nothing may cross back: the caller sees only the procedure's results.
        }
        done->set_value();
    });
    while (finished.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}
