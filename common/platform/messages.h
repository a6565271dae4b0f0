#pragma once

#include <QString>
#include <functional>

class QWidget;
class QWindow;

namespace velune {

// Message boxes with the program's title as caption.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // OK button only; returns once the user has closed it.
    virtual void Show(const QString& text) = 0;
    // OK button only; returns at once, the box stays until the user closes it.
    virtual void Inform(const QString& text) = 0;
    // Yes and No with the question icon; true on Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // Yes and No, without waiting: `answer` is called with true on Yes once the user
    // has chosen, from the event loop.
    virtual void Ask(const QString& text, std::function<void(bool)> answer) {
        answer(AskYesNo(text));
    }
};

class QtMessageBoxes : public MessageBoxes {
public:
    QtMessageBoxes(QString caption, QWindow* owner = nullptr)
        : caption_(std::move(caption)), owner_(owner) {}
    void Show(const QString& text) override;
    void Inform(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Ask(const QString& text, std::function<void(bool)> answer) override;
    void SetOwner(QWindow* owner) { owner_ = owner; }

private:
    QString caption_;
    QWindow* owner_;
};

// Keeps a dialog above the window it was opened for.
void PlaceOver(QWidget* dialog, QWindow* owner);

} // namespace velune
