#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

namespace velune {

// Runs slow work away from the window: `work` runs on a worker thread and gives back
// what is to be done with its result, which then runs on the window's thread.
class Background {
public:
    using Then = std::function<void()>;
    // Set once the program ends: long work looks at it between its steps and ends early.
    using StopFlag = std::shared_ptr<const std::atomic<bool>>;
    virtual ~Background() = default;
    virtual void Run(std::function<Then()> work) = 0;
    // Work that is done even when the window that asked for it has gone (files the
    // user asked to delete): Stop does not drop it, and nothing comes back.
    virtual void RunToEnd(std::function<void()> work) {
        Run([work = std::move(work)]() -> Then {
            work();
            return [] {};
        });
    }

    StopFlag Stopping() const { return stop_; }
    // Work not yet begun is dropped; work under way ends at its next step.
    void Stop() { stop_->store(true); }
    bool Stopped() const { return stop_->load(); }

private:
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

// Qt's thread pool; the result comes back through the event loop of `context`'s
// thread, and is dropped if `context` is gone by then.
class PooledBackground : public Background {
public:
    explicit PooledBackground(QObject* context) : context_(context) {}
    ~PooledBackground() override { Stop(); }
    void Run(std::function<Then()> work) override {
        QThreadPool::globalInstance()->start([context = context_, stop = Stopping(),
                                              work = std::move(work)] {
            if (stop->load())
                return;
            Then then = work();
            if (context && !stop->load())
                QMetaObject::invokeMethod(context.data(), std::move(then), Qt::QueuedConnection);
        });
    }
    void RunToEnd(std::function<void()> work) override {
        QThreadPool::globalInstance()->start(std::move(work));
    }

private:
    QPointer<QObject> context_;
};

} // namespace velune
