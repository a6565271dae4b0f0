#pragma once

#include "face_view.h"
#include "form.h"

#include <QTimer>
#include <QWindow>

namespace velune {

// A borderless window drawn by its face; a window with an owner stays above it.
class FaceWindow : public FaceView, public Form {
    Q_OBJECT
public:
    explicit FaceWindow(const QString& caption, QWindow* owner = nullptr);
    ~FaceWindow() override;

    FaceView& faceView() { return *this; }

    void SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) override;
    void Minimize() override;
    void DragWindow() override;
    void EndProgram() override;
    void InstallFilter() override;
    void RemoveFilter() override;
    void Hide() override { hide(); }

    // Shows the window modally; returns once it has been hidden.
    void ShowModal();

signals:
    void activated();
    void hidden();

protected:
    void hideEvent(QHideEvent* event) override;
};

// A window's timer of one tick a second.
class SecondTicker : public Ticker {
public:
    template <typename Tick> explicit SecondTicker(Tick tick) {
        timer_.setInterval(1000);
        QObject::connect(&timer_, &QTimer::timeout, tick);
    }
    void SetEnabled(bool enabled) override { enabled ? timer_.start() : timer_.stop(); }
    bool Enabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace velune
