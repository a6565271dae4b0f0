#pragma once

#include <QLatin1String>
#include <QLoggingCategory>
#include <QString>
#include <array>
#include <utility>

namespace velune {

// A window's face (its QML document) as the host sees it: the host loads it once,
// writes variables into it and reads back the few the face writes itself.
class Face {
public:
    virtual ~Face() = default;
    // Loads the face document; false when it cannot be loaded.
    virtual bool LoadFace(const QString& path) = 0;
    virtual void SetVariable(const QString& name, const QString& value) = 0;
    virtual QString GetVariable(const QString& name) const = 0;
};

// The faces' log: commands no window knows, faces that cannot be loaded.
inline const QLoggingCategory& lcFace() {
    static const QLoggingCategory category("velune.face", QtCriticalMsg);
    return category;
}

// A window's command table: each command its face may send, with its handler.
template <typename Handler, std::size_t N>
using CommandTable = std::array<std::pair<QLatin1String, Handler>, N>;

// Runs the handler of the command (exact, case-sensitive match); a command the
// table does not name is logged and left alone. True when the table named it.
template <typename Handler, std::size_t N, typename Call>
bool Dispatch(const CommandTable<Handler, N>& table, const QString& command, const QString& args,
              Call&& call) {
    for (const auto& [name, handler] : table) {
        if (command == name) {
            call(handler);
            return true;
        }
    }
    qCWarning(lcFace) << "unknown command" << command << args;
    return false;
}

// What the user is told when a face file cannot be loaded.
inline QString FaceLoadFailure(const QString& path) {
    return QStringLiteral("The face file could not be loaded:\n") + path;
}

// Hands data to the face: the data variable first, then its trigger set to "1".
inline void SetWithTrigger(Face& face, const QString& data, const QString& value,
                           const QString& trigger) {
    face.SetVariable(data, value);
    face.SetVariable(trigger, QStringLiteral("1"));
}

} // namespace velune
