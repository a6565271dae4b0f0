#pragma once

#include "face_view.h"
#include "form.h"

#include <QTimer>
#include <QWidget>

namespace velune {

// A borderless window covered by its face view `FaceView`.
class FaceWindow : public QWidget, public Form {
    Q_OBJECT
public:
    explicit FaceWindow(const QString& caption, QWidget* owner = nullptr);
    ~FaceWindow() override;

    FaceView& faceView() { return *faceView_; }

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
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    FaceView* faceView_;
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
