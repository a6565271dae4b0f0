#pragma once

#include <QString>
#include <functional>

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

} // namespace velune
