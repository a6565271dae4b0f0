#pragma once

#include <QString>

namespace velune {

// A window's face (its QML movie) as the host sees it: the host loads it once,
// writes variables into it and reads back the few the face writes itself.
class Face {
public:
    virtual ~Face() = default;
    // Loads the face document; false when it cannot be loaded.
    virtual bool LoadMovie(int layer, const QString& path) = 0;
    virtual void SetVariable(const QString& name, const QString& value) = 0;
    virtual QString GetVariable(const QString& name) const = 0;
};

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
