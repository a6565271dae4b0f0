#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>

namespace velune {

// Runs slow work away from the window: `work` runs on a worker thread and gives back
// what is to be done with its result, which then runs on the window's thread.
class Background {
public:
    using Then = std::function<void()>;
    virtual ~Background() = default;
    virtual void Run(std::function<Then()> work) = 0;
};

// Qt's thread pool; the result comes back through the event loop of `context`'s
// thread, and is dropped if `context` is gone by then.
class PooledBackground : public Background {
public:
    explicit PooledBackground(QObject* context) : context_(context) {}
    void Run(std::function<Then()> work) override {
        QThreadPool::globalInstance()->start([context = context_, work = std::move(work)] {
            Then then = work();
            if (context)
                QMetaObject::invokeMethod(context.data(), std::move(then), Qt::QueuedConnection);
        });
    }

private:
    QPointer<QObject> context_;
};

} // namespace velune
