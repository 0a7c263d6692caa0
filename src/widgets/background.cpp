#include "widgets/background.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressBar>

#include <exception>
#include <thread>

namespace tarvest {

void runOffTheWindowThread(QProgressBar* bar, const std::function<void(const WorkProgress& progress)>& work)
{
    QPointer<QProgressBar> shown = bar;
    if (shown) {
        shown->setRange(0, 0); // moving until the work tells how far it is
        shown->show();
    }
    const WorkProgress progress = [shown](qint64 done, qint64 total) {
        if (!shown)
            return;
        QMetaObject::invokeMethod(
            shown.data(),
            [shown, done, total] {
                if (!shown || total <= 0)
                    return;
                shown->setRange(0, 1000);
                shown->setValue(int(done * 1000 / total));
            },
            Qt::QueuedConnection);
    };
    QEventLoop wait;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec();
    worker.join();
    if (shown)
        shown->hide();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tarvest
